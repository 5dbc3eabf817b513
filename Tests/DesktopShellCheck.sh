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
# The top bar's label is the program's: the two answers without their wrapping.
labels_agree() {
    [ "$(label_of | sed -E 's/^\(<?//; s/>?,\)$//')" = "$(item_label | sed -E 's/^\(<?//; s/>?,\)$//')" ]
}
# The top bar's label steps as the program's own label does, and shows what the program shows.
label_steps() {
    local shown
    for _ in 1 2 3; do
        shown=$(label_of)
        wait_for 5 differs "$shown" label_of ||
            fail "the top bar's label stands at $shown, the program's is $(item_label)"
    done
    wait_for 5 labels_agree || fail "the top bar shows $(label_of), the program $(item_label)"
}
menu_has() { probe Menu "$(gnome_item)" | grep -q -F "'$1'"; }
language_is() { sayvane_property Language | grep -q "'$1'"; }
visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | wc -l; }
# The box of the program's icon in the top panel, "WxH+X+Y": a patch of its orange over 100
# pixels (subpixel antialiasing leaves orange specks at the letters' edges); empty without one.
icon_box() {
    import -window root -crop 1280x40+0+0 "$session_dir/panel.png" &&
        convert "$session_dir/panel.png" -fuzz 15% -fill black +opaque '#FF8A3D' \
            -fill white -opaque '#FF8A3D' -define connected-components:verbose=true \
            -connected-components 8 null: | awk '$NF ~ /255,255,255/ && $4 > 100 { print $2; exit }'
}
icon_shown() { [ -n "$(icon_box)" ]; }
no_icon() { [ -z "$(icon_box)" ]; }
# The lower edge of MATE's top panel, from its reservation.
top_panel_edge() {
    local window
    for window in $(xdotool search --class mate-panel 2>/dev/null); do
        xprop -id "$window" _NET_WM_STRUT_PARTIAL 2>/dev/null | awk -F'[=,]' '$4 + 0 > 0 { print $4 + 0 }'
    done | sort -n | tail -1
}
strip_top() { xwininfo -id "$(strip_window)" | awk '/Absolute upper-left Y/ { print $4 }'; }
strip_below_panel() { [ "$(strip_top)" = "$(top_panel_edge)" ]; }
# "left top right bottom" of the program's open menu: a window of its own over 100 pixels high.
menu_box() {
    local window
    for window in $(xdotool search --onlyvisible --class sayvane 2>/dev/null); do
        xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
            /Width:/ { w = $2 } /Height:/ { h = $2 } END { if (h > 100) print x, y, x + w, y + h }'
    done | head -1
}

case $CASE in
gnome.LabelWithoutAStrip)
    gnome_available || exit 77
    start_gnome_shell
    start_sayvane
    # Not even for a moment while the shell, still starting, takes the item.
    never_for 8 strip_is IsViewable || fail "the strip showed beside the label"
    wait_for 30 gnome_item || fail "no item in the top bar"
    wait_for 10 strip_is IsUnMapped || fail "a strip beside the label: $(strip_map_state)"
    wait_for 10 differs "('',)" label_of || fail "no label in the top bar"
    label_steps
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
    # With the shell busy drawing the moving strip, the label in the top bar steps all the same.
    wait_for 30 gnome_item || fail "no item in the top bar"
    label_steps
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
    wait_for 10 differs "$first" shot later || fail "the widget's text does not move"
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
    wait_for 10 differs "$before" visible_windows || fail "no context menu"
    for _ in $(seq 1 "$position"); do xdotool key Down; done
    xdotool key Return
    wait_for 10 language_is vi || fail "the menu's Tiếng Việt did not reach the program"
    ;;
mate.IconAndMenuInTheNotificationArea)
    mate_available || exit 77
    start_mate
    # One whole quote, no emoji: the icon's orange is the only orange in the panel, and the item
    # keeps its width and place.
    write_settings "Label=quote"
    mkdir -p "$HOME/.config/Sayvane"
    echo '{ "quotes": ["Plain words stay put."] }' >"$HOME/.config/Sayvane/quotes.json"
    start_sayvane
    # MATE's own default shows icons on buttons: the icon and the label, and no strip.
    wait_for 30 icon_shown || fail "no icon in the Notification Area"
    wait_for 10 strip_is IsUnMapped || fail "a strip beside the label: $(strip_map_state)"
    item_label | grep -q "Plain words stay put." || fail "no label: $(item_label 2>&1)"
    read -r x y < <(icon_box | awk -F'[x+]' '{ print $3 + int($1 / 2), $4 + int($2 / 2) }')
    # A left click: the item asks the program, whose menu drops down from the panel at the item.
    xdotool mousemove "$x" "$y" click 1
    wait_for 10 differs "" menu_box || fail "no menu after a left click"
    read -r left top right _ <<<"$(menu_box)"
    panel=$(top_panel_edge)
    [ "$left" -le "$x" ] && [ "$x" -le "$right" ] || fail "the menu at x $left..$right, the item at $x"
    [ "$top" -ge $((panel - 1)) ] && [ "$top" -le $((panel + 8)) ] ||
        fail "the menu's top at y = $top, the panel's lower edge at $panel"
    xdotool key Escape
    # Without icons on buttons GTK would draw the label alone: the item goes without its label,
    # its icon shows, and the strip below the panel shows the quotes.
    kill "$sayvane_pid"
    gsettings set org.mate.interface buttons-have-icons false
    start_sayvane
    wait_for 30 icon_shown || fail "no icon without icons on buttons"
    wait_for 10 strip_is IsViewable || fail "no strip beside an item without a label"
    ! item_label >/dev/null 2>&1 || fail "a label that would hide the icon: $(item_label)"
    wait_for 10 strip_below_panel || fail "the strip at y = $(strip_top), the panel's edge at $(top_panel_edge)"
    # The panel restarts, and settles: the strip is below it again, never under it.
    restart_mate_panel
    wait_for 60 icon_shown || fail "no icon after the panel's restart"
    wait_for 10 strip_below_panel || fail "after the panel's restart the strip at y = $(strip_top), the panel's edge at $(top_panel_edge)"
    echo "icon at $x,$y; menu at $left,$top..$right; panel's edge at $panel; strip at $(strip_top)"
    ;;
*)
    fail "no case $CASE"
    ;;
esac
echo "passed: $CASE"
