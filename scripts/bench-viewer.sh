#!/usr/bin/env bash
# Benchmarks the viewer on a private screen: the Down key to the next picture
# painted over 200 generated pictures of 1920 x 1080, a quarter turn of a
# 6000 x 4000 picture against a plain copy, the gallery over 192 pictures of
# 1920 x 1080 and of 4000 x 3000 against their bare decodes, and start to the
# first painted picture against a bare window program and LOADIMG.
# Usage: bench-viewer.sh [BUILD_DIR]   (VISTORO_DISPLAY_NUM picks the screen)
set -euo pipefail
source "$(dirname "$0")/common.sh"
select_arch
build=${1:-$(build_dir)}
require_bench_programs "$build" viewer_bench gallery_bench start_bench
exec "$root/scripts/virtual-display.sh" bash -c "
  wine '$build/bench/viewer_bench.exe' 200 2>/dev/null
  wine '$build/bench/gallery_bench.exe' 192 2>/dev/null
  wine '$build/bench/start_bench.exe' 9 2>/dev/null"
