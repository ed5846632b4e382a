#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Twinsift need, when they
# are missing. Idempotent and quick when everything is there.
#   scripts/install-deps.sh          build and test dependencies
#   scripts/install-deps.sh --bench  also what the benchmarks need: Google Benchmark, the
#                                    peers bench/compare-peers.py measures against, and
#                                    GNU time for their CPU time and peak memory, djpeg
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config git
  libssl-dev libxxhash-dev libplist-dev libexiv2-dev libglib2.0-dev
  nlohmann-json3-dev libcli11-dev libgd-dev libpuzzle-dev
  libjpeg62-turbo-dev        # the image module decodes JPEG at reduced scale, and row by row
  libgtest-dev libgmock-dev
  dbus                       # tests start a private bus of their own
  qt6-base-dev qt6-svg-dev   # the desktop app
  xvfb xauth                 # running the app without a display of one's own
  libsqlite3-dev             # reading and tagging photo libraries
  dbus-x11                   # a private session bus for the library applications and the end-to-end run
  shotwell digikam rhythmbox # the library applications whose real databases the tests build on
  openbox xdotool x11-utils  # the end-to-end run under a window manager
  dpkg-dev file              # the Debian package: dpkg-shlibdeps finds its dependencies
  desktop-file-utils appstream xdg-utils pcmanfm  # the package test: validation, a file manager
  python3 util-linux mount   # the removal's fault suite: unshare, setpriv, tmpfs and overlay mounts
)
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(libbenchmark-dev jdupes rmlint fdupes time
             libjpeg-turbo-progs)  # djpeg, the bare decode the similar-picture speed is held to
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
