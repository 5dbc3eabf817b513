#pragma once

#include "MenuDescription.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

class DBusMenuAdaptor;

// Shows a menu description to the desktop over D-Bus, as the com.canonical.dbusmenu interface
// that status notifier hosts (panels, the AppIndicator extension) read a tray item's menu
// through, on the connection and at the object path it is given. Hosts fetch the layout and
// the items' properties, and send events; a click on an item runs its entry's action once the
// call has returned, since the action may well replace the menu.
class DBusMenuExporter : public QObject {
    Q_OBJECT

public:
    DBusMenuExporter(const QDBusConnection& connection, const QString& path,
                     QObject* parent = nullptr);
    ~DBusMenuExporter() override;

    // False when the object could not be put on the bus (not connected, or the path is taken).
    bool isExported() const { return exported; }
    QString path() const { return objectPath; }
    // Goes up by one with every new menu, starting at 1 with the first.
    uint revision() const { return layoutRevision; }
    const MenuDescription& menu() const { return description; }

    // Shows a new menu: the revision goes up and hosts are told to fetch the layout again.
    void setMenu(MenuDescription menu);
    // The entry of the menu with the id of `entry` takes its title, shortcut, check mark and
    // other properties (not its entries); hosts are told which properties changed. False when
    // the menu has no such entry.
    bool updateEntry(const MenuEntry& entry);

    // An entry's properties as the protocol names them, leaving out those at their default
    // value, as the protocol allows.
    static QVariantMap properties(const MenuEntry& entry);

private:
    friend class DBusMenuAdaptor;
    // Runs a click on the entry, later; false for an unknown id.
    bool click(int id);

    QDBusConnection connection;
    QString objectPath;
    DBusMenuAdaptor* adaptor = nullptr;
    MenuDescription description;
    uint layoutRevision = 0;
    bool exported = false;
};
