#!/usr/bin/env bash
# Draws the demo screen saver's pictures into FOLDER: two JPEG landscapes and one BMP portrait,
# so that both decoders and both ways of fitting show. Fixed seeds make every build draw the
# same pictures.
#
#   demo-pictures.sh FOLDER
set -euo pipefail
if [ $# -ne 1 ]; then
    sed -n '2,6p' "$0" >&2
    exit 2
fi
mkdir -p "$1"
convert -seed 11 -size 640x480 plasma:fractal -quality 85 "$1/1-plasma.jpg"
convert -seed 23 -size 640x480 plasma:red-blue -quality 85 "$1/2-plasma.jpg"
convert -seed 37 -size 360x480 plasma:green-yellow "BMP3:$1/3-plasma.bmp"
