#include "DBusMenuExporter.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QHash>
#include <QMetaObject>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

// Qt exports the menus of its own tray icons over this protocol, but through private classes
// that a program cannot reuse: the types and the adaptor are written out here.

// An item of the layout with the items under it, (ia{sv}av): each child is a variant holding
// another such item.
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// An item's properties, (ia{sv}).
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};

// The names of properties an item no longer has, (ias).
struct DBusMenuItemKeys {
    int id = 0;
    QStringList names;
};

// One event of EventGroup, (isvu).
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    // Not empty: Qt works out the signature from a default value, and cannot send an empty
    // variant.
    QDBusVariant data{QVariant(0)};
    uint timestamp = 0;
};

// A shortcut's key combinations, aas, only ever inside a property's variant. The methods and
// signals below spell their types out in full instead of by alias: QtDBus finds them by the names
// moc keeps, and an alias's name is not registered.
using DBusMenuShortcut = QList<QStringList>;

Q_DECLARE_METATYPE(DBusMenuLayoutItem)
Q_DECLARE_METATYPE(DBusMenuItem)
Q_DECLARE_METATYPE(DBusMenuItemKeys)
Q_DECLARE_METATYPE(DBusMenuEvent)

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item) {
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayoutItem& child : item.children)
        argument << QDBusVariant(QVariant::fromValue(child));
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item) {
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.beginArray();
    item.children.clear();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        DBusMenuLayoutItem childItem;
        child.variant().value<QDBusArgument>() >> childItem;
        item.children.append(childItem);
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item) {
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item) {
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemKeys& keys) {
    argument.beginStructure();
    argument << keys.id << keys.names;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemKeys& keys) {
    argument.beginStructure();
    argument >> keys.id >> keys.names;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event) {
    argument.beginStructure();
    argument << event.id << event.eventId << event.data << event.timestamp;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event) {
    argument.beginStructure();
    argument >> event.id >> event.eventId >> event.data >> event.timestamp;
    argument.endStructure();
    return argument;
}

namespace {

void registerTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<DBusMenuLayoutItem>();
        qDBusRegisterMetaType<DBusMenuItem>();
        qDBusRegisterMetaType<QList<DBusMenuItem>>();
        qDBusRegisterMetaType<DBusMenuItemKeys>();
        qDBusRegisterMetaType<QList<DBusMenuItemKeys>>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<QList<DBusMenuEvent>>();
        qDBusRegisterMetaType<DBusMenuShortcut>();
        return true;
    }();
    Q_UNUSED(registered);
}

// The value of a property an item leaves out.
QVariant defaultValue(const QString& name) {
    static const QVariantMap defaults = {
        {u"type"_s, u"standard"_s},
        {u"label"_s, QString()},
        {u"enabled"_s, true},
        {u"visible"_s, true},
        {u"icon-name"_s, QString()},
        {u"icon-data"_s, QByteArray()},
        {u"shortcut"_s, QVariant::fromValue(DBusMenuShortcut())},
        {u"toggle-type"_s, QString()},
        {u"toggle-state"_s, -1},
        {u"children-display"_s, QString()},
        {u"disposition"_s, u"normal"_s},
    };
    return defaults.value(name);
}

// A shortcut as a list of key combinations, each the names of its modifiers and then its key,
// as hosts parse them: [["Control", "e"]].
DBusMenuShortcut shortcutNames(const QKeySequence& sequence) {
    DBusMenuShortcut combinations;
    for (int i = 0; i < sequence.count(); ++i) {
        const QKeyCombination combination = sequence[static_cast<uint>(i)];
        const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
        QStringList names;
        if (modifiers & Qt::ControlModifier)
            names << u"Control"_s;
        if (modifiers & Qt::AltModifier)
            names << u"Alt"_s;
        if (modifiers & Qt::ShiftModifier)
            names << u"Shift"_s;
        if (modifiers & Qt::MetaModifier)
            names << u"Super"_s;
        QString key = QKeySequence(combination.key()).toString(QKeySequence::PortableText);
        // Letters go by their lower-case key names; Shift is named on its own.
        if (key.size() == 1)
            key = key.toLower();
        names << key;
        combinations << names;
    }
    return combinations;
}

QVariantMap filtered(const QVariantMap& properties, const QStringList& names) {
    if (names.isEmpty())
        return properties;
    QVariantMap kept;
    for (const QString& name : names) {
        const auto found = properties.constFind(name);
        if (found != properties.cend())
            kept.insert(name, *found);
    }
    return kept;
}

