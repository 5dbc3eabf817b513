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
#include <QDBusVariant>
#include <QLabel>
#include <QMenu>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

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
    if (const QVariant keys = node.properties.value(u"shortcut"_s); keys.isValid())
        node.properties[u"shortcut"_s] =
            QVariant::fromValue(qdbus_cast<QList<QStringList>>(keys.value<QDBusArgument>()));
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

// The items and properties that ItemsPropertiesUpdated signals named, the later over the earlier.
QMap<int, QVariantMap> updatedProperties(const QList<QDBusMessage>& signalsHeard) {
    QMap<int, QVariantMap> items;
    for (const QDBusMessage& message : signalsHeard) {
        const QDBusArgument changed = message.arguments().value(0).value<QDBusArgument>();
        changed.beginArray();
        while (!changed.atEnd()) {
            int id = 0;
            QVariantMap properties;
            changed.beginStructure();
            changed >> id >> properties;
            changed.endStructure();
            items[id].insert(properties);
        }
        changed.endArray();
    }
    return items;
}

// A host on a connection of its own, reading the menu at "/MenuBar" of the program's connection.
struct Host {
    Host(PrivateBus& bus, const QDBusConnection& program)
        : connection(bus.connect(u"host"_s))
        , service(program.baseService()) {
        for (const QString& name : {u"LayoutUpdated"_s, u"ItemsPropertiesUpdated"_s})
            recorder.listen(connection, service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, name);
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments) {
        return callAndWait(connection, service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, method,
                           arguments);
    }
    LayoutNode layout(int parent = 0, int depth = -1, const QStringList& names = {},
                      uint* revision = nullptr) {
        const QDBusMessage reply = call(u"GetLayout"_s, {parent, depth, names});
        EXPECT_EQ(reply.arguments().size(), 2) << reply.errorMessage().toStdString();
        if (reply.arguments().size() != 2)
            return {};
        if (revision)
            *revision = reply.arguments()[0].toUInt();
        return readNode(reply.arguments()[1].value<QDBusArgument>());
    }
    QDBusMessage event(int id, const QString& name = u"clicked"_s) {
        return call(u"Event"_s, {id, name, QVariant::fromValue(QDBusVariant(QVariant(0))), 0U});
    }

    QDBusConnection connection;
    QString service;
    BusSignals recorder;
};

