#!/usr/bin/env bash
# Benchmarks the decoder: generates a 6000x4000 JPEG and PNG and a folder of
# 200 pictures of 1920x1080, runs bench/imaging_bench under Wine on a private
# screen (LOADIMG against the decoding call alone, the peak memory of one
# LOADIMG in a process of its own, a photo under EXIF orientation 6 against
# the same one stored upright, painting), and times a plain libjpeg-turbo
# decode of the JPEG on the Linux side as a yardstick. The one-eighth reader
# of a 4000x3000 photo without a thumbnail is set against LOADIMG of it and
# against libjpeg-turbo's decode at 1/8 scale.
# Usage: bench-imaging.sh [BUILD_DIR]   (VISTORO_DISPLAY_NUM picks the screen)
set -euo pipefail
source "$(dirname "$0")/common.sh"
select_arch
build=${1:-$(build_dir)}
require_bench_programs "$build" imaging_bench
bench=$build/bench/imaging_bench.exe
work=${VISTORO_BENCH_DIR:-/tmp/vistoro-imaging-bench}
mkdir -p "$work/folder"

if [ ! -f "$work/big.jpg" ]; then
  echo "drawing the large pictures..."
  convert -size 1500x1000 -seed 11 plasma:'#2e86c1'-'#f1c40f' -resize 6000x4000\! \
    -attenuate 0.4 +noise Gaussian "$work/big.ppm"
  convert "$work/big.ppm" -quality 90 "$work/big.jpg"
  convert "$work/big.ppm" -depth 8 "$work/big.png"
  rm -f "$work/big.ppm"
fi
if [ ! -f "$work/eighth.jpg" ]; then
  # Noisy, so that skipping the AC codes is real work; stripped of any thumbnail.
  convert -size 1000x750 -seed 12 plasma:'#2e86c1'-'#f1c40f' -resize 4000x3000\! \
    -attenuate 0.4 +noise Gaussian -strip -quality 90 "$work/eighth.jpg"
fi
if [ ! -f "$work/big6.jpg" ]; then
  # The same photo as a phone stores a portrait: on its side, EXIF orientation 6.
  exiftool -q -Orientation=6 -n -o "$work/big6.jpg" "$work/big.jpg"
fi
if [ "$(ls "$work/folder" | wc -l)" -lt 200 ]; then
  echo "drawing the folder of 200 pictures..."
  for k in 0 1 2 3 4 5 6 7; do
    convert -size 480x270 -seed "$k" plasma: -resize 1920x1080\! -attenuate 0.3 \
      +noise Gaussian -quality 88 "$work/base$k.jpg"
  done
  for i in $(seq -w 1 200); do cp "$work/base$((10#$i % 8)).jpg" "$work/folder/p$i.jpg"; done
  rm -f "$work"/base*.jpg
fi

# The yardstick: median of 5 decodes to nowhere.
times=()
for _ in 1 2 3 4 5; do
  s=$(date +%s%N); djpeg -outfile /dev/null "$work/big.jpg"; e=$(date +%s%N)
  times+=($(( (e - s) / 1000000 )))
done
djpeg_ms=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)

big_jpg=$(winpath "$work/big.jpg")
out=$("$root/scripts/virtual-display.sh" bash -c "
  wine '$bench' file '$big_jpg' 7 2>/dev/null
  wine '$bench' peak '$big_jpg' 2>/dev/null
  wine '$bench' peakdecode '$big_jpg' 2>/dev/null
  wine '$bench' orient '$big_jpg' '$(winpath "$work/big6.jpg")' 7 2>/dev/null
  wine '$bench' peak '$(winpath "$work/big6.jpg")' 2>/dev/null
  wine '$bench' file '$(winpath "$work/big.png")' 5 2>/dev/null
  wine '$bench' folder '$(winpath "$work/folder")' 2>/dev/null
  wine '$bench' eighth '$(winpath "$work/eighth.jpg")' 7 2>/dev/null")
# The one-eighth reader's yardstick, right after it ran (the last above):
# libjpeg-turbo at 1/8 scale, median of 5.
times=()
for _ in 1 2 3 4 5; do
  s=$(date +%s%N); djpeg -scale 1/8 -outfile /dev/null "$work/eighth.jpg"; e=$(date +%s%N)
  times+=($(( (e - s) / 1000000 )))
done
eighth_djpeg_ms=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
echo "$out" | grep -v '^RESULT'
load_ms=$(echo "$out" | awk '/^RESULT/ { print $3; exit }')
echo "djpeg (libjpeg-turbo) of the same JPEG to /dev/null: ${djpeg_ms} ms (median of 5)"
awk -v a="$load_ms" -v b="$djpeg_ms" \
  'BEGIN { printf "ratio LOADIMG / djpeg for the JPEG: %.1f\n", a / b }'
eighth=$(echo "$out" | awk '/^RESULT eighth_ms/ { print $3, $5, $7; exit }')
echo "djpeg -scale 1/8 of the 4000x3000 photo to /dev/null: ${eighth_djpeg_ms} ms (median of 5)"
awk -v d="$eighth_djpeg_ms" -v e="$eighth" 'BEGIN {
  split(e, t, " ") # in memory, with the file read, LOADIMG
  if (t[3] > 0 && d > 0)
    printf "one-eighth reader: %.2f x LOADIMG (target at most 0.25); %.2f x djpeg -scale 1/8 " \
      "from memory, %.2f x with the file read (target at most 1.5)\n", t[2] / t[3], t[1] / d, t[2] / d }'
