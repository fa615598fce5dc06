#!/usr/bin/env bash
# Draws the wizard header banner (214 x 50, 24-bit BMP) with ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 50x214 gradient:'#ffffff'-'#1f4e8c' -rotate -90 \
  -fill '#f0a020' -stroke '#8a5a00' -strokewidth 1 -draw "polygon 115,8 132,25 115,42 98,25" \
  -fill '#ffffff' -stroke none -draw "circle 115,25 115,19" \
  -fill '#ffffff' -font DejaVu-Sans-Bold -pointsize 15 -draw "text 137,31 'VYN2005'" \
  -type TrueColor BMP3:banner.bmp
