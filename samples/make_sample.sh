#!/usr/bin/env bash
# Draws samples/line-art.png, the picture tools/build filters for its demo: ink line art and
# lettering on white paper, with a pencil-grey wash and a red stroke. RGBA, 8 bits, opaque.
# Needs ImageMagick and the DejaVu fonts.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
convert -size 480x240 xc:white \
    -fill '#d9d9d9' -stroke none -draw "polygon 40,200 150,60 250,200" \
    -fill '#a6a6a6' -draw "polygon 150,60 250,200 200,200" \
    -fill none -stroke black -strokewidth 4 -draw "polygon 40,200 150,60 250,200" \
    -strokewidth 2 -draw "circle 420,50 420,25" \
    -strokewidth 1 -draw "line 20,210 460,210" -draw "line 20,216 460,216" \
    -stroke '#c0392b' -strokewidth 5 -draw "bezier 270,195 330,160 390,225 460,175" \
    -stroke none -fill '#1a3c8c' -font DejaVu-Sans-Bold -pointsize 38 \
    -annotate +215+105 'Brightfade' \
    -fill '#404040' -font DejaVu-Serif-Italic -pointsize 17 \
    -annotate +222+135 'ink stays, paper goes' \
    -define png:color-type=6 PNG32:"$here/line-art.png"
