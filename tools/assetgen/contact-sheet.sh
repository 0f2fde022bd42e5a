#!/usr/bin/env bash
# Builds contact sheets of the generated images with ImageMagick:
#   tools/assetgen/contact-sheet.sh DATA_DIR OUT_PREFIX
# writes OUT_PREFIX-1x.png (every sheet at base size, shown doubled) and
# OUT_PREFIX-hd2.png (every sheet at 4x, shown at half size).
set -euo pipefail
data=${1:-data}
out=${2:-contact}
names=(gfx gfx2 bricks heart parts common/icons common/Buttons common/dpad fonts/editundo
       logo menu BadgesA common/VELDLogo common/Testcard_Circle)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
i=0
for n in "${names[@]}"; do
  convert "$data/$n.png" -background '#141a33' -flatten -filter point -resize 200% \
    -bordercolor '#141a33' -border 4 "$tmp/a$(printf %02d $i).png"
  convert "$data/$n-hd2.png" -background '#141a33' -flatten -filter triangle -resize 50% \
    -bordercolor '#141a33' -border 4 "$tmp/b$(printf %02d $i).png"
  i=$((i + 1))
done
montage -label '' "$tmp"/a*.png -tile 4x -geometry +6+6 -background '#0b0f22' "$out-1x.png"
montage -label '' "$tmp"/b*.png -tile 4x -geometry +6+6 -background '#0b0f22' "$out-hd2.png"
