#!/usr/bin/env bash
# Draws the picture of the print progress dialog (a printer with a sheet,
# 32 x 32, two colours) into res/print.bmp. Run by hand when the design changes.
set -euo pipefail
source "$(dirname "$0")/common.sh"
convert -size 32x32 xc:white -fill none -stroke black -strokewidth 1 \
  -draw 'rectangle 9,2 22,12' -draw 'line 11,5 20,5' -draw 'line 11,8 20,8' \
  -draw 'rectangle 2,12 29,24' -draw 'rectangle 8,20 23,29' \
  -fill black -draw 'rectangle 24,15 26,17' \
  -type bilevel -colors 2 BMP3:"$root/res/print.bmp"
