#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

class QScreen;
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

Q_SIGNALS:
    void pressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString titleText;
};

// An item of the menu bar, on a Linux desktop: a strip of its own at the top right corner of
// the primary screen, `length` pixels wide and a bar high, above other windows, on every
// workspace, out of the task bar and never taking the keyboard focus (on X11 a dock window,
// title "Sayvane", class "sayvane"). Its menu drops down below the strip; where the desktop has
// a system tray, an icon there carries the same menu.
class StatusItem : public QObject {
    Q_OBJECT

public:
    static constexpr int barHeight = 24;

    explicit StatusItem(int length, QObject* parent = nullptr);
    ~StatusItem() override;

    int length() const { return itemLength; }
    StatusBarButton* button() const { return statusButton; }
    QWidget* strip() const { return stripWindow.get(); }

    QMenu* menu() const { return statusMenu; }
    // The item owns the menu; the previous one goes once it is no longer in use.
    void setMenu(QMenu* menu);
    // Drops the menu down just below the strip.
    void popUpMenu();

private:
    void placeStrip();
    void followPrimaryScreen(QScreen* screen);

    int itemLength = 0;
    std::unique_ptr<QWidget> stripWindow;
    StatusBarButton* statusButton = nullptr;
    QPointer<QMenu> statusMenu;
    QSystemTrayIcon* trayIcon = nullptr;
    QMetaObject::Connection screenConnection;
};
