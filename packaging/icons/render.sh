#!/bin/sh
# Re-renders the PNG icons in this folder: 48, 64, 128 and 256 pixels from
# the scalable io.github.valdrynix.Plim.svg, 32 pixels from the original
# pixel art in assets/src/product_icon_32.xpm, which is drawn for that size,
# and 16 pixels from product_icon_16.xpm here, drawn by hand after it (a render
# of the SVG that small blurs the letters away).
# Run it by hand after changing either source and commit the results; the
# build installs the committed files.
#
# Needs (Debian packages): librsvg2-bin (rsvg-convert) and imagemagick.
# Usage: sh packaging/icons/render.sh        (from anywhere)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
for tool in rsvg-convert convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "render.sh: $tool not found" >&2; exit 1; }
done

for size in 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" io.github.valdrynix.Plim.svg -o "${size}x${size}.png"
done
# No time stamps in the file, so that an unchanged picture renders to the same bytes.
convert ../../assets/src/product_icon_32.xpm -strip -define png:exclude-chunks=date,time PNG32:32x32.png
convert product_icon_16.xpm -strip -define png:exclude-chunks=date,time PNG32:16x16.png

if command -v identify >/dev/null 2>&1; then
    identify ./*x*.png
fi
