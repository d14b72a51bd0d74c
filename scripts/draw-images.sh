#!/usr/bin/env bash
# Draws the program's images into app/resources/images/ with ImageMagick
# (Debian package imagemagick).
# The PNGs are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/.."
out=app/resources/images
mkdir -p "$out"

red='rgb(164,0,26)'

# Program icon: a probe tip in a glowing plasma disc.
convert -size 64x64 xc:none \
  -fill "$red" -draw 'roundrectangle 2,2 61,61 12,12' \
  -fill 'rgb(255,190,120)' -draw 'circle 32,34 32,14' \
  -fill 'rgb(255,235,200)' -draw 'circle 32,34 32,24' \
  -stroke white -strokewidth 4 -draw 'line 32,4 32,34' \
  -stroke none -fill white -draw 'circle 32,35 32,31' \
  "$out/Zund.png"

# A session page with an IV curve; the connected variant carries a green plug mark.
page() {
  convert -size 32x32 xc:none \
    -fill white -stroke 'rgb(90,90,90)' -strokewidth 1.5 \
    -draw 'polygon 5,2 21,2 27,8 27,30 5,30' \
    -fill 'rgb(220,220,220)' -draw 'polygon 21,2 21,8 27,8' \
    -fill none -stroke "$red" -strokewidth 2 \
    -draw 'bezier 8,24 14,24 17,22 19,14' -draw 'line 19,14 24,11' \
    "$@"
}
page "$out/Zund_File.png"
page -stroke 'rgb(0,110,0)' -strokewidth 1 -fill 'rgb(40,170,40)' -draw 'circle 24,25 24,18.5' \
  -fill none -stroke white -strokewidth 2 -draw 'polyline 20.5,25 23,27.5 27.5,22' "$out/connect.png"

# Analysis alert.
convert -size 32x32 xc:none \
  -fill 'rgb(250,200,0)' -stroke 'rgb(60,60,60)' -strokewidth 1.5 -draw 'polygon 16,2 30,29 2,29' \
  -stroke none -fill black -draw 'roundrectangle 14.5,10 17.5,21 1,1' -draw 'circle 16,25 16,23.3' \
  "$out/warning.png"

# One period of a sine, 4 to 28 across, around y = 17, as short line strokes
# (an open polyline comes out closed).
wave() {
  awk 'function y(i) { return 17 - 8 * sin(i / 24 * 6.2832) }
       BEGIN { for (i = 0; i < 24; i++) printf "line %d,%.1f %d,%.1f ", 4 + i, y(i), 5 + i, y(i + 1) }'
}

# Maker's logo for the top right corner of the main window.
convert -size 150x34 xc:none \
  -fill none -stroke "$red" -strokewidth 2.5 -draw "$(wave)" \
  -stroke none -fill "$red" -font DejaVu-Sans-Bold -pointsize 20 -draw 'text 34,25 "Brisvane"' \
  "$out/brisvane.png"
