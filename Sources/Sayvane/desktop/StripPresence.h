#pragma once

#include "StripChoice.h"
#include "TickerStatus.h"

#include <QObject>
#include <QPointer>

#include <functional>

class StatusItem;
class StatusNotifierHosts;
class StatusNotifierItem;

// Keeps the strip on the screen or off it, as the "Strip" setting and the session decide
// (StripChoice), and decides again whenever panels, their hosts, the program's item or its panel
// widget come and go.
class StripPresence : public QObject {
    Q_OBJECT

public:
    // `item` and `hosts` may be null (no session bus). `labelShown`: whether the label is on at
    // all (not "off"). `windowManager` gives the window manager's name when asked.
    StripPresence(StatusItem& statusItem, StripSetting setting, bool labelShown,
                  StatusNotifierItem* item, StatusNotifierHosts* hosts,
                  std::function<QString()> windowManager, QObject* parent = nullptr);

    // The program's own panel widget shows the ticker, or no longer does.
    void setWidgetInPanel(bool shown);
    // The "Strip" setting, and whether the label is on at all, as they change.
    void setSetting(StripSetting setting);
    void setLabelShown(bool shown);
    // What the last decision was made from.
    StripChoice::Situation situation() const;
    // Where the ticker shows now, and whether the menu can be reached without the strip.
    TickerPlaces places() const;

Q_SIGNALS:
    // After every decision, whether or not it changed anything.
    void decided();

private:
    void decide();

    StatusItem& statusItem;
    StripSetting setting;
    bool labelShown;
    QPointer<StatusNotifierItem> item;
    QPointer<StatusNotifierHosts> hosts;
    std::function<QString()> windowManager;
    bool widgetInPanel = false;
};
