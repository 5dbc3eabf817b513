#include "StripChoice.h"

using namespace Qt::StringLiterals;

namespace StripChoice {

StripSetting setting(const QString& value) {
    if (value == u"on"_s)
        return StripSetting::on;
    if (value == u"off"_s)
        return StripSetting::off;
    return StripSetting::automatic;
}

QString name(StripSetting setting) {
    switch (setting) {
    case StripSetting::on:
        return u"on"_s;
    case StripSetting::off:
        return u"off"_s;
    case StripSetting::automatic:
        break;
    }
    return u"auto"_s;
}

bool hostsShowLabel(const NotifierHosts& hosts) {
    static const QStringList drawingLabels = {
        u"gnome-shell"_s,
        u"ayatana-indicator-application-service"_s,
        // The command name, where the executable cannot be read.
        u"ayatana-indicat"_s,
        u"notification-area-applet"_s,
        u"notification-ar"_s,
    };
    if (drawingLabels.contains(hosts.watcher))
        return true;
    for (const QString& host : hosts.hosts) {
        if (drawingLabels.contains(host))
            return true;
    }
    return false;
}

bool itemHasLabel(bool labelOn, const NotifierHosts& hosts, bool buttonImages) {
    if (!labelOn)
        return false;
    if (buttonImages)
        return true;
    static const QStringList notificationArea = {u"notification-area-applet"_s,
                                                 u"notification-ar"_s};
    const bool onlyNotificationArea =
        notificationArea.contains(hosts.watcher) &&
        std::all_of(hosts.hosts.cbegin(), hosts.hosts.cend(),
                    [](const QString& host) { return notificationArea.contains(host); });
    return !onlyNotificationArea;
}

bool windowManagerPlacesStrip(const QString& windowManagerName) {
    static const QStringList tiling = {
        u"i3"_s, u"wlroots wm"_s, u"bspwm"_s, u"herbstluftwm"_s, u"xmonad"_s, u"qtile"_s, u"LG3D"_s,
    };
    return !tiling.contains(windowManagerName.trimmed(), Qt::CaseInsensitive);
}

bool showStrip(const Situation& situation) {
    switch (situation.setting) {
    case StripSetting::on:
        return true;
    case StripSetting::off:
        return false;
    case StripSetting::automatic:
        break;
    }
    if (situation.labelInPanel || situation.widgetInPanel)
        return false;
    // A tiling window manager makes a tile or a full-width bar of it: the bar feed is the way.
    return windowManagerPlacesStrip(situation.windowManager);
}

} // namespace StripChoice
