#!/usr/bin/env bash
# Draws the program's icon (a framed picture with a hill and a sun) at the
# usual sizes into res/vistoro.ico. Run by hand when the design changes.
set -euo pipefail
source "$(dirname "$0")/common.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 256x256 xc:none \
  -fill '#1d4e89' -draw 'roundrectangle 8,24 248,232 28,28' \
  -fill '#f4f1de' -draw 'rectangle 28,44 228,212' \
  -fill '#8fc1e3' -draw 'rectangle 36,52 220,204' \
  -fill '#f2c14e' -draw 'circle 172,96 172,120' \
  -fill '#3a7d44' -draw 'polygon 36,204 100,112 150,170 180,140 220,190 220,204' \
  "$tmp/icon.png"
for s in 16 24 32 48 256; do convert "$tmp/icon.png" -resize ${s}x${s} "$tmp/i$s.png"; done
convert "$tmp"/i16.png "$tmp"/i24.png "$tmp"/i32.png "$tmp"/i48.png "$tmp"/i256.png "$root/res/vistoro.ico"
