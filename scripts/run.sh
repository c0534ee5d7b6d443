#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer on the file or
# folder given (Unix paths), or on the bundled sample pictures. Without a
# display it runs on a private virtual screen and saves a screenshot.
set -euo pipefail
source "$(dirname "$0")/common.sh"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" --target vistoro >/dev/null
select_arch
exe="$(build_dir)/viewer/vistoro.exe"

target=${1:-$root/res/samples/}
# A folder is named with its trailing backslash.
arg=$(winpath "$target")
[ -d "$target" ] && arg="${arg%\\}\\"

if [ -z "${DISPLAY:-}" ]; then
  shot="$root/out/screenshot.png"
  mkdir -p "$root/out"
  rm -f "$shot"
  export VISTORO_EXE="$exe" VISTORO_ARG="$arg" VISTORO_SHOT="$shot"
  "$root/scripts/virtual-display.sh" bash -c '
    set -u
    wine "$VISTORO_EXE" "$VISTORO_ARG" >/dev/null 2>&1 &
    pid=$!
    shown=""
    for _ in $(seq 150); do
      if xwininfo -root -tree 2>/dev/null | grep -qE "\"(ZELM Vistoro|Open an image file|Attenzione)"; then
        shown=yes; break
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    if [ -n "$shown" ]; then
      sleep 1 # let the first paint finish
      import -window root "$VISTORO_SHOT"
      echo "Screenshot of the viewer: $VISTORO_SHOT"
    else
      echo "The viewer showed no window (it ended or is still starting)."
    fi
    kill "$pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
  '
  exit 0
fi

# On the user's own display and Wine prefix.
export WINEDEBUG=${WINEDEBUG:--all}
exec wine "$exe" "$arg"
