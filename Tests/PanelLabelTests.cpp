// The real program under xfce4-panel in Xvfb, on a session bus of the test's own: with the
// Indicator plugin (Ayatana's indicator service hosts the items and draws their labels) and with
// the panel's own Status Tray. Each test starts and stops its own bus, panel and program. Part
// of the desktop tests' program, whose main starts the X server.

#include "LabelTicker.h"
#include "PrivateBus.h"
#include "TerminalColumns.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString indicatorService =
    u"/usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service"_s;

// One item as Ayatana's indicator service hands it to the panel plugin.
struct HostedItem {
    QString id;
    QString service;
    QString label;
    QString guide;
};

class Panel : public ::testing::Test {
protected:
    void SetUp() override {
        SAYVANE_REQUIRE_TOOL(!QStandardPaths::findExecutable(u"xfce4-panel"_s).isEmpty(),
                             "xfce4-panel");
        // The panel reaches its settings daemon through the bus.
        SAYVANE_REQUIRE_TOOL(QFile::exists(u"/usr/share/dbus-1/services/org.xfce.Xfconf.service"_s),
                             "xfconf");
        ASSERT_NE(QGuiApplication::platformName(), u"offscreen"_s) << "Xvfb did not start";
        ASSERT_TRUE(bus.isRunning()) << "no private session bus: " << bus.error().toStdString();
        bus.makeSessionBus();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(u".config"_s)));
        client = bus.connect(u"test"_s);
    }

    // A panel at the top holding the one plugin given.
    void writePanelConfig(const QString& plugin) {
        const QString folder = home.filePath(u".config/xfce4/xfconf/xfce-perchannel-xml"_s);
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile file(folder + u"/xfce4-panel.xml"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // configver 2: the panel takes the file as it is instead of offering its defaults.
        file.write(uR"(<channel name="xfce4-panel" version="1.0">
 <property name="configver" type="int" value="2"/>
 <property name="panels" type="array"><value type="int" value="1"/>
  <property name="panel-1" type="empty">
   <property name="position" type="string" value="p=6;x=0;y=0"/>
   <property name="length" type="uint" value="100"/>
   <property name="size" type="uint" value="28"/>
   <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
  </property>
 </property>
 <property name="plugins" type="empty">
  <property name="plugin-1" type="string" value="%1"/>
 </property>
</channel>)"_s.arg(plugin)
                       .toUtf8());
    }

    void startProgram() {
        program.start(QString::fromUtf8(SAYVANE_EXECUTABLE), {}, ChildProcess::Output::discard);
    }
    // An answer from the program's own interface (once it is on the bus): what it did with
    // the events it had before is done, and the messages it sent on the bus meanwhile are on
    // their way ahead of the answer.
    bool programAnswers() {
        return eventually([&] {
            return propertyOf(client, u"io.github.sayvane.Sayvane"_s, u"/"_s,
                              u"io.github.sayvane.Sayvane"_s, u"Paused"_s)
                .isValid();
        });
    }

    QList<HostedItem> hostedItems() {
        const QDBusMessage reply =
            callAndWait(client, u"org.ayatana.indicator.application"_s,
                        u"/org/ayatana/indicator/application/service"_s,
                        u"org.ayatana.indicator.application.service"_s, u"GetApplications"_s);
        QList<HostedItem> items;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return items;
        const auto array = reply.arguments().at(0).value<QDBusArgument>();
        array.beginArray();
        while (!array.atEnd()) {
            QString icon, service, iconPath, label, guide, description, hint, title;
            int position = 0;
            QDBusObjectPath menu;
            array.beginStructure();
            array >> icon >> position >> service >> menu >> iconPath >> label >> guide >>
                description >> hint >> title;
            array.endStructure();
            items.append({hint, service, label, guide});
        }
        array.endArray();
        return items;
    }

    QStringList registeredItems() {
        return propertyOf(client, u"org.kde.StatusNotifierWatcher"_s, u"/StatusNotifierWatcher"_s,
                          u"org.kde.StatusNotifierWatcher"_s, u"RegisteredStatusNotifierItems"_s)
            .toStringList();
    }

    QTemporaryDir home;
    PrivateBus bus;
    XSession x;
    QDBusConnection client{QString()};
    ChildProcess indicators, program;
};

} // namespace

