#!/usr/bin/env bash
# The Debian package, tried as a user would get it: builds it from the build tree
# (cpack -G DEB), installs it into this machine with apt-get, runs the installed
# programs, validates the desktop entries and the AppStream data, checks that the
# folder handler the desktop uses did not change, then removes the package and every
# package its installation pulled in, leaving the machine as it found it.
#   tests/package/package_test.sh [BUILD_DIR]    (root, or sudo; default: build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# check, checks_summary
source "$root/tests/support/checks.sh"

if dpkg-query -W -f='${Status}' twinsift 2>/dev/null | grep -q "install ok installed"; then
    echo "FAIL twinsift is already installed here; remove it first (the test puts the machine back as it found it)" >&2
    exit 1
fi

echo "== building the package"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/package/twinsift_*.deb)
echo "$deb"

packages_before=$(dpkg-query -W -f='${Package}\n' | sort)
handler_before=$(xdg-mime query default inode/directory)
work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
    if dpkg-query -W -f='${Status}' twinsift 2>/dev/null | grep -q "installed"; then
        $SUDO apt-get purge -y -qq twinsift >/dev/null 2>&1 || true
    fi
}
trap cleanup EXIT

echo "== installing it"
cp "$deb" "$work/"
(cd "$work" && $SUDO apt-get install -y -qq --no-install-recommends ./twinsift_*.deb >/dev/null)
check "the package is installed" dpkg-query -W twinsift
check "its dependencies come from the binaries" sh -c "dpkg-query -W -f='\${Depends}' twinsift | grep -q 'libqt6widgets6' && dpkg-query -W -f='\${Depends}' twinsift | grep -q 'libgd3'"

echo "== the installed programs"
check "twinsift-cli --version" sh -c "/usr/bin/twinsift-cli --version | grep -qx 'twinsift-cli [0-9.]*'"
check "twinsift --version without a display, with its image module" \
    sh -c "env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/twinsift --version | grep -qx 'image module: /usr/lib/twinsift/libtwinsift_media.so'"
mkdir -p "$work/tree/a" "$work/tree/b"
head -c 5000 /dev/urandom >"$work/tree/a/report.pdf"
cp "$work/tree/a/report.pdf" "$work/tree/b/report.pdf"
# A picture, twice: images are grouped only when the image module decodes them.
cp "$root/tests/package/gradient.png" "$work/tree/a/gradient.png"
cp "$root/tests/package/gradient.png" "$work/tree/b/gradient.png"
HOME="$work" XDG_CONFIG_HOME="$work/config" /usr/bin/twinsift-cli scan --quiet --json "$work/tree" >"$work/scan.json"
check "a scan from the installed path finds the copies" grep -qF "$work/tree/b/report.pdf" "$work/scan.json"
check "the installed tool decodes images with its module" grep -qF "$work/tree/b/gradient.png" "$work/scan.json"

echo "== what the desktop sees"
check "desktop entries are valid" desktop-file-validate /usr/share/applications/org.twinsift.Twinsift.desktop \
    /usr/share/applications/twinsift-open-folder.desktop
check "AppStream data is valid" appstreamcli validate --no-net --pedantic /usr/share/metainfo/org.twinsift.Twinsift.metainfo.xml
check "the icon is in the hicolor theme" test -f /usr/share/icons/hicolor/scalable/apps/org.twinsift.Twinsift.svg
check "the manual pages are installed" sh -c "dpkg -L twinsift | grep -q '/man1/twinsift-cli.1' && dpkg -L twinsift | grep -q '/man1/twinsift.1'"
check "bash completes the tool's commands" bash -c "source /usr/share/bash-completion/completions/twinsift-cli
    COMP_WORDS=(twinsift-cli sc); COMP_CWORD=1; _twinsift_cli; [[ \${COMPREPLY[*]} == scan ]]"
check "the help page is installed" test -f /usr/share/twinsift/help/index.html
check "folders still open in the same file manager ($handler_before)" \
    sh -c "[ \"\$(xdg-mime query default inode/directory)\" = '$handler_before' ]"

echo "== removing it"
$SUDO apt-get purge -y -qq twinsift >/dev/null
pulled=$(comm -13 <(echo "$packages_before") <(dpkg-query -W -f='${Package}\n' | sort) | tr '\n' ' ')
if [[ -n ${pulled// /} ]]; then
    # shellcheck disable=SC2086
    $SUDO apt-get purge -y -qq $pulled >/dev/null
fi
check "the package is gone" sh -c "! dpkg-query -W -f='\${Status}' twinsift 2>/dev/null | grep -q installed"
check "no file of it is left" sh -c "! ls /usr/bin/twinsift /usr/bin/twinsift-cli /usr/lib/twinsift /usr/share/twinsift 2>/dev/null"
check "the machine has the packages it had" sh -c "[ \"\$(dpkg-query -W -f='\${Package}\n' | sort)\" = '$packages_before' ]"
check "the folder handler is the one from before" sh -c "[ \"\$(xdg-mime query default inode/directory)\" = '$handler_before' ]"

checks_summary
