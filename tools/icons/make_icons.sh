#!/usr/bin/env bash
# Draws the tool-button and page-command pictures into src/gui/resources/icons/ with ImageMagick.
# Each picture is drawn at 96x96 and scaled to 24x24 so its edges come out smooth; the program's
# own icon is kept at 64x64 as well. Run again after changing a drawing; the PNGs are committed.
set -euo pipefail
cd "$(dirname "$0")/../../src/gui/resources/icons"
IM=/usr/bin/convert   # a plain `convert` on the PATH may be a stand-in

draw() { # name, then -draw/-fill/... arguments on a transparent 96x96 canvas
    local name=$1; shift
    "$IM" -size 96x96 xc:none -strokewidth 5 "$@" -resize 24x24 -strip "PNG32:$name.png"
}

page='fill white stroke #404040 path "M 18,6 L 62,6 L 80,24 L 80,90 L 18,90 Z"'
fold='fill #d0d0d0 stroke #404040 path "M 62,6 L 62,24 L 80,24 Z"'
lines='stroke #7090c0 line 28,44 70,44 line 28,56 70,56 line 28,68 70,68 line 28,80 56,80'
floppy='fill #3060b0 stroke #203060 roundrectangle 8,8 88,88 8,8 fill #e8e8e8 stroke #203060 rectangle 22,8 74,38 fill #203060 stroke none rectangle 58,12 68,34 fill white stroke #203060 rectangle 20,54 76,88'

draw new    -draw "$page" -draw "$fold"
draw open   -draw 'fill #e0b040 stroke #806020 path "M 6,22 L 34,22 L 42,30 L 88,30 L 88,84 L 6,84 Z"' \
            -draw 'fill #f8d878 stroke #806020 path "M 6,84 L 20,44 L 94,44 L 88,84 Z"'
draw save   -draw "$floppy"
draw saveas -draw "$floppy" -draw 'stroke #c03020 stroke-width 9 line 40,80 88,32' \
            -draw 'fill #f0d080 stroke #806020 stroke-width 2 path "M 34,88 L 38,72 L 48,82 Z"'
draw close  -draw "$page" -draw "$fold" -draw 'stroke #c02020 stroke-width 12 line 30,38 68,76 line 68,38 30,76'
draw import -draw "$page" -draw "$fold" -draw "$lines" \
            -draw 'fill #20a040 stroke #106020 stroke-width 3 path "M 2,40 L 30,40 L 30,28 L 50,52 L 30,76 L 30,64 L 2,64 Z"'
draw options -draw 'fill #909090 stroke #404040 roundrectangle 10,30 86,66 8,8' \
            -draw 'fill #404040 stroke none circle 26,48 26,54 circle 42,48 42,54 circle 58,48 58,54 circle 74,48 74,54' \
            -draw 'fill #404040 stroke none rectangle 30,66 40,84 rectangle 56,66 66,84'
draw send   -draw 'fill #202020 stroke #606060 roundrectangle 4,46 92,84 6,6' \
            -draw 'fill #ff3030 stroke none circle 18,65 18,70 circle 33,65 33,70 circle 48,65 48,70 circle 63,65 63,70 circle 78,65 78,70' \
            -draw 'fill #30c040 stroke #107020 stroke-width 3 path "M 38,2 L 58,2 L 58,20 L 72,20 L 48,42 L 24,20 L 38,20 Z"'
draw clock  -draw 'fill white stroke #304080 stroke-width 8 circle 48,48 48,8' \
            -draw 'stroke #202020 stroke-width 8 line 48,48 48,22 line 48,48 68,58' \
            -draw 'fill #c02020 stroke none circle 48,48 48,53'
draw about  -draw 'fill #3070c0 stroke #204080 circle 48,48 48,6' \
            -draw 'fill white stroke none circle 48,26 48,33 roundrectangle 41,40 55,78 3,3'
draw help   -draw 'fill #30a050 stroke #206030 circle 48,48 48,6' \
            -fill white -stroke none -font DejaVu-Sans-Bold -pointsize 68 -gravity center -annotate +0+2 '?'

arrow='fill #2060c0 stroke #103060 stroke-width 3'
draw pagnext  -draw "$arrow path \"M 30,14 L 74,48 L 30,82 Z\""
draw pagprev  -draw "$arrow path \"M 66,14 L 22,48 L 66,82 Z\""
draw paglast  -draw "$arrow path \"M 18,14 L 62,48 L 18,82 Z\"" -draw 'fill #103060 stroke none rectangle 66,14 80,82'
draw pagfirst -draw "$arrow path \"M 78,14 L 34,48 L 78,82 Z\"" -draw 'fill #103060 stroke none rectangle 16,14 30,82'
draw paginsert -draw "$page" -draw "$fold" -draw 'stroke #20a040 stroke-width 12 line 49,40 49,80 line 29,60 69,60'
draw pagdelete -draw "$page" -draw "$fold" -draw 'stroke #d02020 stroke-width 12 line 29,60 69,60'
draw paggoto  -draw 'fill #20a040 stroke #106020 stroke-width 3 path "M 8,36 L 50,36 L 50,16 L 88,48 L 50,80 L 50,60 L 8,60 Z"'

# The program's own picture: a sign with red dots spelling a line.
"$IM" -size 256x256 xc:none \
    -draw 'fill #303030 stroke #909090 stroke-width 8 roundrectangle 8,64 248,192 20,20' \
    -draw 'fill #ff2a2a stroke none circle 40,128 40,146 circle 88,128 88,146 circle 136,128 136,146 circle 184,128 184,146' \
    -draw 'fill #802020 stroke none circle 226,128 226,140' \
    -draw 'fill #707070 stroke none rectangle 112,192 144,240' \
    -resize 64x64 -strip PNG32:tivor.png
