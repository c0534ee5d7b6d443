#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test on a private display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build=${BUILD_DIR:-$root/build}
cd "$build"
exec "$root/scripts/virtual-display.sh" ctest --output-on-failure --timeout 300 "$@"
