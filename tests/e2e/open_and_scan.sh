#!/usr/bin/env bash
# End to end, as a person would: the desktop app on a virtual display (Xvfb) under a
# window manager (openbox), driven by xdotool with its keys. Opens the app on a folder
# from the command line, scans it, checks one more file with Space, removes the checked
# files with Delete (and the confirmation's Yes), puts them back with Undo (Ctrl+Z) in
# the removal summary, and compares every file's content on disk before and after. A second
# launch hands its folder to the running window instead of opening another.
#   tests/e2e/open_and_scan.sh PATH/TO/twinsift
# Every step waits on a condition (a window, its size, files on disk) with a generous
# bound, never on time alone, so that a loaded machine makes it slower, not flaky.
# E2E_SCREENSHOTS=DIR keeps pictures of the screen; E2E_DEBUG=1 prints the app's
# threads when a step fails.
set -uo pipefail
app=$1
here=$(cd "$(dirname "$0")" && pwd)
# check, wait_until, checks_summary
source "$here/../support/checks.sh"
work=$(mktemp -d)
pids=()
app_pid=

cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

for tool in Xvfb openbox xdotool xprop dbus-daemon sha256sum; do
    command -v "$tool" >/dev/null || { echo "FAIL $tool is not installed (scripts/install-deps.sh)"; exit 1; }
done

