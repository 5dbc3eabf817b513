// The exported menu as a status notifier host sees it: a connection of its own to a private bus
// that calls the interface with plain messages and reads the replies by hand.

#include "AppDelegate.h"
#include "DBusMenuExporter.h"
#include "Localization.h"
#include "MenuView.h"
#include "PrivateBus.h"
#include "TestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString menuInterface = u"com.canonical.dbusmenu"_s;

struct LayoutNode {
    int id = -1;
    QVariantMap properties;
    QList<LayoutNode> children;
};

LayoutNode readNode(const QDBusArgument& argument) {
    LayoutNode node;
    argument.beginStructure();
    argument >> node.id >> node.properties;
    // A shortcut (aas) comes as an argument still to be read.
    if (node.properties.contains(u"shortcut"_s)) {
        node.properties[u"shortcut"_s] = QVariant::fromValue(qdbus_cast<QList<QStringList>>(
            node.properties.value(u"shortcut"_s).value<QDBusArgument>()));
    }
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        node.children.append(readNode(child.variant().value<QDBusArgument>()));
    }
    argument.endArray();
    argument.endStructure();
    return node;
}

QList<QStringList> shortcutOf(const QVariant& value) {
    return value.value<QList<QStringList>>();
}

// One event of EventGroup, as a host sends it.
struct HostEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data{QVariant(0)};
    uint timestamp = 0;
};

} // namespace

Q_DECLARE_METATYPE(HostEvent)

QDBusArgument& operator<<(QDBusArgument& argument, const HostEvent& event) {
    argument.beginStructure();
    argument << event.id << event.eventId << event.data << event.timestamp;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, HostEvent& event) {
    argument.beginStructure();
    argument >> event.id >> event.eventId >> event.data >> event.timestamp;
    argument.endStructure();
    return argument;
}

// Records the menu's signals as they arrive.
class SignalRecorder : public QObject {
    Q_OBJECT

public:
    QList<QDBusMessage> received;

public Q_SLOTS:
    void record(const QDBusMessage& message) { received.append(message); }
};

namespace {

// A host on a connection of its own, reading the menu of `service` at "/MenuBar".
struct Host {
    Host(PrivateBus& bus, QString service)
        : connection(bus.connect(u"host"_s))
        , service(std::move(service)) {
        qDBusRegisterMetaType<HostEvent>();
        qDBusRegisterMetaType<QList<HostEvent>>();
        for (const QString& name : {u"LayoutUpdated"_s, u"ItemsPropertiesUpdated"_s})
            connection.connect(this->service, u"/MenuBar"_s, menuInterface, name, &recorder,
                               SLOT(record(QDBusMessage)));
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(service, u"/MenuBar"_s, menuInterface, method);
        message.setArguments(arguments);
        // The menu answers on this thread: wait with the event loop running.
        return connection.call(message, QDBus::BlockWithGui, 5000);
    }
    LayoutNode layout(int parent = 0, int depth = -1, const QStringList& names = {},
                      uint* revision = nullptr) {
        const QDBusMessage reply = call(u"GetLayout"_s, {parent, depth, names});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        if (reply.arguments().size() != 2)
            return {};
        if (revision)
            *revision = reply.arguments()[0].toUInt();
        return readNode(reply.arguments()[1].value<QDBusArgument>());
    }
    QDBusMessage click(int id) {
        return call(u"Event"_s,
                    {id, u"clicked"_s, QVariant::fromValue(QDBusVariant(QVariant(0))), 0U});
    }
    QList<QDBusMessage> signalsNamed(const QString& name) const {
        QList<QDBusMessage> found;
        for (const QDBusMessage& message : recorder.received) {
            if (message.member() == name)
                found.append(message);
        }
        return found;
    }

