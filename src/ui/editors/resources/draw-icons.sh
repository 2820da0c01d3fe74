#!/bin/sh
# Draws the editors' small pictures with ImageMagick. The PNGs are kept in the
# repository; run this again only to change them.
set -eu
cd "$(dirname "$0")"
C=/usr/bin/convert

# Save: a floppy disk, 16 by 16.
$C -size 16x16 xc:none -fill '#2c4c8c' -draw 'rectangle 1,1 14,14' \
    -fill white -draw 'rectangle 4,2 11,7' -fill '#c0c8d8' -draw 'rectangle 4,10 11,14' \
    -fill '#2c4c8c' -draw 'rectangle 9,3 10,6' save.png
# Close: a door with an arrow, 16 by 16.
$C -size 16x16 xc:none -fill '#8a6a40' -stroke '#5a4020' -draw 'rectangle 2,1 9,14' \
    -stroke '#c02020' -strokewidth 2 -draw 'line 8,8 14,8' \
    -fill '#c02020' -stroke none -draw 'polygon 15,8 11,5 11,11' close.png
# E-mail settings: an envelope, 24 by 24.
$C -size 24x24 xc:none -fill '#f4f0e0' -stroke '#606060' -draw 'rectangle 1,5 22,19' \
    -fill none -stroke '#606060' -draw 'polyline 1,5 12,13 22,5' \
    -draw 'line 1,19 9,11' -draw 'line 22,19 14,11' email.png

# No time stamps in the files: the same drawing gives the same bytes.
/usr/bin/mogrify -strip ./*.png
