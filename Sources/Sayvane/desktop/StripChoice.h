#pragma once

#include "StatusNotifierHosts.h"

#include <QString>

// The "Strip" setting: the strip shown where nothing else shows the ticker (automatic), always
// (on) or never (off).
enum class StripSetting { automatic, on, off };

// Whether the strip goes on the screen, from what the session offers instead. Plain logic, apart
// from any bus or window.
namespace StripChoice {

// The setting of the key "Strip" as the settings read it: "auto", "on" or "off".
StripSetting setting(const QString& value);
// The setting's value in the settings file: "auto", "on" or "off".
QString name(StripSetting setting);

// Whether the panel that hosts status notifier items draws an item's label beside its icon:
// GNOME Shell (its AppIndicator extension holds the watcher in the shell), Ayatana's indicator
// service (behind the indicator applets of Xfce and MATE) and MATE's Notification Area. Others
// (Plasma, Xfce's Status Tray, waybar, Cinnamon) draw the icon alone.
bool hostsShowLabel(const NotifierHosts& hosts);

// Whether the item should carry a label at all. MATE's Notification Area, alone, makes a GTK
// button of an item, and GTK drops a button's icon beside its label (even an empty one) unless
// the desktop shows icons on buttons (`buttonImages`): there the item goes without its label,
// so that its icon shows, and the strip shows the quotes. `labelOn`: the label is not "off".
bool itemHasLabel(bool labelOn, const NotifierHosts& hosts, bool buttonImages);

// Whether the window manager places a dock window where it asks to be, as a strip at the top:
// tiling window managers make it a tile or a bar of the screen's width instead (i3; sway and
// the other wlroots compositors, whose XWayland window manager calls itself "wlroots wm"; bspwm,
// herbstluftwm, xmonad, qtile, and dwm, which names itself "LG3D" when it names itself at all).
bool windowManagerPlacesStrip(const QString& windowManagerName);

struct Situation {
    StripSetting setting = StripSetting::automatic;
    // The panel shows the program's label now: a host that draws labels holds the registered
    // item, and the label is not switched off.
    bool labelInPanel = false;
    // The program's own panel widget shows the ticker.
    bool widgetInPanel = false;
    QString windowManager;
};

bool showStrip(const Situation& situation);

} // namespace StripChoice