DBusMenuLayoutItem layoutOf(const MenuEntry& entry, int depth, const QStringList& names) {
    DBusMenuLayoutItem item;
    item.id = entry.id;
    item.properties = filtered(DBusMenuExporter::properties(entry), names);
    if (depth != 0) {
        for (const MenuEntry& child : entry.children)
            item.children.append(layoutOf(child, depth < 0 ? depth : depth - 1, names));
    }
    return item;
}

} // namespace

// The com.canonical.dbusmenu interface of the exporter.
// Each method is handed the call's message last, to answer it with an error: QDBusContext would
// have to be a base of the exporter itself, which is the object on the bus.
class DBusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    // clang-format off
    Q_CLASSINFO("D-Bus Introspection",
        "<interface name=\"com.canonical.dbusmenu\">\n"
        "  <property name=\"Version\" type=\"u\" access=\"read\"/>\n"
        "  <property name=\"TextDirection\" type=\"s\" access=\"read\"/>\n"
        "  <property name=\"Status\" type=\"s\" access=\"read\"/>\n"
        "  <property name=\"IconThemePath\" type=\"as\" access=\"read\"/>\n"
        "  <method name=\"GetLayout\">\n"
        "    <arg type=\"i\" name=\"parentId\" direction=\"in\"/>\n"
        "    <arg type=\"i\" name=\"recursionDepth\" direction=\"in\"/>\n"
        "    <arg type=\"as\" name=\"propertyNames\" direction=\"in\"/>\n"
        "    <arg type=\"u\" name=\"revision\" direction=\"out\"/>\n"
        "    <arg type=\"(ia{sv}av)\" name=\"layout\" direction=\"out\"/>\n"
        "  </method>\n"
        "  <method name=\"GetGroupProperties\">\n"
        "    <arg type=\"ai\" name=\"ids\" direction=\"in\"/>\n"
        "    <arg type=\"as\" name=\"propertyNames\" direction=\"in\"/>\n"
        "    <arg type=\"a(ia{sv})\" name=\"properties\" direction=\"out\"/>\n"
        "  </method>\n"
        "  <method name=\"GetProperty\">\n"
        "    <arg type=\"i\" name=\"id\" direction=\"in\"/>\n"
        "    <arg type=\"s\" name=\"name\" direction=\"in\"/>\n"
        "    <arg type=\"v\" name=\"value\" direction=\"out\"/>\n"
        "  </method>\n"
        "  <method name=\"Event\">\n"
        "    <arg type=\"i\" name=\"id\" direction=\"in\"/>\n"
        "    <arg type=\"s\" name=\"eventId\" direction=\"in\"/>\n"
        "    <arg type=\"v\" name=\"data\" direction=\"in\"/>\n"
        "    <arg type=\"u\" name=\"timestamp\" direction=\"in\"/>\n"
        "  </method>\n"
        "  <method name=\"EventGroup\">\n"
        "    <arg type=\"a(isvu)\" name=\"events\" direction=\"in\"/>\n"
        "    <arg type=\"ai\" name=\"idErrors\" direction=\"out\"/>\n"
        "  </method>\n"
        "  <method name=\"AboutToShow\">\n"
        "    <arg type=\"i\" name=\"id\" direction=\"in\"/>\n"
        "    <arg type=\"b\" name=\"needUpdate\" direction=\"out\"/>\n"
        "  </method>\n"
        "  <method name=\"AboutToShowGroup\">\n"
        "    <arg type=\"ai\" name=\"ids\" direction=\"in\"/>\n"
        "    <arg type=\"ai\" name=\"updatesNeeded\" direction=\"out\"/>\n"
        "    <arg type=\"ai\" name=\"idErrors\" direction=\"out\"/>\n"
        "  </method>\n"
        "  <signal name=\"ItemsPropertiesUpdated\">\n"
        "    <arg type=\"a(ia{sv})\" name=\"updatedProps\" direction=\"out\"/>\n"
        "    <arg type=\"a(ias)\" name=\"removedProps\" direction=\"out\"/>\n"
        "  </signal>\n"
        "  <signal name=\"LayoutUpdated\">\n"
        "    <arg type=\"u\" name=\"revision\" direction=\"out\"/>\n"
        "    <arg type=\"i\" name=\"parent\" direction=\"out\"/>\n"
        "  </signal>\n"
        "  <signal name=\"ItemActivationRequested\">\n"
        "    <arg type=\"i\" name=\"id\" direction=\"out\"/>\n"
        "    <arg type=\"u\" name=\"timestamp\" direction=\"out\"/>\n"
        "  </signal>\n"
        "</interface>\n")
    Q_PROPERTY(uint Version READ version CONSTANT)
    Q_PROPERTY(QString TextDirection READ textDirection CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath CONSTANT)
    // clang-format on