    QDBusConnection connection;
    QString service;
    SignalRecorder recorder;
};

// A menu with one of every kind of entry and property; `clicks` counts the first item's runs.
MenuDescription sampleMenu(const std::shared_ptr<int>& clicks) {
    MenuDescription menu;
    menu.add(MenuEntry::item(
        u"Undo_Redo"_s, [clicks] { ++*clicks; }, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
    MenuEntry off = MenuEntry::item(u"Off"_s, [clicks] { *clicks += 100; });
    off.enabled = false;
    menu.add(std::move(off));
    MenuEntry toggle = MenuEntry::item(u"Switch"_s, [] {});
    toggle.checkable = true;
    toggle.checked = true;
    menu.add(std::move(toggle));
    menu.add(MenuEntry::separator());
    MenuEntry choice = MenuEntry::item(
        u"One"_s, [] {}, QKeySequence(u"F5, Alt+Meta+X"_s));
    choice.checkable = true;
    choice.exclusive = true;
    menu.add(MenuEntry::submenu(u"Choose"_s, {choice}));
    return menu;
}

struct ExporterOnBus {
    PrivateBus bus;
    QDBusConnection program = bus.connect(u"program"_s);
    std::shared_ptr<int> clicks = std::make_shared<int>(0);
    std::unique_ptr<DBusMenuExporter> exporter;
    std::unique_ptr<Host> host;

    ExporterOnBus() {
        if (!bus.isRunning())
            return;
        exporter = std::make_unique<DBusMenuExporter>(program, u"/MenuBar"_s);
        exporter->setMenu(sampleMenu(clicks));
        host = std::make_unique<Host>(bus, program.baseService());
    }
};

} // namespace

TEST(DBusMenuExporter, TheLayoutCarriesEveryEntryWithItsPropertiesAsTheProtocolNamesThem) {
    ExporterOnBus on;
    ASSERT_TRUE(on.bus.isRunning()) << on.bus.error().toStdString();
    ASSERT_TRUE(on.exporter->isExported());
    uint revision = 0;
    const LayoutNode root = on.host->layout(0, -1, {}, &revision);
    EXPECT_EQ(revision, 1U);
    EXPECT_EQ(root.id, 0);
    EXPECT_EQ(root.properties, (QVariantMap{{u"children-display"_s, u"submenu"_s}}));
    ASSERT_EQ(root.children.size(), 5);

    const LayoutNode& first = root.children[0];
    EXPECT_EQ(first.id, 1);
    EXPECT_EQ(first.properties.value(u"label"_s), u"Undo__Redo"_s) << "no mnemonic";
    EXPECT_EQ(shortcutOf(first.properties.value(u"shortcut"_s)),
              (QList<QStringList>{{u"Control"_s, u"Shift"_s, u"z"_s}}));
    EXPECT_EQ(first.properties.size(), 2) << "nothing at its default value";
    EXPECT_EQ(root.children[1].properties,
              (QVariantMap{{u"label"_s, u"Off"_s}, {u"enabled"_s, false}}));
    EXPECT_EQ(root.children[2].properties, (QVariantMap{{u"label"_s, u"Switch"_s},
                                                        {u"toggle-type"_s, u"checkmark"_s},
                                                        {u"toggle-state"_s, 1}}));
    EXPECT_EQ(root.children[3].properties, (QVariantMap{{u"type"_s, u"separator"_s}}));
    const LayoutNode& submenu = root.children[4];
    EXPECT_EQ(submenu.properties,
              (QVariantMap{{u"label"_s, u"Choose"_s}, {u"children-display"_s, u"submenu"_s}}));
    ASSERT_EQ(submenu.children.size(), 1);
    const LayoutNode& choice = submenu.children[0];
    EXPECT_EQ(choice.id, 6);
    EXPECT_EQ(choice.properties.value(u"toggle-type"_s), u"radio"_s);
    EXPECT_EQ(choice.properties.value(u"toggle-state"_s), 0) << "off is said, not left out";
    EXPECT_EQ(shortcutOf(choice.properties.value(u"shortcut"_s)),
              (QList<QStringList>{{u"F5"_s}, {u"Alt"_s, u"Super"_s, u"x"_s}}));

    // Part of the tree, with some of the properties.
    const LayoutNode shallow = on.host->layout(0, 1, {u"label"_s});
    ASSERT_EQ(shallow.children.size(), 5);
    EXPECT_TRUE(shallow.properties.isEmpty());
    EXPECT_TRUE(shallow.children[4].children.isEmpty()) << "one level down only";
    EXPECT_EQ(shallow.children[4].properties, (QVariantMap{{u"label"_s, u"Choose"_s}}));
    const LayoutNode alone = on.host->layout(5, 0);
    EXPECT_EQ(alone.id, 5);
    EXPECT_TRUE(alone.children.isEmpty());
}

TEST(DBusMenuExporter, PropertiesOneAtATimeAndInGroups) {
    ExporterOnBus on;
    ASSERT_TRUE(on.bus.isRunning()) << on.bus.error().toStdString();
    auto property = [&on](int id, const QString& name) {
        const QDBusMessage reply = on.host->call(u"GetProperty"_s, {id, name});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    };
    EXPECT_EQ(property(3, u"toggle-state"_s), 1);
    EXPECT_EQ(property(2, u"enabled"_s), false);
    EXPECT_EQ(property(1, u"enabled"_s), true) << "a default value is still an answer";
    EXPECT_EQ(property(1, u"type"_s), u"standard"_s);

    const QDBusMessage reply =
        on.host->call(u"GetGroupProperties"_s, {QVariant::fromValue(QList<int>{3, 99, 1}),
                                                QStringList{u"label"_s, u"enabled"_s}});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    const QDBusArgument items = reply.arguments()[0].value<QDBusArgument>();
    QList<int> ids;
    QList<QVariantMap> properties;
    items.beginArray();
    while (!items.atEnd()) {
        int id = 0;
        QVariantMap map;
        items.beginStructure();
        items >> id >> map;
        items.endStructure();
        ids << id;
        properties << map;
    }
    items.endArray();
    EXPECT_EQ(ids, (QList<int>{3, 1})) << "an id that is not there is left out";
    EXPECT_EQ(properties[0], (QVariantMap{{u"label"_s, u"Switch"_s}}));
    EXPECT_EQ(properties[1], (QVariantMap{{u"label"_s, u"Undo__Redo"_s}}));
}

TEST(DBusMenuExporter, UnknownItemsAndPropertiesAreErrorsNotCrashes) {
    ExporterOnBus on;
    ASSERT_TRUE(on.bus.isRunning()) << on.bus.error().toStdString();
    const QVariant noData = QVariant::fromValue(QDBusVariant(QVariant(0)));
    const QList<QPair<QString, QVariantList>> calls = {
        {u"GetLayout"_s, {99, -1, QStringList()}},
        {u"GetProperty"_s, {99, u"label"_s}},
        {u"GetProperty"_s, {1, u"no-such-property"_s}},
        {u"Event"_s, {-5, u"clicked"_s, noData, 0U}},
        {u"AboutToShow"_s, {99}},
        {u"AboutToShowGroup"_s, {QVariant::fromValue(QList<int>{98, 99})}},
        {u"EventGroup"_s, {QVariant::fromValue(QList<HostEvent>{{98, u"clicked"_s}})}},
    };
    for (const auto& [method, arguments] : calls) {
        const QDBusMessage reply = on.host->call(method, arguments);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << method.toStdString();
        EXPECT_EQ(reply.errorName(), u"org.freedesktop.DBus.Error.InvalidArgs"_s)
            << method.toStdString() << ": " << reply.errorMessage().toStdString();
    }

    // Groups with some good ids answer for those and name the others.
    QDBusMessage reply = on.host->call(
        u"EventGroup"_s,
        {QVariant::fromValue(QList<HostEvent>{{1, u"clicked"_s}, {77, u"clicked"_s}})});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(qdbus_cast<QList<int>>(reply.arguments()[0]), QList<int>{77});
    reply = on.host->call(u"AboutToShowGroup"_s, {QVariant::fromValue(QList<int>{0, 5, 77})});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(qdbus_cast<QList<int>>(reply.arguments()[1]), QList<int>{77});
    reply = on.host->call(u"AboutToShow"_s, {5});
    EXPECT_EQ(reply.arguments().value(0), QVariant(false)) << "the layout is always current";

    QTest::qWait(50);
    EXPECT_EQ(*on.clicks, 1) << "the good click of the group ran";
}

TEST(DBusMenuExporter, AClickRunsItsActionOnceEvenWhenTheActionReplacesTheMenu) {
    ExporterOnBus on;
    ASSERT_TRUE(on.bus.isRunning()) << on.bus.error().toStdString();
    // The action's own entry goes with the menu it replaces while it runs.
    MenuDescription replacing;
    DBusMenuExporter* exporter = on.exporter.get();
    const std::shared_ptr<int> clicks = on.clicks;
    replacing.add(MenuEntry::item(u"Replace"_s, [exporter, clicks] {
        ++*clicks;
        exporter->setMenu(sampleMenu(clicks));
    }));
    on.exporter->setMenu(std::move(replacing));

    EXPECT_EQ(on.host->click(1).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(QTest::qWaitFor([&] { return on.exporter->revision() == 3; }, 2000));
    EXPECT_EQ(*on.clicks, 1);

    // Events other than a click, and clicks on what has no action, run nothing.
    const QVariant noData = QVariant::fromValue(QDBusVariant(QVariant(0)));
    EXPECT_EQ(on.host->call(u"Event"_s, {1, u"hovered"_s, noData, 0U}).type(),
              QDBusMessage::ReplyMessage);
    for (const int id : {0, 2, 4, 5})
        EXPECT_EQ(on.host->click(id).type(), QDBusMessage::ReplyMessage) << id;
    QTest::qWait(50);
    EXPECT_EQ(*on.clicks, 1) << "nor does the disabled item";
}

TEST(DBusMenuExporter, HostsHearOfEveryNewMenuAndOfChangedItems) {
    ExporterOnBus on;
    ASSERT_TRUE(on.bus.isRunning()) << on.bus.error().toStdString();
    on.host->layout(); // the host's match rules are in place once a call has gone through

    on.exporter->setMenu(sampleMenu(on.clicks));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !on.host->signalsNamed(u"LayoutUpdated"_s).isEmpty(); }, 5000));
    const QDBusMessage layoutUpdated = on.host->signalsNamed(u"LayoutUpdated"_s).first();
    EXPECT_EQ(layoutUpdated.arguments(), (QVariantList{2U, 0}));

