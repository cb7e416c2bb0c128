#!/usr/bin/env bash
# Draws the program's own artwork with ImageMagick; the .ico files it writes are committed.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The program: a teal shield with a white upward arrow (what starts, guarded).
shield() {  # size
  local s=$1
  convert -size ${s}x${s} xc:none -fill '#0f6f7a' -stroke '#0a4a52' -strokewidth $((s / 16 + 1)) \
    -draw "path 'M $((s / 2)),$((s / 16)) L $((s - s / 8)),$((s / 5)) L $((s - s / 8)),$((s / 2)) Q $((s - s / 8)),$((s * 13 / 16)) $((s / 2)),$((s - s / 16)) Q $((s / 8)),$((s * 13 / 16)) $((s / 8)),$((s / 2)) L $((s / 8)),$((s / 5)) Z'" \
    -fill white -stroke none \
    -draw "polygon $((s / 2)),$((s / 4)) $((s * 3 / 4)),$((s / 2)) $((s * 19 / 32)),$((s / 2)) $((s * 19 / 32)),$((s * 3 / 4)) $((s * 13 / 32)),$((s * 3 / 4)) $((s * 13 / 32)),$((s / 2)) $((s / 4)),$((s / 2))" \
    -type TrueColorAlpha "$tmp/shield$s.png"
}
shield 16
shield 32
shield 48
convert "$tmp/shield16.png" "$tmp/shield32.png" "$tmp/shield48.png" korvalis.ico
# The tray keeps a single 16 x 16 image with 24-bit colour.
convert "$tmp/shield16.png" -background '#c0c0c0' -alpha remove -type TrueColor tray.ico

# The warning box: a red disc with a white exclamation mark.
convert -size 16x16 xc:none -fill '#d42020' -draw 'circle 7.5,7.5 7.5,0.5' \
  -fill white -draw 'rectangle 7,3 8,9' -draw 'rectangle 7,11 8,12' -type TrueColorAlpha "$tmp/warning.png"
convert "$tmp/warning.png" warning.ico

# "Locate program ...": an open yellow folder.
convert -size 16x16 xc:none -fill '#e8b830' -stroke '#a07810' \
  -draw 'polygon 1,3 6,3 7,5 13,5 13,13 1,13' \
  -fill '#f8d860' -draw 'polygon 3,7 15,7 13,13 1,13' -type TrueColorAlpha "$tmp/folder.png"
convert "$tmp/folder.png" folder.ico
