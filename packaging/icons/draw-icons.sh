#!/bin/sh
# Renders the program icon's PNG sizes from tarvik.svg with ImageMagick. The
# PNGs are kept in the repository; run this again only to change the icon.
set -eu
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "hicolor/${size}x${size}/apps"
    /usr/bin/convert -background none -density 384 tarvik.svg -resize "${size}x${size}" \
        "hicolor/${size}x${size}/apps/tarvik.png"
done
# No time stamps in the files: the same drawing gives the same bytes.
/usr/bin/mogrify -strip hicolor/*/apps/tarvik.png
