#!/bin/sh
# Draws the panels' icons with ImageMagick into qmlRes/barIcon/. The PNGs are
# committed; run this again only to change them.
set -eu
out=$(dirname "$0")/qmlRes/barIcon
mkdir -p "$out"
cd "$out"
# ImageMagick writes a creation time into PNGs; strip it so reruns give equal bytes.
draw() { # name size colour primitives...
    name=$1 size=$2 colour=$3
    shift 3
    convert -size "$size" xc:none -stroke "$colour" -fill none -strokewidth 2 "$@" \
        -define png:exclude-chunks=date,time -strip "$name.png"
}
window_buttons() { # suffix colour
    draw "ctrl_close$1" 32x20 "$2" -draw "line 11,5 21,15" -draw "line 21,5 11,15"
    draw "ctrl_min$1" 32x20 "$2" -draw "line 10,14 22,14"
    draw "ctrl_normal$1" 32x20 "$2" -draw "rectangle 10,4 22,15"
    draw "ctrl_max$1" 32x20 "$2" -draw "rectangle 9,7 19,16" -draw "polyline 13,7 13,4 23,4 23,13 19,13"
    draw "ctrl_menu$1" 32x20 "$2" -draw "line 10,5 22,5" -draw "line 10,10 22,10" -draw "line 10,15 22,15"
}
window_buttons "" white
window_buttons _leave "#FFE08A"
draw item_open 16x16 "#505050" -fill "#505050" -draw "polygon 3,5 13,5 8,11"
draw item_close 16x16 "#505050" -fill "#505050" -draw "polygon 5,3 11,8 5,13"
draw type_yt 16x16 "#2398e9" -draw "circle 8,8 8,2" -fill "#2398e9" -draw "circle 8,8 8,6"
draw Storage_Cloud 16x16 "#2398e9" -fill "#2398e9" \
    -draw "circle 6,10 6,7" -draw "circle 10,8 10,4" -draw "rectangle 3,10 13,13"
draw ptz_up 35x35 "#2398e9" -fill "#2398e9" -draw "polygon 17,8 27,24 7,24"
draw ptz_down 35x35 "#2398e9" -fill "#2398e9" -draw "polygon 17,27 27,11 7,11"
draw ptz_left 35x35 "#2398e9" -fill "#2398e9" -draw "polygon 8,17 24,7 24,27"
draw ptz_right 35x35 "#2398e9" -fill "#2398e9" -draw "polygon 27,17 11,7 11,27"
# The off-line picture: a grey camera with a red stroke through it.
convert -size 96x96 xc:"#D0D0D0" -fill "#808080" -stroke "#606060" \
    -draw "roundrectangle 14,30 70,70 6,6" -draw "polygon 70,42 86,32 86,68 70,58" \
    -stroke "#D03030" -strokewidth 6 -draw "line 12,84 84,12" \
    -define png:exclude-chunks=date,time -strip CAM_OFFLINE.png
# The waiting box's turning picture: eight frames of a dot running round a ring.
frames=""
for i in 0 1 2 3 4 5 6 7; do
    x=$(awk -v i="$i" 'BEGIN { printf "%d", 16 + 11 * cos(i * 3.14159265 / 4) }')
    y=$(awk -v i="$i" 'BEGIN { printf "%d", 16 + 11 * sin(i * 3.14159265 / 4) }')
    convert -size 32x32 xc:"#100D15" -stroke "#5C5C5C" -strokewidth 3 -fill none -draw "circle 16,16 16,5" \
        -stroke none -fill white -draw "circle $x,$y $((x + 3)),$y" "loading_$i.png"
    frames="$frames loading_$i.png"
done
# shellcheck disable=SC2086
convert -delay 10 -loop 0 $frames Loading.gif
rm -f $frames