    MenuEntry toggle = *on.exporter->menu().find(3);
    toggle.checked = false;
    toggle.title = u"Switched"_s;
    toggle.shortcut = QKeySequence(u"Ctrl+S"_s);
    EXPECT_TRUE(on.exporter->updateEntry(toggle));
    MenuEntry submenu = *on.exporter->menu().find(5);
    submenu.children.clear();
    submenu.enabled = false;
    EXPECT_TRUE(on.exporter->updateEntry(submenu));
    MenuEntry unknown;
    unknown.id = 42;
    EXPECT_FALSE(on.exporter->updateEntry(unknown));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return on.host->signalsNamed(u"ItemsPropertiesUpdated"_s).size() == 2; }, 5000));
    const QList<QDBusMessage> updates = on.host->signalsNamed(u"ItemsPropertiesUpdated"_s);
    const QDBusArgument changed = updates[0].arguments()[0].value<QDBusArgument>();
    changed.beginArray();
    int id = 0;
    QVariantMap properties;
    changed.beginStructure();
    changed >> id >> properties;
    changed.endStructure();
    EXPECT_TRUE(changed.atEnd());
    changed.endArray();
    EXPECT_EQ(id, 3);
    EXPECT_EQ(properties.keys(), (QStringList{u"label"_s, u"shortcut"_s, u"toggle-state"_s}))
        << "only what changed";
    EXPECT_EQ(properties.value(u"toggle-state"_s), 0);
    EXPECT_EQ(on.host->layout(5).children.size(), 1) << "an update keeps the entries under it";
    EXPECT_EQ(on.host->layout(5).properties.value(u"enabled"_s), false);
    EXPECT_EQ(on.exporter->revision(), 2U) << "changed items are no new layout";
}

