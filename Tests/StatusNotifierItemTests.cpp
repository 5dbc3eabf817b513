#include "AppDelegate.h"
#include "ColumnWindow.h"
#include "Localization.h"
#include "PanelIndicator.h"
#include "PanelMenuPosition.h"
#include "PrivateBus.h"
#include "StatusNotifierItem.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QImage>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString watcherName = u"org.kde.StatusNotifierWatcher"_s;
const QString itemInterface = u"org.kde.StatusNotifierItem"_s;

// The panel's side, on a connection of its own: a watcher that records who registers, and a
// host that reads the item and hears its labels.
class PanelStandIn : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems MEMBER registered)

public:
    explicit PanelStandIn(QDBusConnection connection)
        : bus(std::move(connection)) {
        bus.registerObject(u"/StatusNotifierWatcher"_s, this,
                           QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
    }

    bool start() { return bus.registerService(watcherName); }
    bool stop() { return bus.unregisterService(watcherName); }

    QVariantMap properties(const QString& service) {
        const QDBusMessage reply =
            callAndWait(bus, service, u"/StatusNotifierItem"_s,
                        u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s, {itemInterface});
        return qdbus_cast<QVariantMap>(reply.arguments().value(0));
    }
    QDBusMessage callItem(const QString& service, const QString& method,
                          const QVariantList& arguments) {
        return callAndWait(bus, service, u"/StatusNotifierItem"_s, itemInterface, method,
                           arguments);
    }
    void listen(const QString& service) {
        bus.connect(service, u"/StatusNotifierItem"_s, itemInterface, u"XAyatanaNewLabel"_s, this,
                    SLOT(onLabel(QString, QString)));
    }

    QStringList registered;
    // Lists an item at once but never answers its registration, as GNOME's extension while the
    // shell is starting.
    bool answersLate = false;
    QStringList labels;

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) {
        registered.append(service);
        if (answersLate)
            setDelayedReply(true);
    }
    void onLabel(const QString& label, const QString&) { labels.append(label); }

private:
    QDBusConnection bus;
};

struct PanelItem : ::testing::Test {
    void SetUp() override {
        SAYVANE_REQUIRE_TOOL(bus.isRunning(), "dbus-daemon (" + bus.error().toStdString() + ")");
        panel = std::make_unique<PanelStandIn>(bus.connect(u"panel"_s));
    }

    PrivateBus bus;
    std::unique_ptr<PanelStandIn> panel;
};

} // namespace

