#pragma once

#include "StripChoice.h"
#include "TickerStatus.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

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
    // all (not "off"). `windowManager` gives the window manager's name when asked,
    // `buttonImages` whether GTK programs show icons on buttons (ButtonImages::shownNow). The
    // item is given a label or none as StripChoice::itemHasLabel says (unset: icons are shown).
    StripPresence(StatusItem& statusItem, StripSetting setting, bool labelShown,
                  StatusNotifierItem* item, StatusNotifierHosts* hosts,
                  std::function<QString()> windowManager, std::function<bool()> buttonImages = {},
                  QObject* parent = nullptr);

    // The program's own panel widget shows the ticker, or no longer does.
    void setWidgetInPanel(bool shown);
    // The "Strip" setting, and whether the label is on at all, as they change.
    void setSetting(StripSetting setting);
    void setLabelShown(bool shown);
    // What the last decision was made from.
    StripChoice::Situation situation() const;
    // Where the ticker shows now, and whether the menu can be reached without the strip.
    TickerPlaces places() const;

    // How long the strip waits for a panel that shows labels to take the item.
    static constexpr int holdTime = 3000;

Q_SIGNALS:
    // After every decision, whether or not it changed anything.
    void decided();

private:
    void decide();
    // A panel that shows labels is there and has not taken the item yet.
    bool awaitingPanel() const;

    StatusItem& statusItem;
    StripSetting setting;
    bool labelShown;
    QPointer<StatusNotifierItem> item;
    QPointer<StatusNotifierHosts> hosts;
    std::function<QString()> windowManager;
    std::function<bool()> buttonImages;
    bool widgetInPanel = false;
    QTimer hold;
    // The wait for the panel is over, and the panel has not taken the item.
    bool waitedEnough = false;
};