// One entry of every kind; `clicks` counts the first item's runs.
MenuDescription sampleMenu(const std::shared_ptr<int>& clicks) {
    MenuDescription menu;
    menu.add(MenuEntry::item(
        u"Undo_Redo"_s, [clicks] { ++*clicks; }, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
    MenuEntry off = MenuEntry::item(u"Off"_s, [clicks] { *clicks += 100; });
    off.enabled = false;
    menu.add(std::move(off));
    MenuEntry toggle = MenuEntry::item(u"Switch"_s, [] {});
    toggle.checkable = toggle.checked = true;
    menu.add(std::move(toggle));
    menu.add(MenuEntry::separator());
    MenuEntry choice = MenuEntry::item(
        u"One"_s, [] {}, QKeySequence(u"F5, Alt+Meta+X"_s));
    choice.checkable = choice.exclusive = true;
    menu.add(MenuEntry::submenu(u"Choose"_s, {choice}));
    return menu;
}

struct ExporterOnBus {
    PrivateBus bus;
    QDBusConnection program = bus.connect(u"program"_s);
    std::shared_ptr<int> clicks = std::make_shared<int>(0);
    DBusMenuExporter exporter{program, u"/MenuBar"_s};
    Host host{bus, program};

    ExporterOnBus() { exporter.setMenu(sampleMenu(clicks)); }
};

} // namespace

TEST(DBusMenuExporter, TheLayoutCarriesEveryEntryAsTheProtocolNamesItAndUnknownIdsAreErrors) {
    ExporterOnBus on;
    ASSERT_TRUE(on.exporter.isExported()) << on.bus.error().toStdString();
    uint revision = 0;
    const LayoutNode root = on.host.layout(0, -1, {}, &revision);
    EXPECT_EQ(revision, 1U);
    EXPECT_EQ(root.properties, (QVariantMap{{u"children-display"_s, u"submenu"_s}}));
    ASSERT_EQ(root.children.size(), 5);
    using Keys = QList<QStringList>;
    EXPECT_EQ(root.children[0].properties,
              (QVariantMap{
                  {u"label"_s, u"Undo__Redo"_s},
                  {u"shortcut"_s, QVariant::fromValue(Keys{{u"Control"_s, u"Shift"_s, u"z"_s}})}}))
        << "an underscore doubled, and nothing at its default value";
    EXPECT_EQ(root.children[1].properties,
              (QVariantMap{{u"label"_s, u"Off"_s}, {u"enabled"_s, false}}));
    EXPECT_EQ(root.children[2].properties, (QVariantMap{{u"label"_s, u"Switch"_s},
                                                        {u"toggle-type"_s, u"checkmark"_s},
                                                        {u"toggle-state"_s, 1}}));
    EXPECT_EQ(root.children[3].properties, (QVariantMap{{u"type"_s, u"separator"_s}}));
    EXPECT_EQ(root.children[4].properties.value(u"children-display"_s), u"submenu"_s);
    ASSERT_EQ(root.children[4].children.size(), 1);
    const LayoutNode& choice = root.children[4].children[0];
    EXPECT_EQ(choice.id, 6);
    EXPECT_EQ(choice.properties,
              (QVariantMap{{u"label"_s, u"One"_s},
                           {u"toggle-type"_s, u"radio"_s},
                           {u"toggle-state"_s, 0},
                           {u"shortcut"_s, QVariant::fromValue(
                                               Keys{{u"F5"_s}, {u"Alt"_s, u"Super"_s, u"x"_s}})}}));

    // Part of the tree, with some of the properties; one property.
    const LayoutNode shallow = on.host.layout(0, 1, {u"label"_s});
    EXPECT_TRUE(shallow.children[4].children.isEmpty()) << "one level down only";
    EXPECT_EQ(shallow.children[4].properties, (QVariantMap{{u"label"_s, u"Choose"_s}}));
    EXPECT_TRUE(on.host.layout(5, 0).children.isEmpty());
    const QDBusMessage enabled = on.host.call(u"GetProperty"_s, {1, u"enabled"_s});
    EXPECT_EQ(enabled.arguments().value(0).value<QDBusVariant>().variant(), QVariant(true))
        << "a default is still an answer";
    EXPECT_EQ(propertyOf(on.host.connection, on.host.service, u"/MenuBar"_s,
                         u"com.canonical.dbusmenu"_s, u"Version"_s),
              QVariant(3U));

    // Unknown items and properties are errors, not crashes.
    const QList<QPair<QString, QVariantList>> calls = {
        {u"GetLayout"_s, {99, -1, QStringList()}},
        {u"GetProperty"_s, {99, u"label"_s}},
        {u"GetProperty"_s, {1, u"no-such-property"_s}},
        {u"Event"_s, {-5, u"clicked"_s, QVariant::fromValue(QDBusVariant(QVariant(0))), 0U}},
        {u"AboutToShow"_s, {99}},
        {u"AboutToShowGroup"_s, {QVariant::fromValue(QList<int>{98, 99})}},
    };
    for (const auto& [method, arguments] : calls) {
        EXPECT_EQ(on.host.call(method, arguments).errorName(),
                  u"org.freedesktop.DBus.Error.InvalidArgs"_s)
            << method.toStdString();
    }
    // A group with some good ids answers for those and names the others.
    const QDBusMessage reply =
        on.host.call(u"AboutToShowGroup"_s, {QVariant::fromValue(QList<int>{0, 5, 77})});
    EXPECT_EQ(qdbus_cast<QList<int>>(reply.arguments().value(1)), QList<int>{77});
}

// GLib's own client, as hosts built on libdbusmenu are: it reads the introspection to learn the
// signature of what it sends.
TEST(DBusMenuExporter, AGLibClientsEventGroupRunsTheClicksOfTheItemsThatExist) {
    ExporterOnBus on;
    ASSERT_TRUE(on.exporter.isExported()) << on.bus.error().toStdString();
    ChildProcess gdbus;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, on.bus.address());
    gdbus.setEnvironment(environment);
    // It calls into this thread, which runs its events while it waits.
    gdbus.start(u"gdbus"_s, {u"call"_s, u"--session"_s, u"--dest"_s, on.program.baseService(),
                             u"--object-path"_s, u"/MenuBar"_s, u"--method"_s,
                             u"com.canonical.dbusmenu.EventGroup"_s,
                             u"[(1, 'clicked', <0>, uint32 0), (77, 'clicked', <0>, uint32 0)]"_s});
    ASSERT_TRUE(eventually([&] { return !gdbus.isRunning(); }, 20000));
    EXPECT_EQ(gdbus.process().readAllStandardOutput().trimmed(), "([77],)")
        << gdbus.errors().toStdString();
    EXPECT_TRUE(eventually([&] { return *on.clicks == 1; }));
}

