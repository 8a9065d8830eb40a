#!/bin/sh
# Draws the program's PNG images (application icon in the desktop's sizes, footer logo, five action
# icons) with rsvg-convert and ImageMagick into resources/ and packaging/icons/. The output is
# committed; run this again only to change the artwork (apt-get install librsvg2-bin imagemagick).
#   sh tools/draw_images.sh
set -eu
cd "$(dirname "$0")/../resources"
mkdir -p icons images menu ../packaging/icons

# No time stamps in the files, so redrawing unchanged artwork gives identical bytes.
png() { convert "$@" -define png:exclude-chunks=date,time +set date:create +set date:modify \
    -strip "PNG32:$out"; }

# Application icon: rendered from its SVG (resources/icons/quorval.svg, drawn by hand) with
# rsvg-convert of Debian's librsvg2-bin: the window's 64 px icon and the desktop's icon sizes.
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" icons/quorval.svg -o "../packaging/icons/quorval_$size.png"
done
cp ../packaging/icons/quorval_64.png icons/quorval.png

# Footer logo: the name beside a small pair of calliper jaws.
out=images/logo.png png -size 100x40 xc:none \
    -fill '#2b4f7e' -stroke none -draw 'rectangle 4,8 8,34' -draw 'rectangle 4,8 22,12' \
    -draw 'rectangle 18,8 22,22' -draw 'rectangle 4,26 14,30' \
    -font DejaVu-Sans-Bold-Oblique -pointsize 15 -fill '#2b4f7e' -draw 'text 27,27 "Quorval"'

# Open: a folder with an arrow leaving it.
out=menu/file_open_x32.png png -size 32x32 xc:none \
    -fill '#e8b84a' -stroke '#9a7420' -strokewidth 1 \
    -draw 'polygon 2,8 11,8 14,11 28,11 28,27 2,27' \
    -fill '#f6d27a' -draw 'polygon 2,27 7,15 31,15 28,27' \
    -fill none -stroke '#2b4f7e' -strokewidth 2 -draw 'line 20,12 20,3' \
    -fill '#2b4f7e' -stroke none -draw 'polygon 16,6 24,6 20,1'

# Save: a diskette.
out=menu/file_save_x32.png png -size 32x32 xc:none \
    -fill '#2b4f7e' -stroke '#1b3558' -strokewidth 1 -draw 'polygon 3,3 25,3 29,7 29,29 3,29' \
    -fill '#dfe6ef' -stroke none -draw 'rectangle 8,3 22,11' \
    -fill '#2b4f7e' -draw 'rectangle 17,5 20,9' \
    -fill '#ffffff' -draw 'rectangle 7,17 25,29' \
    -stroke '#9aa9bd' -strokewidth 1 -draw 'line 10,21 22,21' -draw 'line 10,25 22,25'

# Export: a text page with an arrow pointing out of it.
out=menu/file_export_x32.png png -size 32x32 xc:none \
    -fill '#ffffff' -stroke '#5a6878' -strokewidth 1 -draw 'polygon 4,2 17,2 22,7 22,30 4,30' \
    -fill '#dfe6ef' -draw 'polygon 17,2 17,7 22,7' \
    -stroke '#9aa9bd' -draw 'line 8,12 18,12' -draw 'line 8,16 18,16' -draw 'line 8,20 15,20' \
    -draw 'line 8,24 15,24' \
    -stroke '#3a8a3a' -strokewidth 3 -draw 'line 16,22 25,22' \
    -fill '#3a8a3a' -stroke none -draw 'polygon 24,16 31,22 24,28'

# Options: three sliders.
out=menu/edit_options_x32.png png -size 32x32 xc:none \
    -stroke '#5a6878' -strokewidth 2 -draw 'line 4,7 28,7' -draw 'line 4,16 28,16' \
    -draw 'line 4,25 28,25' \
    -fill '#2b4f7e' -stroke '#1b3558' -strokewidth 1 \
    -draw 'rectangle 18,3 23,11' -draw 'rectangle 8,12 13,20' -draw 'rectangle 14,21 19,29'

# About: an information sign.
out=menu/help_about_x32.png png -size 32x32 xc:none \
    -fill '#2b4f7e' -stroke '#1b3558' -strokewidth 1 -draw 'circle 16,16 16,2' \
    -fill '#ffffff' -stroke none -draw 'circle 16,9 16,6.5' -draw 'rectangle 14,13 18,25' \
    -draw 'rectangle 12,13 18,15' -draw 'rectangle 12,24 20,26'
