#!/usr/bin/env bash
# Sayvane in the panels of real desktop shells, as a user meets it: DesktopShellCheck.sh
# SAYVANE SOURCE_DIR CASE. The shells are heavy and slow to start, so these tests run only when
# SAYVANE_DESKTOP_TESTS=1 (`make test-desktops`); otherwise, or without the shells, they are
# skipped (exit 77).
set -uo pipefail
SAYVANE=$1
SOURCE_DIR=$2
CASE=$3
source "$(dirname "$0")/support/DesktopSession.sh"

[ "${SAYVANE_DESKTOP_TESTS:-0}" = 1 ] || { echo "SAYVANE_DESKTOP_TESTS is not 1"; exit 77; }

label_of() { probe Label "$(gnome_item)"; }
item_label() {
    gdbus call --session --dest "org.kde.StatusNotifierItem-$sayvane_pid-1" \
        --object-path /StatusNotifierItem --method org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierItem XAyatanaLabel
}
menu_has() { probe Menu "$(gnome_item)" | grep -q -F "'$1'"; }
language_is() { sayvane_property Language | grep -q "'$1'"; }
visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | wc -l; }

case $CASE in
gnome.LabelWithoutAStrip)
    gnome_available || exit 77
    start_gnome_shell
    start_sayvane
    wait_for 30 gnome_item || fail "no item in the top bar"
    wait_for 10 strip_is IsUnMapped || fail "a strip beside the label: $(strip_map_state)"
    wait_for 10 test "$(label_of)" != "('',)" || fail "no label in the top bar"
    ;;
gnome.StripOnSitsBelowTheTopBar)
    gnome_available || exit 77
    start_gnome_shell
    write_settings "Strip=on"
    start_sayvane
    wait_for 30 strip_is IsViewable || fail "no strip: $(strip_map_state)"
    bar=$(probe PanelHeight | grep -o '[0-9]\+')
    top=$(xwininfo -id "$(strip_window)" | awk '/Absolute upper-left Y/ { print $4 }')
    work=$(xprop -root _NET_WORKAREA | awk -F'[=,]' '{ print $3 + 0 }')
    [ "$top" -ge "$bar" ] || fail "the strip at y = $top, under the $bar-pixel top bar"
    [ "$top" -lt $((bar + 10)) ] || fail "the strip at y = $top, far below the top bar ($bar)"
    echo "top bar $bar px, strip at y = $top, work area from y = $work"
    ;;
gnome.MenuFollowsALanguageChosenThere)
    gnome_available || exit 77
    start_gnome_shell
    start_sayvane
    wait_for 30 gnome_item || fail "no item in the top bar"
    wait_for 10 menu_has "Language > English (checked)" ||
        fail "no English menu: $(probe Menu "$(gnome_item)")"
    probe Activate "$(gnome_item)" "['Language', 'Tiếng Việt']" | grep -q true ||
        fail "no Tiếng Việt item"
    wait_for 10 menu_has "Ngôn ngữ > Tiếng Việt (checked)" ||
        fail "the menu did not follow: $(probe Menu "$(gnome_item)")"
    menu_has "Ngôn ngữ > English (checked)" && fail "English still checked"
    language_is vi || fail "the program did not change its language"
    ;;
plasma.WidgetScrollsTheQuotesAndItsMenuActs)
    plasma_available || exit 77
    start_plasma
    start_sayvane
    wait_for 30 sayvane_property Language || fail "the program is not on the bus"
    plasma_script 'panels()[0].addWidget("io.github.sayvane.ticker")' >/dev/null
    # The widget shows the ticker: the strip goes.
    wait_for 30 strip_is IsUnMapped || fail "the strip stayed beside the widget"
    geometry=$(plasma_script 'var p = panels()[0]; var g = p.widgets("io.github.sayvane.ticker")[0].geometry;
        print([Math.round(g.x), Math.round(g.y), Math.round(g.width), Math.round(g.height), p.height].join(" "))')
    read -r x y width height panel <<<"$geometry"
    screen_height=$(xdpyinfo | awk '/dimensions:/ { split($2, size, "x"); print size[2] }')
    top=$((screen_height - panel + y))
    area="${width}x${height}+${x}+${top}"
    shot() { import -window root -crop "$area" "$session_dir/$1.png" && md5sum <"$session_dir/$1.png"; }
    first=$(shot first)
    wait_for 10 test "$(shot later)" != "$first" || fail "the widget's text does not move"
    # The quotes are there: the widget's text holds the first default quote.
    gdbus call --session --dest io.github.sayvane.Sayvane --object-path / \
        --method io.github.sayvane.Sayvane.WatchDisplay 0 | grep -q "Stay foolish" ||
        fail "the display the widget reads lacks the quotes"
    # Its context menu is the program's menu, flattened: the keys go down to Tiếng Việt.
    position=$(qdbus io.github.sayvane.Sayvane / io.github.sayvane.Sayvane.WatchDisplay 0 |
        python3 -c 'import json, sys
def items(entries):
    for entry in entries:
        if entry["kind"] == "submenu":
            yield from items(entry["children"])
        elif entry["kind"] == "action":
            yield entry["title"]
print(list(items(json.load(sys.stdin)["menu"])).index("Tiếng Việt") + 1)')
    before=$(visible_windows)
    xdotool mousemove $((x + width / 2)) $((top + height / 2)) click 3
    wait_for 10 test "$(visible_windows)" -gt "$before" || fail "no context menu"
    for _ in $(seq 1 "$position"); do xdotool key Down; done
    xdotool key Return
    wait_for 10 language_is vi || fail "the menu's Tiếng Việt did not reach the program"
    ;;
*)
    fail "no case $CASE"
    ;;
esac
echo "passed: $CASE"
