#!/usr/bin/env bash
# Draws the key-hint picture of the saver's password prompt (key_hint.jpg,
# 145 x 57): an Enter key on the left and an Esc key in the middle, each a
# raised key cap on white, leaving room on their right for the "OK" and
# "Cancel" labels the prompt paints beside them. Needs ImageMagick's convert.
set -euo pipefail
out=${1:-"$(cd "$(dirname "$0")" && pwd)/key_hint.jpg"}
font=DejaVu-Sans-Bold
ink='#303030'
args=()

# key <left> <top> <right> <bottom>: a shadowed, rounded cap with a lighter top face.
key() {
  local l=$1 t=$2 r=$3 b=$4
  args+=(-fill '#9a9a9a' -stroke none -draw "roundrectangle $((l + 1)),$((t + 2)) $((r + 1)),$((b + 2)) 5,5")
  args+=(-fill '#d4d4d4' -stroke '#6e6e6e' -strokewidth 1 -draw "roundrectangle $l,$t $r,$b 5,5")
  args+=(-fill '#f4f4f4' -stroke none -draw "roundrectangle $((l + 3)),$((t + 2)) $((r - 3)),$((b - 6)) 4,4")
}

key 3 9 43 47
args+=(-fill "$ink" -stroke none -font "$font" -pointsize 9 -draw "text 8,22 'Enter'")
args+=(-stroke "$ink" -strokewidth 2 -fill none -draw "polyline 35,25 35,34 16,34")
args+=(-stroke none -fill "$ink" -draw "polygon 10,34 17,29 17,39")
key 82 9 122 47
args+=(-fill "$ink" -stroke none -font "$font" -pointsize 11 -draw "text 90,33 'Esc'")

convert -size 145x57 xc:white "${args[@]}" -quality 92 -sampling-factor 1x1 -strip "$out"
