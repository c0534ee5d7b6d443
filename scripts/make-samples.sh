#!/usr/bin/env bash
# Draws the bundled sample pictures into res/samples/ with ImageMagick.
# Run by hand when the set changes; the results are committed.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out="$root/res/samples"
rm -rf "$out"
mkdir -p "$out"
cd "$out"
convert -size 640x480 gradient:'#ffb347'-'#1d4e89' -fill '#f2c14e' -draw 'circle 480,120 480,180' \
  -fill '#2d5a27' -draw 'polygon 0,480 0,380 200,260 380,400 520,300 640,380 640,480' \
  -quality 90 01-dawn.jpg
convert -size 400x300 pattern:checkerboard -fill '#c0392b' -draw 'rectangle 100,75 300,225' \
  02-checks.png
convert -size 320x320 radial-gradient:'#ffffff'-'#0b3d91' -fill none -stroke '#f4d03f' \
  -strokewidth 12 -draw 'circle 160,160 160,40' -type truecolor 03-target.bmp
convert -size 256x192 xc:'#2e86c1' -fill '#f4f6f7' -draw 'roundrectangle 40,40 216,152 20,20' \
  -fill '#e74c3c' -draw 'circle 128,96 128,126' -colors 16 04-badge.gif
# A damaged picture: a JPEG cut off after its first bytes.
convert -size 300x200 plasma:fractal -seed 7 -quality 85 jpg:- | head -c 700 > 05-broken.jpg
convert -size 480x360 gradient:'#1abc9c'-'#2c3e50' -rotate 90 -resize 480x360\! \
  -fill '#ecf0f1' -draw 'polygon 240,40 440,320 40,320' -depth 8 -compress lzw 06-peak.tif
convert -size 48x48 xc:none -fill '#8e44ad' -draw 'circle 24,24 24,4' \
  -fill '#f5b041' -draw 'rectangle 18,18 30,30' -define icon:auto-resize=48,32,16 07-dot.ico
convert -size 800x200 gradient:'#e74c3c'-'#f1c40f' -swirl 60 -quality 88 08-banner.jpeg
# Partial transparency, to show alpha painting.
convert -size 300x300 xc:none -fill 'rgba(39,174,96,0.55)' -draw 'circle 120,150 120,40' \
  -fill 'rgba(41,128,185,0.55)' -draw 'circle 180,150 180,40' -depth 8 09-glass.png
convert -size 200x600 gradient:'#34495e'-'#ecf0f1' -fill '#c0392b' -draw 'rectangle 80,100 120,500' \
  -depth 8 10-tower.png
convert -size 360x240 plasma:'#f39c12'-'#8e44ad' -seed 3 -quality 85 'Tōkyō.jpg'
convert -size 240x240 xc:'#fdfefe' -fill '#17202a' -draw 'rectangle 0,0 119,119' \
  -draw 'rectangle 120,120 239,239' 12-quarters.gif
# A moving picture: a dot going round, twelve frames of 8 hundredths, for ever.
frames=()
for i in $(seq 0 11); do
  x=$(awk -v i="$i" 'BEGIN { printf "%d", 100 + 60 * cos(i * 3.14159265 / 6) }')
  y=$(awk -v i="$i" 'BEGIN { printf "%d", 100 + 60 * sin(i * 3.14159265 / 6) }')
  frames+=(\( -size 200x200 xc:'#1b2631' -fill '#f1c40f' -draw "circle $x,$y $((x + 14)),$y" \))
done
convert -delay 8 "${frames[@]}" -loop 0 13-orbit.gif
ls -la "$out"
