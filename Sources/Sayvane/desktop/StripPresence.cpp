#include "StripPresence.h"

#include "StatusItem.h"
#include "StatusNotifierHosts.h"
#include "StatusNotifierItem.h"

#include <QSystemTrayIcon>

StripPresence::StripPresence(StatusItem& statusItem, StripSetting setting, bool labelShown,
                             StatusNotifierItem* item, StatusNotifierHosts* hosts,
                             std::function<QString()> windowManager,
                             std::function<bool()> buttonImages, QObject* parent)
    : QObject(parent)
    , statusItem(statusItem)
    , setting(setting)
    , labelShown(labelShown)
    , item(item)
    , hosts(hosts)
    , windowManager(std::move(windowManager))
    , buttonImages(std::move(buttonImages)) {
    if (item)
        connect(item, &StatusNotifierItem::registeredChanged, this, &StripPresence::decide);
    if (hosts)
        connect(hosts, &StatusNotifierHosts::changed, this, &StripPresence::decide);
    hold.setSingleShot(true);
    hold.setInterval(holdTime);
    connect(&hold, &QTimer::timeout, this, [this] {
        waitedEnough = true;
        decide();
    });
    decide();
}

bool StripPresence::awaitingPanel() const {
    return item && item->isWatcherPresent() && !item->isRegistered() &&
           item->labelling() == StatusNotifierItem::Labelling::labelled && hosts &&
           StripChoice::hostsShowLabel(hosts->current());
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
    now.labelInPanel = item && item->labelling() == StatusNotifierItem::Labelling::labelled &&
                       item->isRegistered() && hosts &&
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
    // Changing the item's labelling takes it out of the panel and back, which asks again.
    if (item)
        item->setLabelling(StripChoice::itemHasLabel(labelShown,
                                                     hosts ? hosts->current() : NotifierHosts(),
                                                     !buttonImages || buttonImages())
                               ? StatusNotifierItem::Labelling::labelled
                               : StatusNotifierItem::Labelling::iconOnly);
    bool show = StripChoice::showStrip(situation());
    // A panel that shows labels may take a while to answer the item's registration (GNOME
    // Shell as it starts): the strip waits for it a little rather than flash up for a moment.
    if (show && setting == StripSetting::automatic && awaitingPanel()) {
        if (!hold.isActive() && !waitedEnough)
            hold.start();
        show = !hold.isActive();
    } else {
        hold.stop();
        waitedEnough = false;
    }
    statusItem.setStripShown(show);
    Q_EMIT decided();
}
