// Which view shows the ticker: the strip, or the panel's label or the program's widget.

#include "PrivateBus.h"
#include "StatusItem.h"
#include "StatusNotifierHosts.h"
#include "StatusNotifierItem.h"
#include "StripChoice.h"
#include "StripPresence.h"
#include "TestSupport.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(StripChoice, TheSettingThenThePanelThenTheWindowManagerDecide) {
    using Setting = StripSetting;
    struct Case {
        Setting setting;
        bool label, widget;
        const char* windowManager;
        bool shown;
        const char* why;
    };
    for (const Case& c : {
             Case{Setting::automatic, false, false, "Openbox", true, "no panel shows the ticker"},
             Case{Setting::automatic, true, false, "Openbox", false, "the panel shows the label"},
             Case{Setting::automatic, false, true, "KWin", false, "the widget shows the ticker"},
             Case{Setting::automatic, false, false, "i3", false, "i3 makes a bar of a dock"},
             Case{Setting::automatic, false, false, "wlroots wm", false, "sway's XWayland"},
             Case{Setting::automatic, false, false, "", true, "no window manager to ask"},
             Case{Setting::on, true, true, "i3", true, "on is on"},
             Case{Setting::off, false, false, "Openbox", false, "off is off"},
         }) {
        EXPECT_EQ(StripChoice::showStrip(
                      {c.setting, c.label, c.widget, QString::fromUtf8(c.windowManager)}),
                  c.shown)
            << c.why;
    }

    // Hosts that draw the label, by watcher or by host; the others draw the icon alone.
    EXPECT_TRUE(StripChoice::hostsShowLabel({u"gnome-shell"_s, {}}));
    EXPECT_TRUE(StripChoice::hostsShowLabel({u"ayatana-indicator-application-service"_s, {}}));
    EXPECT_TRUE(StripChoice::hostsShowLabel({u"kded5"_s, {u"notification-area-applet"_s}}));
    EXPECT_FALSE(StripChoice::hostsShowLabel({u"kded5"_s, {u"plasmashell"_s}}));
    EXPECT_FALSE(StripChoice::hostsShowLabel({u"xfce4-panel"_s, {u"xfce4-panel"_s}}));
    EXPECT_FALSE(StripChoice::hostsShowLabel({}));
}

// Under Ayatana's real indicator service, the host behind the indicator applets of Xfce and
// MATE: the strip goes while the service holds the item, and comes back when it goes.
TEST(StripPresence, FollowsTheHostsAsTheyComeAndGo) {
    const QString service =
        u"/usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service"_s;
    SAYVANE_REQUIRE_TOOL(QFile::exists(service), "ayatana-indicator-application");
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning()) << "no private session bus: " << bus.error().toStdString();
    StatusItem statusItem(250);
    StatusNotifierItem item(bus.connect(u"program"_s));
    StatusNotifierHosts hosts(bus.connect(u"watch"_s));
    StripPresence automatic(statusItem, StripSetting::automatic, true, &item, &hosts,
                            [] { return u"Openbox"_s; });
    EXPECT_TRUE(statusItem.isStripShown()) << "no host yet";

    ChildProcess indicators;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus.address());
    environment.remove(u"DISPLAY"_s);
    indicators.setEnvironment(environment);
    indicators.start(service, {}, ChildProcess::Output::discard);
    ASSERT_TRUE(eventually([&] { return item.isRegistered(); }));
    EXPECT_TRUE(eventually([&] { return !statusItem.isStripShown(); }));
    EXPECT_EQ(hosts.current().watcher, u"ayatana-indicator-application-service"_s);
    EXPECT_EQ(statusItem.strip()->isVisible(), false);

    // The program's widget alone also keeps it away; a strip that is on stays whatever happens.
    StatusItem forced(250);
    StripPresence on(forced, StripSetting::on, true, &item, &hosts, {});
    EXPECT_TRUE(forced.isStripShown());

    indicators.stop();
    EXPECT_TRUE(eventually([&] { return statusItem.isStripShown(); }));
    EXPECT_TRUE(statusItem.strip()->isVisible());
    EXPECT_TRUE(eventually([&] { return hosts.current().watcher.isEmpty(); }));
    automatic.setWidgetInPanel(true);
    EXPECT_FALSE(statusItem.isStripShown());
    EXPECT_TRUE(forced.isStripShown());
}