public:
    explicit DBusMenuAdaptor(DBusMenuExporter* exporter)
        : QDBusAbstractAdaptor(exporter)
        , exporter(exporter) {}

    uint version() const { return 3; }
    QString textDirection() const {
        return QGuiApplication::layoutDirection() == Qt::RightToLeft ? u"rtl"_s : u"ltr"_s;
    }
    QString status() const { return u"normal"_s; }
    QStringList iconThemePath() const { return {}; }

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   const QDBusMessage& message, DBusMenuLayoutItem& layout) {
        const MenuEntry* parent = entry(parentId, message);
        if (!parent)
            return 0;
        layout = layoutOf(*parent, recursionDepth, propertyNames);
        return exporter->revision();
    }

    QList<DBusMenuItem> GetGroupProperties(const QList<int>& ids,
                                           const QStringList& propertyNames) {
        // Unknown ids are left out, as hosts ask for whole groups at once.
        QList<DBusMenuItem> items;
        for (const int id : ids) {
            if (const MenuEntry* found = exporter->menu().find(id))
                items.append({id, filtered(DBusMenuExporter::properties(*found), propertyNames)});
        }
        return items;
    }

    QDBusVariant GetProperty(int id, const QString& name, const QDBusMessage& message) {
        const MenuEntry* found = entry(id, message);
        if (!found)
            return QDBusVariant(QVariant(0));
        const QVariantMap properties = DBusMenuExporter::properties(*found);
        QVariant value = properties.value(name, defaultValue(name));
        if (!value.isValid()) {
            replyWithError(message, u"No property named "_s + name);
            return QDBusVariant(QVariant(0));
        }
        return QDBusVariant(value);
    }

    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp,
               const QDBusMessage& message) {
        Q_UNUSED(data);
        Q_UNUSED(timestamp);
        if (!entry(id, message))
            return;
        if (eventId == u"clicked"_s)
            exporter->click(id);
    }

    QList<int> EventGroup(const QList<DBusMenuEvent>& events, const QDBusMessage& message) {
        QList<int> idErrors;
        for (const DBusMenuEvent& event : events) {
            if (!exporter->menu().find(event.id))
                idErrors.append(event.id);
            else if (event.eventId == u"clicked"_s)
                exporter->click(event.id);
        }
        if (!events.isEmpty() && idErrors.size() == events.size())
            replyWithError(message, u"None of the items exists"_s);
        return idErrors;
    }

    bool AboutToShow(int id, const QDBusMessage& message) {
        // The menu is always up to date: nothing to fetch again.
        entry(id, message);
        return false;
    }

    QList<int> AboutToShowGroup(const QList<int>& ids, const QDBusMessage& message,
                                QList<int>& idErrors) {
        for (const int id : ids) {
            if (!exporter->menu().find(id))
                idErrors.append(id);
        }
        if (!ids.isEmpty() && idErrors.size() == ids.size())
            replyWithError(message, u"None of the items exists"_s);
        return {};
    }

Q_SIGNALS:
    void ItemsPropertiesUpdated(const QList<DBusMenuItem>& updatedProps,
                                const QList<DBusMenuItemKeys>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    // The entry with this id; for an unknown id, an error is the reply.
    const MenuEntry* entry(int id, const QDBusMessage& message) {
        const MenuEntry* found = exporter->menu().find(id);
        if (!found)
            replyWithError(message, u"No menu item with id %1"_s.arg(id));
        return found;
    }

    // The reply to the call is this error instead of what the method returns.
    void replyWithError(const QDBusMessage& message, const QString& text) {
        message.setDelayedReply(true);
        exporter->connection.send(message.createErrorReply(QDBusError::InvalidArgs, text));
    }

    DBusMenuExporter* exporter;
};

DBusMenuExporter::DBusMenuExporter(const QDBusConnection& connection, const QString& path,
                                   QObject* parent)
    : QObject(parent)
    , connection(connection)
    , objectPath(path) {
    registerTypes();
    adaptor = new DBusMenuAdaptor(this);
    exported = this->connection.isConnected() &&
               this->connection.registerObject(objectPath, this, QDBusConnection::ExportAdaptors);
}

DBusMenuExporter::~DBusMenuExporter() {
    if (exported)
        connection.unregisterObject(objectPath);
}

