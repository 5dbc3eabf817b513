#pragma once

#include <QObject>

class StatusItem;
class StatusNotifierItem;

// The strip's tray icon beside the program's item in a panel. Qt's tray icon goes over D-Bus
// when it finds a status notifier watcher as it is made, and then shows only where the item
// already shows: the item stands in for it for good. Otherwise it is an X11 tray icon, for trays
// without a watcher, shown while no watcher holds the item.
class TrayIconStandIn : public QObject {
    Q_OBJECT

public:
    TrayIconStandIn(StatusItem& strip, StatusNotifierItem& item, QObject* parent = nullptr);
};