TEST(DBusMenuExporter, AClickRunsItsActionOnceAndHostsHearOfEveryChange) {
    ExporterOnBus on;
    ASSERT_TRUE(on.exporter.isExported()) << on.bus.error().toStdString();
    // The action replaces the menu, its own entry with it, while it runs.
    MenuDescription replacing;
    replacing.add(MenuEntry::item(u"Replace"_s, [&on] {
        ++*on.clicks;
        on.exporter.setMenu(sampleMenu(on.clicks));
    }));
    on.exporter.setMenu(std::move(replacing));
    EXPECT_EQ(on.host.event(1).type(), QDBusMessage::ReplyMessage);
    // Signals sent before the host's first call may come before its match rules: only the
    // revision the click made is sure to arrive.
    EXPECT_TRUE(eventually([&] {
        const QList<QDBusMessage> updates = on.host.recorder.named(u"LayoutUpdated"_s);
        return !updates.isEmpty() && updates.last().arguments() == QVariantList{3U, 0};
    }));
    EXPECT_EQ(on.exporter.revision(), 3U);
    EXPECT_EQ(*on.clicks, 1);

    // Other events, and clicks on what has no action or is disabled, run nothing.
    on.host.event(1, u"hovered"_s);
    for (const int id : {0, 2, 4, 5})
        on.host.event(id);
    // The replies came after the signals of the new menu: only what follows counts below.
    on.host.recorder.received.clear();

    MenuEntry toggle = *on.exporter.menu().find(3);
    toggle.checked = false;
    toggle.title = u"Switched"_s;
    EXPECT_TRUE(on.exporter.updateEntry(toggle));
    MenuEntry submenu = *on.exporter.menu().find(5);
    submenu.children.clear();
    EXPECT_TRUE(on.exporter.updateEntry(submenu));
    EXPECT_FALSE(on.exporter.updateEntry(MenuEntry{}));
    ASSERT_TRUE(eventually(
        [&] { return !on.host.recorder.named(u"ItemsPropertiesUpdated"_s).isEmpty(); }, 5000));
    const QDBusArgument changed = on.host.recorder.named(u"ItemsPropertiesUpdated"_s)
                                      .first()
                                      .arguments()[0]
                                      .value<QDBusArgument>();
    int id = 0;
    QVariantMap properties;
    changed.beginArray();
    changed.beginStructure();
    changed >> id >> properties;
    changed.endStructure();
    changed.endArray();
    EXPECT_EQ(id, 3);
    EXPECT_EQ(properties, (QVariantMap{{u"label"_s, u"Switched"_s}, {u"toggle-state"_s, 0}}))
        << "only what changed";
    EXPECT_EQ(on.host.layout(5).children.size(), 1) << "an update keeps the entries under it";
    EXPECT_EQ(*on.clicks, 1);
    EXPECT_EQ(on.host.recorder.named(u"ItemsPropertiesUpdated"_s).size(), 1)
        << "no signal for an entry whose properties stayed";
}

