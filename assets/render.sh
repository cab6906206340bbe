#!/bin/sh
# Re-renders the setup program's pictures in this folder from the sources
# in src/. Run it by hand after changing a source; the build only uses the
# rendered files (listed in pictures.qrc).
#
# Needs (Debian packages): librsvg2-bin (rsvg-convert) and python3-pil.
# imagemagick is optional: if `identify` is there, the results are listed.
#
# Usage: sh assets/render.sh        (from anywhere)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
cd "$here"

PYTHON=${PYTHON:-python3}
# Prefer the system python, which is where python3-pil installs PIL.
if [ "$PYTHON" = python3 ] && [ -x /usr/bin/python3 ]; then
    PYTHON=/usr/bin/python3
fi
for tool in rsvg-convert "$PYTHON"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "render.sh: $tool not found" >&2; exit 1; }
done
"$PYTHON" -c 'import PIL' 2>/dev/null || { echo "render.sh: $PYTHON has no PIL (install python3-pil)" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
pic() { "$PYTHON" tools/pictures.py "$@"; }

# 1, 2: studio portrait and its upside-down copy (same pixels, flipped)
rsvg-convert --zoom 4 src/portrait.svg -o "$tmp/portrait.png"
pic photo "$tmp/portrait.png" portrait.jpg portrait_inverted.jpg

# 3: backdrop
rsvg-convert src/backdrop_gradient.svg -o "$tmp/backdrop.png"
pic jpeg "$tmp/backdrop.png" backdrop_gradient.jpg

# 4-7: 16-colour icons and the arrow cursor
pic ico product_icon.ico  src/product_icon_32.xpm
pic cur arrow_cursor.cur  src/arrow_cursor_32.xpm
pic ico folder_icon.ico   src/folder_icon_32.xpm src/folder_icon_16.xpm
pic ico computer_icon.ico src/computer_icon_32.xpm src/computer_icon_16.xpm

# 8: laughing head, cut out
rsvg-convert --zoom 8 src/head_laughing.svg -o "$tmp/head.png"
pic cutout "$tmp/head.png" 47 53 head_cutout.gif

if command -v identify >/dev/null 2>&1; then
    identify portrait.jpg portrait_inverted.jpg backdrop_gradient.jpg \
        product_icon.ico arrow_cursor.cur folder_icon.ico computer_icon.ico \
        head_cutout.gif
fi
