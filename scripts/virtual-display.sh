#!/usr/bin/env bash
# Runs a command on a private Xvfb screen (1920x1080x24) with a fresh Wine
# prefix, then stops both. Usage: virtual-display.sh COMMAND [ARGS...]
set -euo pipefail

num=${VISTORO_DISPLAY_NUM:-}
if [ -z "$num" ]; then
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then num=$n; break; fi
  done
fi
[ -n "$num" ] || { echo "no free display number" >&2; exit 1; }

workdir=$(mktemp -d /tmp/vistoro-run.XXXXXX)
Xvfb ":$num" -screen 0 1920x1080x24 -nolisten tcp >"$workdir/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$num"
export WINEPREFIX="$workdir/prefix"
export WINEDEBUG=-all

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$workdir"
}
trap cleanup EXIT

for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$num" ] && break
  sleep 0.1
done
# A silent prefix: no offer to install the .NET and HTML engines.
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
wineserver -w
# Without a window manager every hide waits two seconds for one unless Wine
# manages the windows itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
wineserver -w
# Keep the Wine server alive between programs, and start the desktop helper
# now with its output closed: started by the first test instead, it would
# inherit that test's output pipe and keep the runner waiting on it.
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

"$@"