namespace {

void expectSameMenu(const LayoutNode& node, const MenuEntry& entry, const QMenu* view) {
    EXPECT_EQ(node.id, entry.id);
    EXPECT_EQ(node.properties, DBusMenuExporter::properties(entry)) << entry.id;
    if (const QAction* item = findMenuItem(view, entry.id)) {
        EXPECT_EQ(item->text(), entry.title);
        EXPECT_EQ(item->isChecked(), entry.checked) << entry.id;
    }
    ASSERT_EQ(size_t(node.children.size()), entry.children.size()) << entry.id;
    for (size_t i = 0; i < entry.children.size(); ++i)
        expectSameMenu(node.children[qsizetype(i)], entry.children[i], view);
}

} // namespace

TEST(DBusMenuExporter, AHostSeesTheStatusMenuAndItsClicksActInTheProgram) {
    LocalizationManager::shared().currentLanguage = AppLanguage::english;
    runMainQueue();
    PrivateBus bus;
    TempHome home;
    ManualTiming manual;
    const QString autostart = home.path() + u"/autostart"_s;
    AppEnvironment environment{
        home.path(),
        std::make_shared<XdgAutostartService>(autostart, QCoreApplication::applicationFilePath()),
        manual.timing(), bus.connect(u"program"_s)};
    AppDelegate delegate(environment);
    delegate.applicationDidFinishLaunching();
    runMainQueue();
    ASSERT_TRUE(delegate.menuExporter()) << bus.error().toStdString();
    Host host(bus, environment.bus);
    uint firstRevision = 0;
    const LayoutNode english = host.layout(0, -1, {}, &firstRevision);
    expectSameMenu(english, delegate.statusMenu().root(), delegate.statusItem->menu());

    writeBytes(home.quotesFile(), R"({"quotes": ["From the bus"]})");
    host.event(idOfLabel(english, u"Reload Quotes"_s));
    MarqueeView* marquee = delegate.statusItem->button()->findChild<MarqueeView*>();
    EXPECT_TRUE(eventually([&] { return marquee->text().startsWith(u"From the bus"_s); }));

    // Launch at Login: the mark changes in place, in the QMenu and for the host.
    const int launchAtLogin = idOfLabel(english, u"Launch at Login"_s);
    host.event(launchAtLogin);
    EXPECT_TRUE(
        eventually([&] { return !host.recorder.named(u"ItemsPropertiesUpdated"_s).isEmpty(); }));
    EXPECT_TRUE(QFile::exists(autostart + u"/sayvane.desktop"_s));
    EXPECT_TRUE(findMenuItem(delegate.statusItem->menu(), launchAtLogin)->isChecked());
    EXPECT_EQ(host.layout(launchAtLogin).properties.value(u"toggle-state"_s), 1);

    // A language: the menu is rebuilt in it, with the same ids, and hosts are told, also those
    // that keep their items and read only the properties signal.
    host.recorder.received.clear();
    host.event(idOfLabel(english, u"Tiếng Việt"_s));
    EXPECT_TRUE(eventually([&] { return !host.recorder.named(u"LayoutUpdated"_s).isEmpty(); }));
    EXPECT_EQ(LocalizationManager::shared().currentLanguage.get(), AppLanguage::vietnamese);
    const QVariantList updated = host.recorder.named(u"LayoutUpdated"_s).last().arguments();
    EXPECT_GT(updated.value(0).toUInt(), firstRevision);
    uint revision = 0;
    const LayoutNode vietnamese = host.layout(0, -1, {}, &revision);
    EXPECT_EQ(revision, updated.value(0).toUInt());
    expectSameMenu(vietnamese, delegate.statusMenu().root(), delegate.statusItem->menu());
    EXPECT_EQ(idOfLabel(vietnamese, u"Tải lại"_s), idOfLabel(english, u"Reload Quotes"_s));
    EXPECT_EQ(host.layout(idOfLabel(vietnamese, u"Tiếng Việt"_s)).properties[u"toggle-state"_s], 1);
    const QMap<int, QVariantMap> updates =
        updatedProperties(host.recorder.named(u"ItemsPropertiesUpdated"_s));
    EXPECT_EQ(updates.value(idOfLabel(english, u"Reload Quotes"_s)).value(u"label"_s),
              u"Tải lại"_s);
    EXPECT_EQ(updates.value(idOfLabel(english, u"English"_s)).value(u"toggle-state"_s), 0);
    EXPECT_EQ(updates.value(idOfLabel(english, u"Tiếng Việt"_s)).value(u"toggle-state"_s), 1);
    EXPECT_FALSE(updates.contains(idOfLabel(english, u"中文"_s))) << "only what changed";
}

