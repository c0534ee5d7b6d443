#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test on a private display.
set -euo pipefail
source "$(dirname "$0")/common.sh"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
select_arch
build=$(build_dir)
# The printer tests need the PDF printer; without it they are skipped.
"$root/scripts/print-server.sh" ||
  echo "test.sh: no print server; the printer tests will be skipped" >&2
cd "$build"
exec "$root/scripts/virtual-display.sh" ctest --output-on-failure --timeout 300 "$@"
