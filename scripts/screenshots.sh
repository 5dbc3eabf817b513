#!/usr/bin/env bash
# Takes the README's screenshots: Sayvane on a virtual X server, driven with xdotool and shot
# with ImageMagick (apt-get install xvfb xdotool imagemagick). Uses a home folder of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/sayvane}
out=docs/screenshots
mkdir -p "$out"
home=$(mktemp -d)
chmod 700 "$home"
export HOME=$home XDG_RUNTIME_DIR=$home DISPLAY=:77
Xvfb :77 -screen 0 1280x720x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$home"' EXIT
sleep 1
mkdir -p "$home/.config/Sayvane"
"$program" &
app=$!
sleep 2.2
import -window root "$home/shot.png"
convert "$home/shot.png" -crop 250x24+1030+0 +repage -scale 200% "$out/strip.png"
xdotool mousemove 1150 12 click 1
sleep 0.7
xdotool mousemove 1110 103
sleep 0.7
import -window root "$home/shot.png"
convert "$home/shot.png" -crop 440x200+840+0 +repage "$out/menu.png"
xdotool key Escape key Escape
sleep 0.3
xdotool mousemove 1150 12 click 1
sleep 0.5
xdotool mousemove 1100 35 click 1
sleep 1
import -window root "$home/shot.png"
geometry=$(xwininfo -name "Edit Quotes" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width/{w=$NF} /Height/{h=$NF} END{print w"x"h"+"x"+"y}')
convert "$home/shot.png" -crop "$geometry" +repage "$out/editor.png"
kill $app
wait $app 2>/dev/null || true
echo "Screenshots in $out"