TEST_F(PanelItem, ItemRegistersAgainWhenTheWatcherRestartsAndAnswersEveryProperty) {
    auto first = std::make_unique<StatusNotifierItem>(bus.connect(u"first"_s));
    ASSERT_TRUE(first->isExported());
    const QString name = first->serviceName();
    EXPECT_TRUE(name.startsWith(u"org.kde.StatusNotifierItem-"_s));
    // The item asks for the watcher as it is made.
    EXPECT_FALSE(first->isRegistered() || first->isWatcherPresent()) << "no watcher yet";
    ASSERT_TRUE(panel->start());
    ASSERT_TRUE(eventually([&] { return first->isRegistered(); }));
    ASSERT_TRUE(panel->stop());
    ASSERT_TRUE(eventually([&] { return !first->isRegistered(); }));
    ASSERT_TRUE(panel->start());
    ASSERT_TRUE(eventually([&] { return first->isRegistered(); }));
    first.reset();
    StatusNotifierItem item(bus.connect(u"item"_s));
    ASSERT_TRUE(eventually([&] { return item.isRegistered(); })) << "the watcher already there";
    EXPECT_EQ(panel->registered, QStringList(3, name));

    item.setLabel(u"a label"_s, u"a guide"_s);
    item.setToolTipText(u"the quote"_s);
    const QVariantMap properties = panel->properties(item.serviceName());
    const QVariantMap expected = {
        {u"Category"_s, u"ApplicationStatus"_s},
        {u"Id"_s, u"sayvane"_s},
        {u"Title"_s, u"Sayvane"_s},
        {u"Status"_s, u"Active"_s},
        {u"IconName"_s, u"sayvane"_s},
        {u"XAyatanaLabel"_s, u"a label"_s},
        {u"XAyatanaLabelGuide"_s, u"a guide"_s},
        {u"WindowId"_s, 0},
        // No menu is exported on this connection: the panel asks the item on a click.
        {u"ItemIsMenu"_s, false}};
    for (auto [name, value] : expected.asKeyValueRange())
        EXPECT_EQ(properties.value(name), value) << name.toStdString();
    EXPECT_EQ(qdbus_cast<QDBusObjectPath>(properties.value(u"Menu"_s)).path(), u"/NO_DBUSMENU"_s);

    const auto pixmaps = qdbus_cast<StatusNotifierPixmaps>(properties.value(u"IconPixmap"_s));
    ASSERT_EQ(pixmaps.size(), 5);
    EXPECT_EQ(pixmaps.front().width, 16);
    EXPECT_EQ(pixmaps.back().height, 48);
    for (const StatusNotifierPixmap& pixmap : pixmaps) {
        ASSERT_EQ(pixmap.bytes.size(), pixmap.width * pixmap.height * 4);
        // Network byte order puts alpha first: the icon's middle is opaque.
        const qsizetype middle = (qsizetype(pixmap.height / 2) * pixmap.width + pixmap.width / 2);
        EXPECT_EQ(static_cast<uchar>(pixmap.bytes[middle * 4]), 0xFF) << pixmap.width;
    }
    // Not installed here: the named icon is in the theme path the item gives.
    const QString themePath = properties.value(u"IconThemePath"_s).toString();
    ASSERT_FALSE(themePath.isEmpty());
    EXPECT_EQ(QImage(themePath + u"/hicolor/48x48/apps/sayvane.png"_s).size(), QSize(48, 48));
    EXPECT_EQ(QImage(themePath + u"/sayvane.png"_s).size(), QSize(48, 48));
    const auto toolTip = qdbus_cast<StatusNotifierToolTip>(properties.value(u"ToolTip"_s));
    EXPECT_EQ(toolTip.title, u"Sayvane"_s);
    EXPECT_EQ(toolTip.text, u"the quote"_s);
}

// MATE's Notification Area sends a left click with a point in the panel's own window, (0, 25)
// for an item far to the right: the menu opens at the pointer, kept out of the panels. Catches a
// menu opened at the panel's point, or over the panel.
TEST(PanelMenuPosition, OpensAtThePointerBelowATopPanelAndAboveABottomOne) {
    const QRect workArea(0, 25, 1280, 670); // panels of 25 pixels at the top and the bottom
    struct Case {
        QPoint pointer, menu;
        const char* why;
    };
    for (const Case& c : {Case{{960, 12}, {960, 25}, "in the top panel: below its edge"},
                          Case{{30, 707}, {30, 695}, "in the bottom panel: from its edge"},
                          Case{{500, 300}, {500, 300}, "elsewhere: at the pointer"}})
        EXPECT_EQ(PanelMenuPosition::at(c.pointer, workArea), c.menu) << c.why;
}

// Hosts read whether an item has a label only when it comes: an item that drops its label (so
// that MATE's Notification Area draws its icon) or takes it back leaves the watcher and
// registers again, and then has the label's properties or none. Catches a switch the host never
// hears of, and label properties left behind on an icon-only item.
TEST_F(PanelItem, AnItemThatChangesItsLabellingRegistersAgainWithOrWithoutLabelProperties) {
    // A watcher that lists the item but keeps its answer: the list is its word. Catches an item
    // that waits for the answer, with the strip beside the label meanwhile.
    panel->answersLate = true;
    ASSERT_TRUE(panel->start());
    StatusNotifierItem item(bus.connect(u"item"_s));
    ASSERT_TRUE(eventually([&] { return item.isRegistered(); }));
    panel->answersLate = false;
    for (const auto labelling :
         {StatusNotifierItem::Labelling::iconOnly, StatusNotifierItem::Labelling::labelled}) {
        const qsizetype registrations = panel->registered.size();
        item.setLabelling(labelling);
        ASSERT_TRUE(eventually([&] { return panel->registered.size() > registrations; }));
        EXPECT_TRUE(eventually([&] { return item.isRegistered(); }));
        const QVariantMap properties = panel->properties(item.serviceName());
        const bool labelled = labelling == StatusNotifierItem::Labelling::labelled;
        EXPECT_EQ(properties.value(u"IconName"_s), u"sayvane"_s);
        EXPECT_EQ(properties.contains(u"XAyatanaLabel"_s), labelled);
        EXPECT_EQ(properties.contains(u"XAyatanaLabelGuide"_s), labelled);
    }
}