# --- the session: display, bus, window manager ---
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1600x1000x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 60 number <&"$fd" || { echo "FAIL Xvfb did not start"; exit 1; }
export DISPLAY=":$number"
dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$work/bus" 2>/dev/null || {
    echo "FAIL no session bus"
    exit 1
}
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p "$work/bus")
pids+=("$(sed -n 2p "$work/bus")")
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
# Openbox names itself on the root window once it manages the screen.
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until 60 wm_ready || { echo "FAIL openbox did not start"; exit 1; }
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# --- a folder with copies: two pairs, and one file of its own ---
tree="$work/Photos"
mkdir -p "$tree/2023" "$tree/backup" "$work/Music"
head -c 20000 /dev/urandom >"$tree/2023/report.pdf"
cp "$tree/2023/report.pdf" "$tree/backup/report.pdf"
head -c 30000 /dev/urandom >"$tree/2023/notes.txt"
cp "$tree/2023/notes.txt" "$tree/backup/notes copy.txt"
head -c 10000 /dev/urandom >"$tree/2023/alone.bin"
contents() { (cd "$tree" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
contents >"$work/before"
file_count() { find "$tree" -type f | wc -l; }
files_before=$(file_count)
trashed_count() { find "$XDG_DATA_HOME/Trash/files" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }

# --- windows ---
# The visible top-level windows of the app titled NAME (its main window is "Twinsift";
# a dialog's title may carry the app's name after a dash: "Delete — Twinsift").
windows_named() { xdotool search --all --onlyvisible --pid "$app_pid" --name "^$1( .+ Twinsift)?\$" 2>/dev/null; }
window_named() { windows_named "$1" | head -1; }
has_window() { [[ -n $(window_named "$1") ]]; }
no_window() { [[ -z $(window_named "$1") ]]; }
window_size() { xdotool getwindowgeometry "$1" 2>/dev/null | awk '/Geometry/ {print $2}'; }
size_is() { [[ $(window_size "$1") == "$2" ]]; }
framed() { xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; }
active_is() { [[ $(xdotool getactivewindow 2>/dev/null) == "$1" ]]; }
# Gives WINDOW the keyboard (as a click on it would) and waits until it has it.
focus_window() {
    xdotool windowactivate "$1" 2>/dev/null
    wait_until 20 active_is "$1"
}
# Sends KEYS to WINDOW once it has the keyboard.
keys_to() {
    local window=$1
    shift
    focus_window "$window" && xdotool key --clearmodifiers "$@"
}
# Presses KEYS (one word each) in WINDOW until COMMAND succeeds, for at most SECONDS.
# A dialog shown just as another window of the app hid (the removal's progress, then
# its summary) can hold the X focus while the toolkit still counts the hidden window as
# focused, and its keys go nowhere. So when the keys had no effect within 5 s, the focus
# moves to the main window and back (focus events the toolkit follows) and the keys go
# again (the summary now takes the activation back itself; a retry is printed when it
# still happens). Only for keys whose repetition does no harm once they took effect.
press_until() {  # press_until SECONDS WINDOW "KEYS" COMMAND...
    local deadline=$((SECONDS + $1)) window=$2 keys=$3
    shift 3
    while :; do
        # shellcheck disable=SC2086
        focus_window "$window" && xdotool key --clearmodifiers $keys
        wait_until 5 "$@" && return 0
        ((SECONDS >= deadline)) && return 1
        echo "     (the keys \"$keys\" had no effect: they go again)"
        [[ $window != "$wid" ]] && xdotool windowfocus --sync "$wid" 2>/dev/null
    done
}
shoot() { [[ -n ${E2E_SCREENSHOTS:-} ]] && command -v import >/dev/null && import -window root "$E2E_SCREENSHOTS/$1"; }

# --- open on the folder from the command line ---
"$app" "$tree" >"$work/app.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")
check "the window opens" wait_until 120 has_window Twinsift
wid=$(window_named Twinsift)
check "the scan view has its fixed size" wait_until 30 size_is "$wid" 580x440
check "the window manager frames it" wait_until 30 framed "$wid"

# --- scan: a click on Scan, right of the circle, level with its middle (once: a second
# press would stop the scan) ---
focus_window "$wid"
check "Scan is clicked" xdotool mousemove --window "$wid" 513 207 click 1
check "the scan finds the copies and shows the results" wait_until 120 size_is "$wid" 840x630
shoot e2e-results.png

# --- a second launch hands its folder over and ends ---
check "a second launch ends at once" timeout 60 "$app" "$work/Music"
all_main_windows() { xdotool search --onlyvisible --name '^Twinsift$' 2>/dev/null | wc -l; }
check "no second window opens" test "$(all_main_windows)" = 1

# --- check with Space: the results start in the group list, Tab goes on to the files
# of its first group, whose first file is selected ---
check "Tab and Space reach the files" keys_to "$wid" Tab space

# --- remove with Delete, and Yes in the confirmation ---
check "Delete asks first" press_until 60 "$wid" Delete has_window Delete
confirm=$(window_named Delete)
check "Enter answers Yes" press_until 60 "$confirm" Return no_window Delete
check "the removal summary shows" wait_until 60 has_window Removal
summary=$(window_named Removal)
shoot e2e-summary.png
# The rule checked one copy of each pair, two files; Space flipped the mark of one file
# of the first group, so one file went, or three.
removed=$((files_before - $(file_count)))
echo "     $removed of $files_before files went"
check "Space changed what went" test "$removed" = 1 -o "$removed" = 3
check "the Trash holds them" test "$(trashed_count)" = "$removed"
check "the file of its own stayed" test -f "$tree/2023/alone.bin"

# --- Undo: Ctrl+Z in the summary, wherever its focus is ---
every_file_back() { test "$(file_count)" = "$files_before"; }
check "Ctrl+Z puts every file back" press_until 60 "$summary" ctrl+z every_file_back
contents >"$work/after"
check "every file is back with its content, in its place" cmp -s "$work/before" "$work/after"
check "the Trash is empty again" test "$(trashed_count)" = 0
shoot e2e-undone.png
check "Enter closes the summary" press_until 60 "$summary" Return no_window Removal

# --- Ctrl+Q quits ---
app_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
check "Ctrl+Q quits" press_until 60 "$wid" ctrl+q app_ended

if ((failures > 0)); then
    echo "--- active window: $(xdotool getactivewindow getwindowname 2>&1); X focus: $(xdotool getwindowfocus -f getwindowname 2>&1)"
    echo "--- the app said:"
    cat "$work/app.log"
    echo "--- windows on $DISPLAY:"
    xwininfo -root -tree 2>/dev/null | grep -iE 'twinsift|removal|delete'
    if [[ -n ${E2E_DEBUG:-} ]] && kill -0 "$app_pid" 2>/dev/null; then
        gdb -p "$app_pid" -batch -ex "thread apply all bt 12" 2>/dev/null | grep -E "^#|^Thread" | head -60
    fi
fi
checks_summary
