#!/usr/bin/env bash
# `make run`: starts the installer SETUP under Wine.
#
#   demo-run.sh SETUP DRIVER FOLDER
#
# With a display (DISPLAY set) the installer's dialog is yours. Without one, DRIVER (the 64-bit
# demo_run.exe) works the dialog on a virtual display as a person would: Make Default ticked,
# OK. It then starts the installed screen saver with /s, takes a screenshot and ends it with a
# key. This prints where the screen saver was written, the current-screen-saver setting and the
# two screenshots, FOLDER/dialog.png and FOLDER/saver.png. The Wine prefix lives in FOLDER/wine;
# the display and Wine's processes end with the run.
set -euo pipefail
if [ $# -ne 3 ]; then
    sed -n '2,12p' "$0" >&2
    exit 2
fi
setup=$1
driver=$2
folder=$3
here=$(dirname "$0")
mkdir -p "$folder"

if [ -n "${DISPLAY:-}" ]; then
    exec "$here/wine-run.sh" --prefix "$folder/wine" "$setup"
fi

rm -f "$folder/dialog.png" "$folder/saver.png"
# A new prefix sets up its 32-bit half under emulation first, which takes minutes.
echo "demo-run: installing $setup on a virtual display (32-bit programs take about a minute each to start)"
WINE_RUN_TIMEOUT=${WINE_RUN_TIMEOUT:-1800} "$here/wine-run.sh" --prefix "$folder/wine" \
    "$driver" --setup "$setup" --shots "$folder" --timeout 600
echo "screenshot of the dialog: $folder/dialog.png"
echo "screenshot of the running screen saver: $folder/saver.png"