TEST_F(PanelItem, LabelSignalsFollowTheColumnWindowOfTheSameText) {
    LabelSettings settings;
    settings.columns = 10;
    settings.intervalMilliseconds = LabelSettings::minimumInterval;
    ASSERT_TRUE(panel->start());
    PanelIndicator indicator(bus.connect(u"item"_s), settings);
    panel->listen(indicator.item().serviceName());
    const QStringList segments = {u"first quote"_s, u"  \U0001F525  "_s, u"second"_s,
                                  u"  \U0001F308  "_s};
    indicator.show(segments, u"No quotes"_s);
    ASSERT_TRUE(eventually([&] { return panel->labels.size() >= 4; }));

    const ColumnWindow window(segments.join(QString()));
    const QStringList heard = panel->labels;
    // Each signal is one column on from the one before, wherever the first one was heard.
    qsizetype start = -1;
    for (qsizetype column = 0; column < window.totalColumns(); ++column) {
        if (window.window(column, 10) == heard.front())
            start = column;
    }
    ASSERT_GE(start, 0) << heard.front().toStdString();
    for (qsizetype i = 0; i < heard.size(); ++i)
        EXPECT_EQ(heard[i], window.window(start + i, 10)) << i;

    // Paused, out of sight, or held by no panel, the label stands, while a witness timer at the
    // same interval on the same event loop ticks three times: the label's would have as often.
    QTimer witness;
    witness.setInterval(indicator.ticker().interval());
    int witnessed = 0;
    QObject::connect(&witness, &QTimer::timeout, [&witnessed] { ++witnessed; });
    witness.start();
    const struct {
        const char* state;
        bool paused, outOfSight, inPanel;
    } states[] = {{"paused", true, false, true},
                  {"out of sight", false, true, true},
                  {"in no panel", false, false, false}};
    for (const auto& s : states) {
        indicator.setPaused(s.paused);
        indicator.setOutOfSight(s.outOfSight);
        if (!s.inPanel) {
            ASSERT_TRUE(panel->stop());
            ASSERT_TRUE(eventually([&] { return !indicator.item().isRegistered(); }));
        }
        int stood = 0;
        witnessed = 0;
        const QMetaObject::Connection counting = QObject::connect(
            &indicator.item(), &StatusNotifierItem::newLabel, [&stood] { ++stood; });
        ASSERT_TRUE(eventually([&] { return witnessed >= 3; }));
        QObject::disconnect(counting);
        EXPECT_EQ(stood, 0) << s.state;
    }
    ASSERT_TRUE(panel->start());
    const qsizetype count = panel->labels.size();
    EXPECT_TRUE(eventually([&] { return panel->labels.size() > count + 1; })) << "moving again";
}

