#!/usr/bin/env bash
# Draws the program's images into app/resources/images/ and the desktop's
# icons into packaging/icons/ with ImageMagick (Debian package imagemagick).
# The PNGs are committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/.."
out=app/resources/images
mkdir -p "$out"

red='rgb(164,0,26)'

# Program icon: a probe tip in a glowing plasma disc, drawn on a 64-pixel grid
# scaled by the first argument.
icon() {
  local scale="$1" size=$((64 * $1))
  convert -size "${size}x${size}" xc:none -draw "scale $scale,$scale
    fill $red roundrectangle 2,2 61,61 12,12
    fill rgb(255,190,120) circle 32,34 32,14
    fill rgb(255,235,200) circle 32,34 32,24
    stroke white stroke-width 4 line 32,4 32,34
    stroke none fill white circle 32,35 32,31" "${@:2}"
}
icon 1 "$out/Zund.png"

# A session page with an IV curve, on a 32-pixel grid scaled by the first
# argument; the connected variant carries a green plug mark.
page() {
  local scale="$1" size=$((32 * $1))
  convert -size "${size}x${size}" xc:none -draw "scale $scale,$scale
    fill white stroke rgb(90,90,90) stroke-width 1.5 polygon 5,2 21,2 27,8 27,30 5,30
    fill rgb(220,220,220) polygon 21,2 21,8 27,8
    fill none stroke $red stroke-width 2 bezier 8,24 14,24 17,22 19,14 line 19,14 24,11" "${@:2}"
}
page 1 "$out/Zund_File.png"
page 1 -stroke 'rgb(0,110,0)' -strokewidth 1 -fill 'rgb(40,170,40)' -draw 'circle 24,25 24,18.5' \
  -fill none -stroke white -strokewidth 2 -draw 'polyline 20.5,25 23,27.5 27.5,22' "$out/connect.png"

# The desktop's icons (hicolor theme): the program and its session files, drawn
# large and scaled down to each size the theme knows.
hicolor=packaging/icons/hicolor
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$hicolor/${size}x${size}/apps" "$hicolor/${size}x${size}/mimetypes"
  icon 4 -resize "${size}x${size}" "$hicolor/${size}x${size}/apps/orvel.png"
  page 8 -resize "${size}x${size}" "$hicolor/${size}x${size}/mimetypes/application-x-orvel-session.png"
done

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
