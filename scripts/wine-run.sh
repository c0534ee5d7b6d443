#!/usr/bin/env bash
# ctest's emulator: runs a test program under Wine, but only where a display
# and a Wine prefix have been set up for it.
if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  echo "The tests run under Wine and need DISPLAY and WINEPREFIX:" >&2
  echo "run scripts/test.sh, or set both (e.g. inside scripts/virtual-display.sh)." >&2
  exit 1
fi
export WINEDEBUG=${WINEDEBUG:--all}
exec wine "$@"
