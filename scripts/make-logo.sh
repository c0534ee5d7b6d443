#!/usr/bin/env bash
# Draws the program's logo for the About box (a stylised Z over a lens,
# 76 x 76, 16 colours) into res/zelm.bmp. Run by hand when the design changes.
set -euo pipefail
source "$(dirname "$0")/common.sh"
convert -size 76x76 xc:white \
  -fill '#1f4e9c' -stroke none -draw 'roundrectangle 2,2 73,73 10,10' \
  -fill none -stroke '#f2c230' -strokewidth 5 -draw 'circle 38,38 38,12' \
  -fill white -stroke none -draw 'polygon 20,20 56,20 56,27 31,49 56,49 56,56 20,56 20,49 45,27 20,27' \
  -colors 16 -type palette BMP3:"$root/res/zelm.bmp"
