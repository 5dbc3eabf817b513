#include "StripPresence.h"

#include "StatusItem.h"
#include "StatusNotifierHosts.h"
#include "StatusNotifierItem.h"

#include <QSystemTrayIcon>

StripPresence::StripPresence(StatusItem& statusItem, StripSetting setting, bool labelShown,
                             StatusNotifierItem* item, StatusNotifierHosts* hosts,
                             std::function<QString()> windowManager, QObject* parent)
    : QObject(parent)
    , statusItem(statusItem)
    , setting(setting)
    , labelShown(labelShown)
    , item(item)
    , hosts(hosts)
    , windowManager(std::move(windowManager)) {
    if (item)
        connect(item, &StatusNotifierItem::registeredChanged, this, &StripPresence::decide);
    if (hosts)
        connect(hosts, &StatusNotifierHosts::changed, this, &StripPresence::decide);
    decide();
}

void StripPresence::setWidgetInPanel(bool shown) {
    widgetInPanel = shown;
    decide();
}

void StripPresence::setSetting(StripSetting newSetting) {
    setting = newSetting;
    decide();
}

void StripPresence::setLabelShown(bool shown) {
    labelShown = shown;
    decide();
}

StripChoice::Situation StripPresence::situation() const {
    StripChoice::Situation now;
    now.setting = setting;
    now.labelInPanel = labelShown && item && item->isRegistered() && hosts &&
                       StripChoice::hostsShowLabel(hosts->current());
    now.widgetInPanel = widgetInPanel;
    if (windowManager)
        now.windowManager = windowManager();
    return now;
}

TickerPlaces StripPresence::places() const {
    const StripChoice::Situation now = situation();
    TickerPlaces places;
    places.stripSetting = StripChoice::name(setting);
    places.stripShown = statusItem.isStripShown();
    places.labelInPanel = now.labelInPanel;
    places.widgetInPanel = now.widgetInPanel;
    places.tilingWindowManager = !StripChoice::windowManagerPlacesStrip(now.windowManager);
    places.menuElsewhere =
        (item && item->isRegistered()) ||
        (statusItem.trayIcon()->isVisible() && QSystemTrayIcon::isSystemTrayAvailable());
    return places;
}

void StripPresence::decide() {
    statusItem.setStripShown(StripChoice::showStrip(situation()));
    Q_EMIT decided();
}
