#!/usr/bin/env bash
# Runs a command on a private Xvfb screen (1920x1080x24) with a fresh Wine
# prefix, then stops both. Usage: virtual-display.sh COMMAND [ARGS...]
set -euo pipefail

workdir=$(mktemp -d /tmp/vistoro-run.XXXXXX)
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" >/dev/null 2>&1 || true
  [ -z "$xvfb_pid" ] || wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$workdir"
}
trap cleanup EXIT

# Starts Xvfb on display $1; true once it serves. A number whose lock file
# is free may still be taken (another root's Xvfb shares the abstract
# socket), and then this Xvfb ends at once.
start_xvfb() {
  Xvfb ":$1" -screen 0 1920x1080x24 -nolisten tcp >"$workdir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    kill -0 "$xvfb_pid" 2>/dev/null || { wait "$xvfb_pid" 2>/dev/null || true; xvfb_pid=""; return 1; }
    [ -e "/tmp/.X11-unix/X$1" ] && return 0
    sleep 0.1
  done
  return 0
}

num=""
if [ -n "${VISTORO_DISPLAY_NUM:-}" ]; then
  start_xvfb "$VISTORO_DISPLAY_NUM" && num=$VISTORO_DISPLAY_NUM
else
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ] && start_xvfb "$n"; then
      num=$n
      break
    fi
  done
fi
[ -n "$num" ] || { echo "could not start Xvfb on a free display" >&2; cat "$workdir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$num"
export WINEPREFIX="$workdir/prefix"
export WINEDEBUG=-all

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
