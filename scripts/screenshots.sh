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
export HOME=$home XDG_RUNTIME_DIR=$home
# A display number that is free: Xvfb picks it and tells it once it listens.
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>"$home/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$home"' EXIT
for _ in $(seq 50); do [ -s "$home/display" ] && break; sleep 0.2; done
export DISPLAY=:$(cat "$home/display")
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
mkdir -p "$home/.config/Sayvane"
"$program" &
app=$!
sleep 2.2
import -window root "$home/shot.png"
convert "$home/shot.png" -crop 250x24+1030+0 +repage -scale 200% "$out/strip.png"
xdotool mousemove 1150 12 click 1
sleep 0.7
xdotool mousemove 1110 169
sleep 0.7
import -window root "$home/shot.png"
convert "$home/shot.png" -crop 440x290+840+0 +repage "$out/menu.png"
xdotool key Escape key Escape
sleep 0.3
xdotool mousemove 1150 12 click 1
sleep 0.5
xdotool mousemove 1100 35 click 1
sleep 1
import -window root "$home/shot.png"
geometry=$(xwininfo -name "Edit Quotes" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width/{w=$NF} /Height/{h=$NF} END{print w"x"h"+"x"+"y}')
convert "$home/shot.png" -crop "$geometry" +repage "$out/editor.png"
# The Preferences window in each language, as `sayvane --preferences` brings it forward.
for language in en:Preferences vi:"Tùy chọn" zh:"偏好设置"; do
    code=${language%%:*}
    title=${language#*:}
    "$program" --set AppLanguage="$code"
    sleep 1
    "$program" --preferences
    sleep 1
    import -window root "$home/shot.png"
    geometry=$(xwininfo -name "$title" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width/{w=$NF} /Height/{h=$NF} END{print w"x"h"+"x"+"y}')
    convert "$home/shot.png" -crop "$geometry" +repage "$out/preferences-$code.png"
    xdotool key Escape
done
"$program" --set AppLanguage=en
kill $app
wait $app 2>/dev/null || true
echo "Screenshots in $out"
