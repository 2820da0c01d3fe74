#!/bin/sh
# Draws the window's small pictures with ImageMagick. The PNGs are kept in the
# repository; run this again only to change them.
set -eu
cd "$(dirname "$0")"
C=/usr/bin/convert
T="-size 16x16 xc:none"

# Column-header sort markers, 12 by 12.
$C -size 12x12 xc:none -fill '#404040' -draw 'polygon 6,2 11,9 1,9' sort-up.png
$C -size 12x12 xc:none -fill '#404040' -draw 'polygon 1,3 11,3 6,10' sort-down.png

# Top-row buttons, 16 by 16.
$C $T -fill '#2e8b2e' -draw 'rectangle 6,2 9,13' -draw 'rectangle 2,6 13,9' add.png
$C $T -stroke '#7a4a10' -strokewidth 1 -fill '#f0c040' \
    -draw 'polygon 3,13 4,10 11,3 13,5 6,12' -fill '#303030' -stroke none \
    -draw 'polygon 2,14 3,11 5,13' edit.png
$C $T -stroke '#c02020' -strokewidth 3 -draw 'line 3,3 12,12' -draw 'line 12,3 3,12' delete.png
$C $T -stroke '#404080' -fill white -draw 'rectangle 1,1 9,11' \
    -draw 'rectangle 5,4 14,14' -stroke '#8080b0' -draw 'line 7,7 12,7' \
    -draw 'line 7,9 12,9' -draw 'line 7,11 12,11' copy.png
$C $T -fill '#2e8b2e' -stroke '#1e5e1e' -draw 'polygon 4,2 13,8 4,14' run.png
$C $T -fill '#c02020' -stroke '#801010' \
    -draw 'polygon 5,1 10,1 14,5 14,10 10,14 5,14 1,10 1,5' \
    -fill white -stroke none -draw 'rectangle 4,7 11,8' terminate.png
$C $T -fill '#607080' -draw 'circle 8,8 8,1' -fill none -stroke none \
    -fill '#607080' -draw 'rectangle 7,0 8,15' -draw 'rectangle 0,7 15,8' \
    -fill white -draw 'circle 8,8 8,5' options.png
$C $T -fill '#2060c0' -draw 'circle 8,8 8,1' -fill white \
    -draw 'rectangle 7,7 8,12' -draw 'rectangle 7,4 8,5' about.png
$C $T -fill '#8a6a40' -stroke '#5a4020' -draw 'rectangle 2,1 9,14' \
    -stroke '#c02020' -strokewidth 2 -draw 'line 8,8 14,8' \
    -fill '#c02020' -stroke none -draw 'polygon 15,8 11,5 11,11' exit.png

# The window and tray icon, 32 by 32: a folder with a zipper.
$C -size 32x32 xc:none -fill '#e0b040' -stroke '#806010' \
    -draw 'roundrectangle 2,6 29,27 3,3' -fill '#f0c860' -draw 'rectangle 2,10 29,27' \
    -stroke none -fill '#404040' \
    -draw 'rectangle 14,10 17,12' -draw 'rectangle 14,14 17,16' \
    -draw 'rectangle 14,18 17,20' -draw 'rectangle 13,22 18,26' tarvik.png

# No time stamps in the files: the same drawing gives the same bytes.
/usr/bin/mogrify -strip ./*.png
