#include "TrayIconStandIn.h"

#include "StatusItem.h"
#include "StatusNotifierItem.h"

TrayIconStandIn::TrayIconStandIn(StatusItem& strip, StatusNotifierItem& item, QObject* parent)
    : QObject(parent) {
    const bool trayIconOverDBus = item.isWatcherPresent();
    strip.setTrayIconShown(!trayIconOverDBus);
    connect(&item, &StatusNotifierItem::registeredChanged, this,
            [&strip, trayIconOverDBus](bool registered) {
                strip.setTrayIconShown(!registered && !trayIconOverDBus);
            });
}
