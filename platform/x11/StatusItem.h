#pragma once

#include "StripPlacement.h"
#include "StrutWatch.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

#include <QScreen>
class QSystemTrayIcon;

// The button of a status item: the widget that hosts what the item shows. Its title, empty in
// this program, is drawn under whatever it hosts. A press with the left or the right mouse
// button drops down the item's menu.
class StatusBarButton : public QWidget {
    Q_OBJECT

public:
    explicit StatusBarButton(QWidget* parent = nullptr);

    QString title() const { return titleText; }
    void setTitle(const QString& title);
    // As a press of a mouse button does; for assistive technologies, which press it by name.
    void press() { Q_EMIT pressed(); }

    // What the button is filled with: the colour of the panel above it, transparent where a
    // compositing manager shows the desktop through, or (given an invalid colour) the window
    // colour of the palette, which follows the desktop's theme.
    QColor background() const;
    void setBackground(const QColor& color);

Q_SIGNALS:
    void pressed();
    void backgroundChanged(const QColor& color);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString titleText;
    QColor backgroundColor;
};

// An item of the menu bar, on a Linux desktop: a strip of its own, `length` pixels wide and a
// bar high, at the top right corner of a screen's free area (below a top panel, left of a right
// one), on every workspace, out of the task bar and never taking the keyboard focus (on X11 a
// dock window, title "Sayvane", class "sayvane", stacked by the window manager as docks are, so
// that a focused fullscreen window goes above it). It reserves its own span of the top edge, so
// that maximised windows start below it. It goes on the screen the user chose, else on the
// screen with a top panel, else on the primary screen, and moves when screens come and go.
// Its menu drops down below the strip; an icon in the system tray carries the same menu, also
// when the tray appears after the item.
class StatusItem : public QObject {
    Q_OBJECT

public:
    // The strip's height until it is given another.
    static constexpr int barHeight = 24;

    // `shown`: whether the strip goes on the screen at once. An owner that decides later passes
    // false, so that a strip to be kept away is never mapped: a window mapped and withdrawn at
    // once while the window manager is busy starting (GNOME Shell's) may stay on the screen.
    explicit StatusItem(int length, bool shown = true, QObject* parent = nullptr);
    ~StatusItem() override;

    int length() const { return itemLength; }
    int height() const { return stripHeight; }
    // The strip's size; it is placed again, and its reservation follows.
    void setSize(int length, int height);
    // Where on the free span of the top edge the strip sits: Qt::AlignRight (until told
    // otherwise), Qt::AlignHCenter or Qt::AlignLeft.
    void setAlignment(Qt::Alignment alignment);
    Qt::Alignment alignment() const { return stripAlignment; }
    StatusBarButton* button() const { return statusButton; }
    QWidget* strip() const { return stripWindow.get(); }

    QMenu* menu() const { return statusMenu; }
    // The item owns the menu; the previous one goes once it is no longer in use.
    void setMenu(QMenu* menu);
    // Drops the menu down just below the strip.
    void popUpMenu();

    // The screen the strip goes on when it is there, by name; empty for the automatic choice.
    QString preferredScreen() const { return preferredScreenName; }
    void setPreferredScreen(const QString& name);
    // The screen the strip is on now.
    QScreen* screen() const { return currentScreen; }
    // Whether the strip is on the screen (it is, unless the owner says otherwise: where the
    // desktop's panel shows the ticker itself). A strip kept away reserves no space.
    bool isStripShown() const { return stripShown; }
    void setStripShown(bool shown);
    QSystemTrayIcon* trayIcon() const { return tray; }
    // Whether the tray icon shows; it does unless the owner says otherwise (when the panel shows
    // an item of the program's own instead).
    void setTrayIconShown(bool shown);

Q_SIGNALS:
    // Screens came or went: a menu that lists them is out of date.
    void screensChanged();

private:
    void watchScreen(QScreen* screen);
    void schedulePlacement();
    void placeStrip();
    void updateBackground();

    int itemLength = 0;
    int stripHeight = barHeight;
    Qt::Alignment stripAlignment = Qt::AlignRight;
    std::unique_ptr<QWidget> stripWindow;
    StatusBarButton* statusButton = nullptr;
    QPointer<QMenu> statusMenu;
    QSystemTrayIcon* tray = nullptr;
    QPointer<QScreen> currentScreen;
    QString preferredScreenName;
    Strut reservedStrut;
    // The first row below the bars that only the work area tells of.
    int barsBottom = 0;
    bool stripShown = true;
    QTimer backgroundTimer;
    // Panels that change their reservation without changing the work area.
    StrutWatch strutWatch;
    bool placementScheduled = false;
    bool translucent = false;
    bool trayWanted = true;
};