// The program's own status menu, driven from the bus.
namespace {

struct ProgramOnBus {
    PrivateBus bus;
    TempHome home;
    ManualTiming manual;
    QDBusConnection connection = bus.connect(u"program"_s);
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<Host> host;

    ProgramOnBus() {
        LocalizationManager::shared().currentLanguage = AppLanguage::english;
        runMainQueue();
        if (!bus.isRunning())
            return;
        AppEnvironment environment{
            home.path(),
            std::make_shared<XdgAutostartService>(home.path() + u"/autostart"_s,
                                                  QCoreApplication::applicationFilePath()),
            manual.timing()};
        environment.bus = connection;
        delegate = std::make_unique<AppDelegate>(std::move(environment));
        delegate->applicationDidFinishLaunching();
        runMainQueue();
        host = std::make_unique<Host>(bus, connection.baseService());
    }

    MarqueeView* marquee() const {
        return delegate->statusItem->button()->findChild<MarqueeView*>();
    }
};

// The id of the first item with this label, at any depth; -1 when there is none.
int idOfLabel(const LayoutNode& node, const QString& label) {
    if (node.properties.value(u"label"_s) == label)
        return node.id;
    for (const LayoutNode& child : node.children) {
        if (const int id = idOfLabel(child, label); id >= 0)
            return id;
    }
    return -1;
}

void expectSameMenu(const LayoutNode& node, const MenuEntry& entry, const QMenu* view) {
    EXPECT_EQ(node.id, entry.id);
    EXPECT_EQ(node.properties, DBusMenuExporter::properties(entry)) << entry.id;
    if (entry.id != 0) {
        const QAction* item = findMenuItem(view, entry.id);
        ASSERT_TRUE(item) << entry.id;
        EXPECT_EQ(item->text(), entry.title);
        EXPECT_EQ(item->isChecked(), entry.checked) << entry.id;
    }
    ASSERT_EQ(node.children.size(), qsizetype(entry.children.size())) << entry.id;
    for (qsizetype i = 0; i < node.children.size(); ++i)
        expectSameMenu(node.children[i], entry.children[size_t(i)], view);
}

} // namespace

