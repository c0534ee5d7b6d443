#!/usr/bin/env bash
# Benchmarks the viewer on a private screen: the Down key to the next picture
# painted over 200 generated pictures of 1920 x 1080, a quarter turn of a
# 6000 x 4000 picture against a plain copy, the gallery over 192 pictures of
# 1920 x 1080 and of 4000 x 3000 against their bare decodes, start to the
# first painted picture against a bare window program and LOADIMG, and a
# moving GIF: 100 frames of 20 ms against their delays, and the peak memory
# of 500 frames of 2000 x 2000 against its first frame alone.
# Usage: bench-viewer.sh [BUILD_DIR]   (VISTORO_DISPLAY_NUM picks the screen)
set -euo pipefail
source "$(dirname "$0")/common.sh"
select_arch
build=${1:-$(build_dir)}
require_bench_programs "$build" viewer_bench gallery_bench start_bench playback_bench
work=${VISTORO_BENCH_DIR:-/tmp/vistoro-viewer-bench}
mkdir -p "$work"
# Played once (no loop extension), so that a pass is the whole file.
if [ ! -f "$work/moving100.gif" ]; then
  frames=()
  for i in $(seq 0 99); do
    frames+=(-size 320x240 "xc:rgb($((i * 2)),$((255 - i * 2)),$(((i * 37) % 256)))")
  done
  convert -delay 2 "${frames[@]}" -loop 1 "$work/moving100.gif"
fi
if [ ! -f "$work/moving500.gif" ]; then
  # A full first frame, then small frames wandering over the screen.
  frames=(-size 2000x2000 xc:white)
  for i in $(seq 1 499); do
    frames+=(\( -size 200x200 "xc:rgb($((i % 256)),$(((i * 7) % 256)),$(((i * 13) % 256)))" \
             -repage "+$(((i * 97) % 1800))+$(((i * 61) % 1800))" \))
  done
  convert -delay 2 "${frames[@]}" -loop 1 "$work/moving500.gif"
fi
moving100=$(winpath "$work/moving100.gif")
moving500=$(winpath "$work/moving500.gif")
"$root/scripts/virtual-display.sh" bash -c "
  wine '$build/bench/viewer_bench.exe' 200 2>/dev/null
  wine '$build/bench/gallery_bench.exe' 192 2>/dev/null
  wine '$build/bench/start_bench.exe' 9 2>/dev/null
  wine '$build/bench/playback_bench.exe' timing '$moving100' 2>/dev/null
  wine '$build/bench/playback_bench.exe' peakstill '$moving500' 2>/dev/null
  wine '$build/bench/playback_bench.exe' peak '$moving500' 2>/dev/null" | tee "$work/out.txt" |
  grep -v '^RESULT'
still=$(awk '/^RESULT still/ { print $3 }' "$work/out.txt")
moving=$(awk '/^RESULT moving/ { print $3 }' "$work/out.txt")
awk -v s="$still" -v m="$moving" 'BEGIN {
  frame = 2000 * 2000 * 4 / 1048576
  printf "moving GIF of 500 frames of 2000 x 2000: peak %.1f MiB, its first frame alone %.1f MiB: %.2f frames above (target <= 2)\n", m, s, (m - s) / frame
}'
