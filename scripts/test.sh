#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
BUILD_DIR=${BUILD_DIR:-$root/build} "$root/scripts/build.sh" -DTWINSIFT_BUILD_TESTS=ON "$@"
cd "${BUILD_DIR:-$root/build}"
ctest --output-on-failure --no-tests=error -j"$(nproc)"
# The Debian package, installed into this machine and removed again.
"$root/tests/package/package_test.sh" "${BUILD_DIR:-$root/build}"
