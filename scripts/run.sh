#!/usr/bin/env bash
# Installs what is missing, builds, and starts Twinsift.
#   scripts/run.sh              the desktop app (needs a display: X11 or Wayland)
#   scripts/run.sh cli ARGS...  the command-line tool with ARGS (--help when none)
#   scripts/run.sh ARGS...      the same, for any other first argument
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if (($# == 0)); then
  if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    cat >&2 <<'MSG'
No display to open the Twinsift window on.
  Command-line tool instead:   scripts/run.sh cli --help
  App on a virtual display:    xvfb-run -a scripts/run.sh
MSG
    exit 1
  fi
  "$root/scripts/install-deps.sh"
  "$root/scripts/build.sh" -DTWINSIFT_BUILD_TESTS=OFF -DTWINSIFT_BUILD_APP=ON >&2
  exec "$root/build/src/app/twinsift"
fi
if [[ "$1" == "cli" ]]; then shift; fi
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DTWINSIFT_BUILD_TESTS=OFF >&2
if (($# == 0)); then set -- --help; fi
exec "$root/build/src/cli/twinsift-cli" "$@"