TEST(DBusMenuExporter, PauseFollowsAPauseFromTheBusAndOpenAndAboutActInTheProgram) {
    LocalizationManager::shared().currentLanguage = AppLanguage::english;
    runMainQueue();
    PrivateBus bus;
    TempHome home;
    ManualTiming manual;
    QList<QUrl> opened;
    AppEnvironment environment{
        home.path(),
        std::make_shared<XdgAutostartService>(home.path() + u"/autostart"_s,
                                              QCoreApplication::applicationFilePath()),
        manual.timing(), bus.connect(u"program"_s), [&opened](const QUrl& url) {
            opened.append(url);
            return true;
        }};
    AppDelegate delegate(environment);
    delegate.applicationDidFinishLaunching();
    runMainQueue();
    ASSERT_TRUE(delegate.menuExporter()) << bus.error().toStdString();
    Host host(bus, environment.bus);
    const LayoutNode menu = host.layout();
    const int pause = idOfLabel(menu, u"Pause"_s);
    ASSERT_GE(pause, 0);
    EXPECT_EQ(host.layout(pause).properties.value(u"toggle-type"_s), u"checkmark"_s);
    EXPECT_EQ(host.layout(pause).properties.value(u"toggle-state"_s), 0) << "not paused";

    // A script pauses: the mark shows in every view of the menu.
    const QDBusMessage paused = callAndWait(host.connection, host.service, u"/"_s,
                                            u"io.github.sayvane.Sayvane"_s, u"Pause"_s);
    ASSERT_EQ(paused.type(), QDBusMessage::ReplyMessage) << paused.errorMessage().toStdString();
    EXPECT_TRUE(
        eventually([&] { return host.layout(pause).properties.value(u"toggle-state"_s) == 1; }));
    EXPECT_FALSE(host.recorder.named(u"ItemsPropertiesUpdated"_s).isEmpty());
    EXPECT_TRUE(findMenuItem(delegate.statusItem->menu(), pause)->isChecked());
    // The item lets it go on again.
    host.event(pause);
    EXPECT_TRUE(eventually([&] { return !delegate.displayController->isPaused(); }));
    EXPECT_FALSE(findMenuItem(delegate.statusItem->menu(), pause)->isChecked());

    // Open: an edit typed and not submitted is saved before the file is opened.
    delegate.quoteManager->quotes.replace(0, u"Typed, not submitted"_s);
    host.event(idOfLabel(menu, u"Open Quotes File"_s));
    ASSERT_TRUE(eventually([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(home.quotesFile())});
    EXPECT_TRUE(readBytes(home.quotesFile()).contains("Typed, not submitted"));

    host.event(idOfLabel(menu, u"About Sayvane"_s));
    ASSERT_TRUE(
        eventually([&] { return delegate.aboutWindow && delegate.aboutWindow->isVisible(); }));
    const QWidget* about = delegate.aboutWindow.get();
    EXPECT_EQ(about->windowTitle(), u"About Sayvane"_s);
    EXPECT_EQ(about->findChild<QLabel*>(u"aboutVersion"_s)->text(),
              u"Version "_s + QStringLiteral(SAYVANE_VERSION));
    EXPECT_TRUE(about->findChild<QLabel*>(u"aboutLicence"_s)->text().contains(u"MIT"_s));
    EXPECT_TRUE(about->findChild<QLabel*>(u"aboutHomepage"_s)->text().contains(u"https://"_s));
    EXPECT_EQ(about->findChild<QLabel*>(u"aboutQuotesFile"_s)->text(), home.quotesFile());
    LocalizationManager::shared().currentLanguage = AppLanguage::vietnamese;
    runMainQueue();
    EXPECT_TRUE(eventually([&] { return about->windowTitle() == u"Giới thiệu Sayvane"_s; }));
    LocalizationManager::shared().currentLanguage = AppLanguage::english;
    runMainQueue();
}
