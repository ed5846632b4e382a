#!/usr/bin/env bash
# End to end, as a person would: the desktop app on a virtual display (Xvfb) under a
# window manager (openbox), driven by xdotool. Opens the app on a folder from the
# command line, scans it, sees the results window, and checks that a second launch
# hands its folder to the running window instead of opening another.
#   tests/e2e/open_and_scan.sh PATH/TO/twinsift
# Later steps (checking files, removing them, Undo) build on the helpers below.
# E2E_SCREENSHOTS=DIR keeps a picture of the screen with the results window;
# E2E_DEBUG=1 prints the app's threads when a step fails.
# Not yet part of CTest: on this shared machine, under load, some runs saw the first
# window never show on the virtual display (the app ran and answered on the bus);
# idle, ten runs in a row passed.
set -uo pipefail
app=$1
work=$(mktemp -d)
pids=()
passes=0
failures=0

cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        echo "ok   $what"
        passes=$((passes + 1))
    else
        echo "FAIL $what"
        failures=$((failures + 1))
    fi
}

# Waits until COMMAND succeeds, for at most SECONDS.
wait_until() {  # wait_until SECONDS COMMAND...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS >= deadline)) && return 1
        sleep 0.2
    done
}

# --- the session: display, window manager, bus ---
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1600x1000x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 30 number <&"$fd" || { echo "FAIL Xvfb did not start"; exit 1; }
export DISPLAY=":$number"
dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$work/bus" 2>/dev/null || {
    echo "FAIL no session bus"
    exit 1
}
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p "$work/bus")
pids+=("$(sed -n 2p "$work/bus")")
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_until 30 xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 || { echo "FAIL openbox did not start"; exit 1; }
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# --- a folder with copies ---
tree="$work/Photos"
mkdir -p "$tree/2023" "$tree/backup" "$work/Music"
head -c 20000 /dev/urandom >"$tree/2023/report.pdf"
cp "$tree/2023/report.pdf" "$tree/backup/report.pdf"
head -c 30000 /dev/urandom >"$tree/2023/notes.txt"
cp "$tree/2023/notes.txt" "$tree/backup/notes copy.txt"

main_window() { xdotool search --onlyvisible --name '^Twinsift$' 2>/dev/null | head -1; }
window_size() { xdotool getwindowgeometry "$1" | awk '/Geometry/ {print $2}'; }
count_windows() { xdotool search --onlyvisible --name '^Twinsift$' 2>/dev/null | wc -l; }
has_window() { [[ -n $(main_window) ]]; }
size_is() { [[ $(window_size "$1") == "$2" ]]; }

# --- open on the folder from the command line ---
"$app" "$tree" >"$work/app.log" 2>&1 &
pids+=($!)
check "the window opens" wait_until 60 has_window
echo "app started at $(date +%T)"
wid=$(main_window)
check "the scan view has its fixed size" wait_until 20 size_is "$wid" 580x440
framed() { xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; }
check "the window manager frames it" wait_until 20 framed "$wid"

# --- scan: the Scan button sits right of the circle, level with its middle ---
xdotool windowactivate --sync "$wid" 2>/dev/null
xdotool mousemove --window "$wid" 513 207 click 1
check "the scan finds the copies and shows the results" wait_until 60 size_is "$wid" 840x630

# --- a second launch hands its folder over and ends ---
check "a second launch ends at once" timeout 30 "$app" "$work/Music"
check "no second window opens" test "$(count_windows)" = 1

if [[ -n ${E2E_SCREENSHOTS:-} ]] && command -v import >/dev/null; then
    # The whole screen, frame and all, for a person to look at.
    sleep 0.5
    import -window root "$E2E_SCREENSHOTS/e2e-results.png"
fi
xdotool windowactivate --sync "$wid" 2>/dev/null
xdotool key ctrl+q
[[ -n ${E2E_DEBUG:-} && $failures -gt 0 ]] || check "Ctrl+Q quits" wait_until 30 sh -c "! kill -0 ${pids[3]} 2>/dev/null"

if ((failures > 0)); then
    echo "--- the app said:"
    cat "$work/app.log"
    echo "--- windows on $DISPLAY:"
    xwininfo -root -tree 2>/dev/null | grep -i twinsift
    [[ -n ${E2E_DEBUG:-} ]] && gdb -p "${pids[3]}" -batch -ex "thread apply all bt 12" 2>/dev/null | grep -E "^#|^Thread" | head -60
fi
echo "$passes passed, $failures failed"
((failures == 0))
