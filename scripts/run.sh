#!/usr/bin/env bash
# Installs what is missing, builds, and runs Twinsift's command-line tool with the
# given arguments (--help when none).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DTWINSIFT_BUILD_TESTS=OFF >&2
if (($# == 0)); then set -- --help; fi
exec "$root/build/src/cli/twinsift-cli" "$@"
