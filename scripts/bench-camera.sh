#!/usr/bin/env bash
# Benchmarks the viewer on camera photos. Generates a folder of 40 photos of
# 6000 x 4000 and two folders of 192 photos of 4000 x 3000, each photo a
# JPEG with an EXIF block, the first two with the 160-pixel thumbnail that
# cameras embed, the third without. Then, on a private screen: Down at a
# reading pace (a key every 1.5 s) against a bare LOADIMG of the same photos,
# with the longest time the window went without taking a message and the
# peak memory beside one photo's raw pixels and one LOADIMG's own peak; the
# gallery's full grid of each 4000 x 3000 folder against the sum of the
# bare decodes, with the longest time without a message; a cell of a noisy
# photo and the zoom window of a 6000 x 4000 one against the exact area
# average of the photo at their sizes, and the zoom window's first paint.
# Usage: bench-camera.sh [BUILD_DIR]   (VISTORO_DISPLAY_NUM picks the screen)
set -euo pipefail
source "$(dirname "$0")/common.sh"
select_arch
build=${1:-$(build_dir)}
require_bench_programs "$build" viewer_bench gallery_bench imaging_bench
command -v exiftool >/dev/null || "$root/scripts/setup.sh"
work=${VISTORO_BENCH_DIR:-/tmp/vistoro-camera-bench}
mkdir -p "$work"

# Four photo-like scenes of a size, each with or without its thumbnail.
scenes() { # width height thumbnail-size name
  local w=$1 h=$2 thumb=$3 name=$4 k
  for k in 0 1 2 3; do
    local photo="$work/$name-$k.jpg"
    [ -f "$photo" ] && continue
    echo "drawing $photo..."
    convert -size $((w / 4))x$((h / 4)) -seed "$((k + w))" plasma:'#3b6e8f'-'#d9a441' \
      -resize "${w}x${h}!" -attenuate 0.35 +noise Gaussian -quality 90 "$photo.tmp.jpg"
    exiftool -q -overwrite_original -Make=Bench -Model=Camera "$photo.tmp.jpg"
    if [ "$thumb" != none ]; then
      convert "$photo.tmp.jpg" -resize "$thumb!" -quality 75 "$work/thumb.jpg"
      exiftool -q -overwrite_original "-ThumbnailImage<=$work/thumb.jpg" "$photo.tmp.jpg"
    fi
    mv "$photo.tmp.jpg" "$photo"
  done
}
# A folder of `count` photos: links to the four scenes in turn.
folder() { # name count scene-name
  local dir="$work/$1" i
  [ "$(ls "$dir" 2>/dev/null | wc -l)" -eq "$2" ] && return
  rm -rf "$dir"
  mkdir -p "$dir"
  for i in $(seq -w 1 "$2"); do ln "$work/$3-$((10#$i % 4)).jpg" "$dir/p$i.jpg"; done
}

scenes 6000 4000 160x107 big
scenes 4000 3000 160x120 mid
scenes 4000 3000 none plain
folder steps 40 big
folder thumbs 192 mid
folder plain 192 plain

exec "$root/scripts/virtual-display.sh" bash -c "
  wine '$build/bench/viewer_bench.exe' folder '$(winpath "$work/steps")' 1500 2>/dev/null
  echo 'The decode alone, for the memory target (three photos and one decode):'
  wine '$build/bench/imaging_bench.exe' peak '$(winpath "$work/steps/p01.jpg")' 2>/dev/null
  echo 'Gallery: the first folder has thumbnails (target: full grid <= 2 s), the second none'
  echo '(target: full grid <= 0.12 x the bare decodes with two workers):'
  wine '$build/bench/gallery_bench.exe' folder '$(winpath "$work/thumbs")' '$(winpath "$work/plain")' 2>/dev/null
  wine '$build/bench/gallery_bench.exe' cell '$(winpath "$work/plain-0.jpg")' 2>/dev/null
  wine '$build/bench/viewer_bench.exe' zoom '$(winpath "$work/big-0.jpg")' 2>/dev/null"