TEST_F(PanelItem, ALongListIsPreparedAsideAndTheListGivenLastWins) {
    PanelIndicator indicator(bus.connect(u"item"_s), LabelSettings{});
    indicator.setPaused(true);
    auto list = [](const QString& name, qsizetype quotes) {
        QStringList segments;
        for (qsizetype i = 0; i < quotes; ++i)
            segments << name + QString::number(i) << u"  \U0001F525  "_s;
        return segments;
    };
    auto labelOf = [](const QStringList& segments) {
        return ColumnWindow(segments.join(QString())).window(0, LabelSettings::defaultColumns);
    };
    const QStringList longList = list(u"long "_s, PanelIndicator::largeList);
    const QString before = indicator.ticker().label();
    indicator.show(longList, u"No quotes"_s);
    EXPECT_EQ(indicator.ticker().label(), before) << "not in the call: on a worker";
    EXPECT_TRUE(eventually([&] { return indicator.ticker().label() == labelOf(longList); }));

    const QStringList shortList = list(u"short "_s, 3);
    const QStringList otherList = list(u"other "_s, PanelIndicator::largeList);
    indicator.show(otherList, u"No quotes"_s);
    indicator.show(shortList, u"No quotes"_s);
    EXPECT_EQ(indicator.ticker().label(), labelOf(shortList));
    // The worker holds a copy of the list it prepares until it is done with it: once it has let
    // go, what it made of it is on this thread's queue.
    ASSERT_TRUE(eventually([&] { return otherList.isDetached(); }));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(indicator.ticker().label(), labelOf(shortList)) << "overtaken by the short list";
}

TEST_F(PanelItem, TrayIconStandsInUntilAWatcherAndClicksOpenTheMenuAndPause) {
    TempHome home;
    LocalizationManager::shared().currentLanguage = AppLanguage::english;
    AppDelegate delegate(AppEnvironment{home.path(), XdgAutostartService::forThisProgram(),
                                        MarqueeTiming::system(), bus.connect(u"item"_s)});
    delegate.applicationDidFinishLaunching();
    runMainQueue();
    ASSERT_TRUE(delegate.panelIndicator);
    StatusNotifierItem& item = delegate.panelIndicator->item();
    // The tray icon is shown or hidden once the posted work of the start has run.
    EXPECT_TRUE(delegate.statusItem->trayIcon()->isVisible()) << "no watcher: the tray icon";
    ASSERT_TRUE(panel->start());
    ASSERT_TRUE(eventually([&] { return item.isRegistered(); }));
    EXPECT_FALSE(delegate.statusItem->trayIcon()->isVisible()) << "one icon in the panel";
    // The default quotes reached the label.
    ASSERT_TRUE(eventually([&] { return !delegate.displayController->segments().isEmpty(); }));
    EXPECT_EQ(item.toolTipText(), delegate.displayController->segments().front());

    panel->callItem(item.serviceName(), u"Activate"_s, {10, 10});
    ASSERT_TRUE(eventually([&] { return delegate.statusItem->menu()->isVisible(); }));
    delegate.statusItem->menu()->hide();

    panel->callItem(item.serviceName(), u"SecondaryActivate"_s, {10, 10});
    EXPECT_TRUE(eventually([&] { return delegate.displayController->isPaused(); }));
    EXPECT_TRUE(delegate.panelIndicator->isPaused());
    // Ayatana's hosts send their own middle click.
    panel->callItem(item.serviceName(), u"XAyatanaSecondaryActivate"_s, {0u});
    EXPECT_TRUE(eventually([&] { return !delegate.displayController->isPaused(); }));
    EXPECT_FALSE(delegate.panelIndicator->isPaused());
    // The wheel steps to the next quote.
    const QString before = item.toolTipText();
    panel->callItem(item.serviceName(), u"Scroll"_s, {-120, u"vertical"_s});
    EXPECT_TRUE(eventually([&] { return item.toolTipText() != before; }));
    // The strip goes to the quote the label went to (back from the first: the last), so that
    // both show one current quote. Catches a strip left where it was.
    const qsizetype quote = delegate.panelIndicator->ticker().currentQuote();
    ASSERT_GT(quote, 0);
    const QStringList segments = delegate.displayController->segments();
    EXPECT_TRUE(eventually([&] {
        return delegate.displayController->currentQuote() == segments.at(quote * 2);
    })) << delegate.displayController->currentQuote().toStdString();
}

#include "StatusNotifierItemTests.moc"