TEST(DBusMenuExporter, AHostSeesTheStatusMenuAndItsClicksActInTheProgram) {
    ProgramOnBus program;
    ASSERT_TRUE(program.bus.isRunning()) << program.bus.error().toStdString();
    ASSERT_TRUE(program.delegate->menuExporter());
    uint firstRevision = 0;
    LayoutNode layout = program.host->layout(0, -1, {}, &firstRevision);
    expectSameMenu(layout, program.delegate->statusMenu().root(),
                   program.delegate->statusItem->menu());
    EXPECT_EQ(idOfLabel(layout, u"Quit"_s), program.delegate->statusMenu().lastId());

    // Reload Quotes reads the file again.
    writeBytes(program.home.quotesFile(), R"({"quotes": ["From the bus"]})");
    EXPECT_EQ(program.host->click(idOfLabel(layout, u"Reload Quotes"_s)).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return program.marquee()->text().startsWith(u"From the bus  "_s); }, 5000));

    // Launch at Login writes the autostart entry; its mark changes in place everywhere.
    const int launchAtLogin = idOfLabel(layout, u"Launch at Login"_s);
    program.host->click(launchAtLogin);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !program.host->signalsNamed(u"ItemsPropertiesUpdated"_s).isEmpty(); }, 5000));
    EXPECT_TRUE(QFile::exists(program.home.path() + u"/autostart/sayvane.desktop"_s));
    EXPECT_TRUE(findMenuItem(program.delegate->statusItem->menu(), launchAtLogin)->isChecked());
    EXPECT_EQ(program.host->layout(launchAtLogin).properties.value(u"toggle-state"_s), 1);

    // A language: the menu is rebuilt in it, with the same ids, and hosts are told.
    program.host->click(idOfLabel(layout, u"Tiếng Việt"_s));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !program.host->signalsNamed(u"LayoutUpdated"_s).isEmpty(); }, 5000));
    runMainQueue();
    EXPECT_EQ(LocalizationManager::shared().currentLanguage.get(), AppLanguage::vietnamese);
    const QDBusMessage updated = program.host->signalsNamed(u"LayoutUpdated"_s).last();
    EXPECT_GT(updated.arguments().value(0).toUInt(), firstRevision);
    EXPECT_EQ(updated.arguments().value(1), 0);
    uint revision = 0;
    const LayoutNode vietnamese = program.host->layout(0, -1, {}, &revision);
    EXPECT_EQ(revision, updated.arguments().value(0).toUInt());
    expectSameMenu(vietnamese, program.delegate->statusMenu().root(),
                   program.delegate->statusItem->menu());
    EXPECT_EQ(idOfLabel(vietnamese, u"Tải lại"_s), idOfLabel(layout, u"Reload Quotes"_s));
    EXPECT_EQ(program.host->layout(idOfLabel(vietnamese, u"Tiếng Việt"_s))
                  .properties.value(u"toggle-state"_s),
              1);
    EXPECT_EQ(program.host->layout(launchAtLogin).properties.value(u"toggle-state"_s), 1)
        << "rebuilt from the service";
}

TEST(DBusMenuExporter, WithoutABusOrWithThePathTakenTheProgramRunsWithItsQtMenuOnly) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
    TempHome home;
    {
        AppEnvironment environment{home.path()};
        environment.bus = QDBusConnection(u"never connected"_s);
        AppDelegate delegate(std::move(environment));
        delegate.applicationDidFinishLaunching();
        EXPECT_EQ(delegate.menuExporter(), nullptr);
        EXPECT_EQ(delegate.statusItem->menu()->actions().size(), 7);
    }
    QDBusConnection connection = bus.connect(u"program"_s);
    QObject squatter;
    ASSERT_TRUE(connection.registerObject(u"/MenuBar"_s, &squatter));
    AppEnvironment environment{home.path()};
    environment.bus = connection;
    AppDelegate delegate(std::move(environment));
    CapturedStdout out;
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(delegate.menuExporter(), nullptr);
    EXPECT_EQ(out.lines(),
              QStringList{u"Failed to export the menu on D-Bus: /MenuBar is in use"_s});
    EXPECT_EQ(delegate.statusItem->menu()->actions().size(), 7);
    connection.unregisterObject(u"/MenuBar"_s);
}

#include "DBusMenuExporterTests.moc"
