// Which view shows the ticker: the strip, or the panel's label or the program's widget.

#include "ButtonImages.h"
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

// MATE's Notification Area alone, where GTK drops a button's icon beside its label: the item
// goes without a label. Catches an item with no icon there, and labels lost elsewhere.
TEST(StripChoice, AnItemGoesWithoutItsLabelOnlyWhereTheLabelWouldHideItsIcon) {
    const NotifierHosts mate{u"notification-area-applet"_s, {u"notification-area-applet"_s}};
    const NotifierHosts mateWithIndicators{u"notification-area-applet"_s,
                                           {u"ayatana-indicator-application-service"_s}};
    const NotifierHosts gnome{u"gnome-shell"_s, {}};
    struct Case {
        bool labelOn;
        const NotifierHosts& hosts;
        bool buttonImages, labelled;
        const char* why;
    };
    for (const Case& c : {Case{true, mate, false, false, "no icons on buttons: icon only"},
                          Case{true, mate, true, true, "icons on buttons: both"},
                          Case{true, mateWithIndicators, false, true, "the indicator applet too"},
                          Case{true, gnome, false, true, "GNOME draws no GTK button"},
                          Case{false, gnome, true, false, "the label off"}})
        EXPECT_EQ(StripChoice::itemHasLabel(c.labelOn, c.hosts, c.buttonImages), c.labelled)
            << c.why;
}

// XSETTINGS data as a settings manager publishes it, in either byte order. Catches a setting
// misread after a string or a colour, a byte order ignored, and data cut short read past its end.
TEST(ButtonImages, ReadFromTheSettingsManagersData) {
    auto settings = [](bool bigEndian, int buttonImages) {
        QByteArray data;
        auto card = [&](quint32 value, int bytes) {
            for (int i = 0; i < bytes; ++i)
                data.append(char(value >> 8 * (bigEndian ? bytes - 1 - i : i)));
        };
        auto name = [&](int type, const QByteArray& text) {
            card(quint32(type), 1);
            card(0, 1);
            card(quint32(text.size()), 2);
            data.append(text).append(QByteArray((4 - text.size() % 4) % 4, '\0'));
            card(7, 4); // the serial of its last change
        };
        card(bigEndian ? 1 : 0, 1);
        card(0, 3);
        card(42, 4);
        card(3, 4);
        name(1, "Net/ThemeName");
        card(5, 4);
        data.append("Menta").append(QByteArray(3, '\0'));
        name(2, "Gtk/Color");
        card(0, 4);
        card(0, 4);
        name(0, "Gtk/ButtonImages");
        card(quint32(buttonImages), 4);
        return data;
    };
    EXPECT_EQ(ButtonImages::fromXSettings(settings(false, 1)), true);
    EXPECT_EQ(ButtonImages::fromXSettings(settings(false, 0)), false);
    EXPECT_EQ(ButtonImages::fromXSettings(settings(true, 1)), true);
    EXPECT_EQ(ButtonImages::fromXSettings(settings(true, 0)), false);
    const QByteArray whole = settings(false, 1);
    EXPECT_EQ(ButtonImages::fromXSettings(whole.left(whole.size() - 2)), std::nullopt);
    EXPECT_EQ(ButtonImages::fromXSettings({}), std::nullopt);
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
