// The real program under xfce4-panel in Xvfb, on a session bus of the test's own: with the
// Indicator plugin (Ayatana's indicator service hosts the items and draws their labels) and with
// the panel's own Status Tray. Each test starts and stops its own bus, panel and program.

#include "PrivateBus.h"
#include "TerminalColumns.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString indicatorService =
    u"/usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service"_s;

// A program in a process group of its own, stopped with whatever it started.
class Child {
public:
    ~Child() { stop(); }
    void start(const QString& program, const QStringList& arguments = {}) {
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        process.waitForStarted(5000);
    }
    qint64 pid() const { return process.processId(); }
    void stop() {
        if (process.state() == QProcess::NotRunning)
            return;
        ::kill(-pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(3000))
            ::kill(-pid_t(process.processId()), SIGKILL);
    }

private:
    QProcess process;
};

// One item as Ayatana's indicator service hands it to the panel plugin.
struct HostedItem {
    QString id;
    QString service;
    QString label;
    QString guide;
};

bool eventually(const std::function<bool()>& condition, int milliseconds = 15000) {
    return QTest::qWaitFor(condition, milliseconds);
}

class Panel : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"xfce4-panel", "xfconfd"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty() &&
                !QFile::exists(u"/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd"_s))
                GTEST_SKIP() << program << " is not installed";
        }
        if (QGuiApplication::platformName() == u"offscreen"_s)
            GTEST_SKIP() << "Xvfb did not start";
        if (!bus.isRunning())
            GTEST_SKIP() << "no private session bus: " << bus.error().toStdString();
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

    void startProgram() { program.start(QString::fromUtf8(SAYVANE_EXECUTABLE)); }

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
    QDBusConnection client{QString()};
    Child indicators, panel, program;
};

} // namespace

TEST_F(Panel, IndicatorPluginShowsTheLabelSteppingThroughTheQuotes) {
    if (!QFile::exists(indicatorService) ||
        !QFile::exists(u"/usr/lib/x86_64-linux-gnu/xfce4/panel/plugins/libindicator-plugin.so"_s))
        GTEST_SKIP() << "xfce4-indicator-plugin or ayatana-indicator-application is missing";
    writePanelConfig(u"indicator"_s);
    indicators.start(indicatorService);
    panel.start(u"xfce4-panel"_s);
    startProgram();

    QList<HostedItem> items;
    ASSERT_TRUE(eventually([&] {
        items = hostedItems();
        return items.size() == 1 && !items.front().label.trimmed().isEmpty();
    })) << "the indicator service has no labelled item";
    EXPECT_EQ(items.front().id, u"sayvane"_s);
    EXPECT_TRUE(items.front().service.startsWith(u"org.kde.StatusNotifierItem-"_s));
    EXPECT_EQ(TerminalColumns::width(items.front().label), 30);
    EXPECT_EQ(TerminalColumns::width(items.front().guide), 30);

    // The panel draws the label: paused by a middle click, its pixels stand still; resumed,
    // they change with the label. The panel holds nothing else that moves.
    QScreen* screen = QGuiApplication::primaryScreen();
    auto panelPixels = [screen] {
        return screen->grabWindow(0, 0, 0, screen->geometry().width(), 26).toImage();
    };
    auto middleClick = [&] {
        return callAndWait(client, items.front().service, u"/StatusNotifierItem"_s,
                           u"org.kde.StatusNotifierItem"_s, u"SecondaryActivate"_s, {0, 0})
                   .type() == QDBusMessage::ReplyMessage;
    };
    QTest::qWait(1000);
    ASSERT_TRUE(middleClick());
    // Once the last step before the pause is drawn, nothing moves.
    QImage still;
    ASSERT_TRUE(eventually([&] {
        const QImage earlier = panelPixels();
        QTest::qWait(300);
        still = panelPixels();
        return earlier == still;
    }));
    const QString paused = hostedItems().value(0).label;
    QTest::qWait(800);
    EXPECT_EQ(hostedItems().value(0).label, paused);
    EXPECT_EQ(panelPixels(), still) << "the label moved while paused";

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
    panel.start(u"xfce4-panel"_s);
    ASSERT_TRUE(eventually([&] {
        return client.interface()->isServiceRegistered(u"org.kde.StatusNotifierWatcher"_s);
    }));
    startProgram();
    const QString ours = u"org.kde.StatusNotifierItem-%1-1"_s.arg(program.pid());
    ASSERT_TRUE(eventually([&] { return !registeredItems().isEmpty(); }));
    // Qt's own tray icon, which would go over D-Bus too, stays away.
    QTest::qWait(1000);
    EXPECT_EQ(registeredItems().size(), 1) << registeredItems().join(u' ').toStdString();
    EXPECT_TRUE(registeredItems().value(0).startsWith(ours)) << ours.toStdString();

    panel.stop();
    ASSERT_TRUE(eventually([&] {
        return !client.interface()->isServiceRegistered(u"org.kde.StatusNotifierWatcher"_s);
    }));
    panel.start(u"xfce4-panel"_s);
    ASSERT_TRUE(eventually([&] { return !registeredItems().isEmpty(); }));
    QTest::qWait(1000);
    EXPECT_EQ(registeredItems().size(), 1) << registeredItems().join(u' ').toStdString();
    EXPECT_TRUE(registeredItems().value(0).startsWith(ours));
}

int main(int argc, char* argv[]) {
    return runTestsUnderXvfb(argc, argv, u"1024x600x24"_s);
}