TEST_F(Panel, IndicatorPluginShowsTheLabelSteppingThroughTheQuotes) {
    SAYVANE_REQUIRE_TOOL(QFile::exists(indicatorService), "ayatana-indicator-application");
    SAYVANE_REQUIRE_TOOL(QFile::exists(u"/usr/share/xfce4/panel/plugins/indicator.desktop"_s),
                         "xfce4-indicator-plugin");
    writePanelConfig(u"indicator"_s);
    indicators.start(indicatorService, {}, ChildProcess::Output::discard);
    x.startPanel(u"xfce4-panel"_s);
    startProgram();

    QList<HostedItem> items;
    ASSERT_TRUE(eventually(
        [&] {
            items = hostedItems();
            return items.size() == 1 && !items.front().label.trimmed().isEmpty();
        },
        15000))
        << "the indicator service has no labelled item";
    EXPECT_EQ(items.front().id, u"sayvane"_s);
    EXPECT_TRUE(items.front().service.startsWith(u"org.kde.StatusNotifierItem-"_s));
    EXPECT_EQ(TerminalColumns::width(items.front().label), 30);
    EXPECT_EQ(TerminalColumns::width(items.front().guide), 30);

    // The panel draws the label: paused by a middle click, its pixels stand still; resumed,
    // they change with the label. The panel holds nothing else that moves.
    const QString service = items.front().service;
    QScreen* screen = QGuiApplication::primaryScreen();
    auto panelPixels = [screen] {
        return screen->grabWindow(0, 0, 0, screen->geometry().width(), 26).toImage();
    };
    auto middleClick = [&] {
        return callAndWait(client, service, u"/StatusNotifierItem"_s,
                           u"org.kde.StatusNotifierItem"_s, u"SecondaryActivate"_s, {0, 0})
                   .type() == QDBusMessage::ReplyMessage;
    };
    auto programLabel = [&] {
        return propertyOf(client, service, u"/StatusNotifierItem"_s,
                          u"org.kde.StatusNotifierItem"_s, u"XAyatanaLabel"_s)
            .toString();
    };
    BusSignals newLabels;
    ASSERT_TRUE(newLabels.listen(client, service, u"/StatusNotifierItem"_s,
                                 u"org.kde.StatusNotifierItem"_s, u"XAyatanaNewLabel"_s));
    ASSERT_TRUE(middleClick());
    // Labels sent before the answer came before it.
    QCoreApplication::sendPostedEvents();
    newLabels.received.clear();
    const QString paused = programLabel();
    ASSERT_TRUE(eventually([&] { return hostedItems().value(0).label == paused; }));
    // Standing still takes a span to see: two pictures of the panel two of the label's steps
    // apart that are the same. Over that span a label still moving would have stepped.
    QImage still;
    ASSERT_TRUE(eventually([&] {
        const QImage earlier = panelPixels();
        QTest::qWait(2 * LabelSettings::defaultInterval);
        still = panelPixels();
        return earlier == still;
    }));
    EXPECT_EQ(newLabels.members(), QStringList()) << "the label moved while paused";
    EXPECT_EQ(hostedItems().value(0).label, paused);

    ASSERT_TRUE(middleClick());
    ASSERT_TRUE(eventually([&] {
        items = hostedItems();
        return items.size() == 1 && items.front().label != paused;
    }));
    EXPECT_EQ(TerminalColumns::width(items.front().label), 30);
    EXPECT_TRUE(eventually([&] { return panelPixels() != still; }))
        << "the panel does not draw the label";
}

TEST_F(Panel, StatusTrayHoldsTheProgramOnceAndAgainAfterTheTrayRestarts) {
    writePanelConfig(u"systray"_s);
    x.startPanel(u"xfce4-panel"_s);
    auto watcherThere = [&] {
        return client.interface()->isServiceRegistered(u"org.kde.StatusNotifierWatcher"_s).value();
    };
    ASSERT_TRUE(eventually(watcherThere, 15000));
    startProgram();
    const QString ours = u"org.kde.StatusNotifierItem-%1-1"_s.arg(program.pid());
    // Qt's own tray icon, which would go over D-Bus too, stays away: once the program has
    // answered, a registration of it would have reached the panel before this question.
    for (int start = 0; start < 2; ++start) {
        ASSERT_TRUE(eventually([&] { return !registeredItems().isEmpty(); }, 15000));
        ASSERT_TRUE(programAnswers());
        EXPECT_EQ(registeredItems().size(), 1) << registeredItems().join(u' ').toStdString();
        EXPECT_TRUE(registeredItems().value(0).startsWith(ours)) << ours.toStdString();
        if (start == 0) {
            // The tray goes and comes back.
            x.stopPanel();
            ASSERT_TRUE(eventually([&] { return !watcherThere(); }));
            x.startPanel(u"xfce4-panel"_s);
        }
    }
}
