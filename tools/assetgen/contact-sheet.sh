#!/usr/bin/env bash
# Builds contact sheets of the generated images with ImageMagick:
#   tools/assetgen/contact-sheet.sh DATA_DIR OUT_PREFIX
# (tools/assetgen/contact-sheet for the committed ones) writes OUT_PREFIX.png
# (every sheet at base size), OUT_PREFIX-hd2.png (every sheet at 4x, shown
# at a quarter of its size) and
# OUT_PREFIX-bricks-played.png (the brick sheet as play draws it, in the
# floor's red over play's clear colour: the base file doubled, "-hd" and
# "-hd2" at the sizes a 1280 x 720 and a 1920 x 1080 window draw them).
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
# Halved and reduced to 256 colours, so the committed sheets stay small
# (the tinted bricks keep all their shades).
montage -label '' "$tmp"/a*.png -tile 4x -geometry +6+6 -background '#0b0f22' miff:- |
  convert - -filter point -resize 50% -depth 8 -colors 256 PNG8:"$out.png"
montage -label '' "$tmp"/b*.png -tile 4x -geometry +6+6 -background '#0b0f22' miff:- |
  convert - -resize 50% -depth 8 -colors 256 PNG8:"$out-hd2.png"
# The red tint multiplies each texel by (1, 0, 0): only red is left.
tint() {
  local in=$1
  shift
  convert "$in" -channel GB -evaluate set 0 +channel -background '#00000a' -flatten "$@"
}
tint "$data/bricks.png" -filter point -resize 200% "$tmp/t1.png"
tint "$data/bricks-hd.png" "$tmp/t2.png"
tint "$data/bricks-hd2.png" -filter triangle -resize 56.25% "$tmp/t4.png"
# Top to bottom: 640 x 480 (base file, shown doubled), 1280 x 720 ("-hd"),
# 1920 x 1080 ("-hd2").
montage -label '' "$tmp"/t1.png "$tmp"/t2.png "$tmp"/t4.png -tile 1x -geometry +6+6 -background '#0b0f22' miff:- |
  convert - -depth 8 PNG24:"$out-bricks-played.png"