namespace {

// Every entry of the tree, by id.
void collect(const MenuEntry& entry, QHash<int, const MenuEntry*>& entries) {
    entries.insert(entry.id, &entry);
    for (const MenuEntry& child : entry.children)
        collect(child, entries);
}

} // namespace

void DBusMenuExporter::setMenu(MenuDescription menu) {
    // Hosts that keep their items across a new layout (GNOME's AppIndicator extension reads
    // only the items' types from it) learn of new titles and marks only from the properties
    // signal: it names what changed in every item that keeps its id.
    QHash<int, const MenuEntry*> before;
    collect(description.root(), before);
    QList<DBusMenuItem> changed;
    QList<DBusMenuItemKeys> removed;
    QHash<int, const MenuEntry*> after;
    collect(menu.root(), after);
    for (auto entry = after.cbegin(); entry != after.cend(); ++entry) {
        const MenuEntry* old = before.value(entry.key());
        if (!old || entry.key() == 0)
            continue;
        const QVariantMap was = properties(*old);
        const QVariantMap is = properties(**entry);
        DBusMenuItem item{entry.key(), {}};
        DBusMenuItemKeys gone{entry.key(), {}};
        for (auto property = is.cbegin(); property != is.cend(); ++property) {
            if (was.value(property.key()) != property.value())
                item.properties.insert(property.key(), property.value());
        }
        for (auto property = was.cbegin(); property != was.cend(); ++property) {
            if (!is.contains(property.key()))
                gone.names << property.key();
        }
        if (!item.properties.isEmpty())
            changed << item;
        if (!gone.names.isEmpty())
            removed << gone;
    }
    description = std::move(menu);
    ++layoutRevision;
    if (!changed.isEmpty() || !removed.isEmpty())
        Q_EMIT adaptor->ItemsPropertiesUpdated(changed, removed);
    Q_EMIT adaptor->LayoutUpdated(layoutRevision, 0);
}

bool DBusMenuExporter::updateEntry(const MenuEntry& entry) {
    MenuEntry* target = description.find(entry.id);
    if (!target)
        return false;
    const QVariantMap before = properties(*target);
    std::vector<MenuEntry> children = std::move(target->children);
    *target = entry;
    target->children = std::move(children);
    const QVariantMap after = properties(*target);

    DBusMenuItem changed{entry.id, {}};
    DBusMenuItemKeys removed{entry.id, {}};
    for (auto property = after.cbegin(); property != after.cend(); ++property) {
        if (before.value(property.key()) != property.value())
            changed.properties.insert(property.key(), property.value());
    }
    for (auto property = before.cbegin(); property != before.cend(); ++property) {
        if (!after.contains(property.key()))
            removed.names << property.key();
    }
    if (!changed.properties.isEmpty() || !removed.names.isEmpty()) {
        Q_EMIT adaptor->ItemsPropertiesUpdated(
            changed.properties.isEmpty() ? QList<DBusMenuItem>() : QList<DBusMenuItem>{changed},
            removed.names.isEmpty() ? QList<DBusMenuItemKeys>() : QList<DBusMenuItemKeys>{removed});
    }
    return true;
}

QVariantMap DBusMenuExporter::properties(const MenuEntry& entry) {
    QVariantMap properties;
    if (entry.kind == MenuEntry::Kind::separator) {
        properties.insert(u"type"_s, u"separator"_s);
        return properties;
    }
    if (!entry.title.isEmpty()) {
        // A single underscore marks the next letter as the mnemonic; two show one.
        properties.insert(u"label"_s, QString(entry.title).replace(u'_', u"__"_s));
    }
    if (!entry.enabled)
        properties.insert(u"enabled"_s, false);
    if (entry.kind == MenuEntry::Kind::submenu)
        properties.insert(u"children-display"_s, u"submenu"_s);
    if (entry.checkable) {
        properties.insert(u"toggle-type"_s, entry.exclusive ? u"radio"_s : u"checkmark"_s);
        properties.insert(u"toggle-state"_s, entry.checked ? 1 : 0);
    }
    if (!entry.shortcut.isEmpty())
        properties.insert(u"shortcut"_s, QVariant::fromValue(shortcutNames(entry.shortcut)));
    return properties;
}

bool DBusMenuExporter::click(int id) {
    const MenuEntry* entry = description.find(id);
    if (!entry)
        return false;
    if (entry->kind != MenuEntry::Kind::action || !entry->enabled || !entry->action)
        return true;
    QTimer::singleShot(0, this, [action = entry->action] { action(); });
    return true;
}

#include "DBusMenuExporter.moc"
