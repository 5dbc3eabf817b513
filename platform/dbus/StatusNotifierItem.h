#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

#include <memory>

class QDBusServiceWatcher;

// One picture of an icon as the status notifier protocol carries it: ARGB32, each pixel in
// network byte order.
struct StatusNotifierPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using StatusNotifierPixmaps = QList<StatusNotifierPixmap>;

// The item's tooltip: an icon (by name or pictures), a title and a text.
struct StatusNotifierToolTip {
    QString iconName;
    StatusNotifierPixmaps pixmaps;
    QString title;
    QString text;
};

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierToolTip& toolTip);

Q_DECLARE_METATYPE(StatusNotifierPixmap)
Q_DECLARE_METATYPE(StatusNotifierToolTip)

// The program's item in a desktop panel, over D-Bus (org.kde.StatusNotifierItem, with the
// Ayatana label that panels show as text beside the icon). It goes on the connection it is given
// as "org.kde.StatusNotifierItem-<pid>-1" at /StatusNotifierItem and registers with the
// panel's watcher (org.kde.StatusNotifierWatcher) when there is one, and again whenever one
// appears. Clicks and scrolls in the panel come out as signals.
//
// Written with QtDBus by hand because Qt's own tray icon, which may export such an item, has no
// label.
class StatusNotifierItem : public QObject {
    Q_OBJECT

public:
    static constexpr auto watcherService = "org.kde.StatusNotifierWatcher";
    static constexpr auto objectPath = "/StatusNotifierItem";
    // Where the menu is exported on the same connection (com.canonical.dbusmenu).
    static constexpr auto menuPath = "/MenuBar";

    // Whether the item has the Ayatana label at all. An item without one has no label
    // properties: MATE's Notification Area makes a button of an item's label and icon, and GTK
    // hides the icon of a button with a label, even an empty one, unless the desktop shows
    // icons on buttons.
    enum class Labelling { labelled, iconOnly };

    explicit StatusNotifierItem(QDBusConnection bus, Labelling labelling = Labelling::labelled,
                                QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    QString serviceName() const { return service; }
    Labelling labelling() const { return labelKind; }
    // Shows the item with a label or without one from now on: the item leaves the panel and
    // comes back, as hosts read whether it has a label only when an item comes.
    void setLabelling(Labelling labelling);
    // Whether the item is on the bus under its name.
    bool isExported() const { return exported; }
    // Whether the panel's watcher took the registration; false while there is no watcher.
    bool isRegistered() const { return registered; }
    // Whether a watcher is on the bus, registration taken or not (yet).
    bool isWatcherPresent() const { return watcherPresent; }

    void setLabel(const QString& label, const QString& guide);
    QString label() const { return labelText; }
    QString labelGuide() const { return guideText; }
    void setToolTipText(const QString& text);
    QString toolTipText() const { return toolTipBody; }

    // What the properties carry.
    static QString iconName();
    StatusNotifierPixmaps iconPixmaps() const { return pixmaps; }
    // Where panels look for the named icon besides the icon theme: empty when the icon is
    // installed in the theme, else a folder of the user's runtime folder holding it.
    QString iconThemePath() const { return themePath; }
    // Empty when the icon is installed; else the folder, with the icon written into it.
    static QString themePathFor(const QString& folder);
    StatusNotifierToolTip toolTip() const;
    // The menu's path while a menu is exported there, else "/NO_DBUSMENU".
    QString menuObjectPath() const;

    // What the panel asked for: the item's own actions, with the point on the screen.
    void activate(int x, int y) { Q_EMIT activated(QPoint(x, y)); }
    void secondaryActivate(int x, int y) { Q_EMIT secondaryActivated(QPoint(x, y)); }
    void contextMenu(int x, int y) { Q_EMIT contextMenuRequested(QPoint(x, y)); }
    void scroll(int delta, const QString& orientation);

Q_SIGNALS:
    // After each answer of a watcher, and when the watcher goes.
    void registeredChanged(bool registered);
    void activated(QPoint position);
    void secondaryActivated(QPoint position);
    void contextMenuRequested(QPoint position);
    // One notch of the wheel: +1 towards the next quote, -1 back.
    void scrolled(int steps);

    // The protocol's change signals, relayed on the bus.
    void newLabel(const QString& label, const QString& guide);
    void newToolTip();

private Q_SLOTS:
    // The watcher's own word that an item came (GNOME's also takes items it finds on the bus).
    void watcherRegisteredItem(const QString& name);

private:
    void registerWithWatcher();
    void setRegistered(bool value);
    // Asks whether the watcher lists this item among those it shows; registered if so, else
    // tried again a little later.
    void askWatcherList();
    // Puts the item on the bus at its path with the adaptors of the kind of labelling.
    bool showFace(Labelling labelling);

    QDBusConnection bus;
    QString service;
    std::unique_ptr<QDBusServiceWatcher> watcher;
    QObject* face = nullptr;
    Labelling labelKind = Labelling::labelled;
    StatusNotifierPixmaps pixmaps;
    QString themePath;
    QString labelText;
    QString guideText;
    QString toolTipBody;
    bool exported = false;
    bool registered = false;
    bool watcherPresent = false;
    // Registrations refused by a watcher still starting up, tried again a second later.
    int retries = 0;
    // Registrations sent and not answered yet.
    int registrationsPending = 0;
};
