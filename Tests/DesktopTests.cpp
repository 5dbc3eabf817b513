// The strip under real window managers and panels: openbox with tint2, xfwm4 with xfce4-panel.
// Each test process starts its own Xvfb on a free display, the window manager, the strip and
// then the panel (as at a log-in with launch at login on), and stops them all at its end.

#include "StatusItem.h"
#include "TestSupport.h"
#include "X11Window.h"

#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct WindowManager {
    const char* name;
    const char* panel;
};

void PrintTo(const WindowManager& windowManager, std::ostream* out) {
    *out << windowManager.name << " with " << windowManager.panel;
}

class Desktop : public ::testing::TestWithParam<WindowManager> {
protected:
    void SetUp() override {
        for (const char* program : {"Xvfb", GetParam().name, GetParam().panel, "xdotool"}) {
            SAYVANE_REQUIRE_TOOL(
                !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty(), program);
        }
        ASSERT_NE(QGuiApplication::platformName(), u"offscreen"_s) << "Xvfb did not start";
        ASSERT_TRUE(x.isReady()) << x.error().toStdString();
        ASSERT_TRUE(x.startWindowManager(QString::fromLatin1(GetParam().name)))
            << x.error().toStdString();

        ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "no tray before the panel";
        item = std::make_unique<StatusItem>(250);
        ASSERT_TRUE(x.startPanel(QString::fromLatin1(GetParam().panel)));
        ASSERT_TRUE(eventually([this] { return item->strip()->geometry().top() > 0; }))
            << "the strip did not move below the panel";
    }

    void TearDown() override { item.reset(); }

    quint32 stripId() const { return quint32(item->strip()->winId()); }

    XSession x;
    std::unique_ptr<StatusItem> item;
};

} // namespace

TEST_P(Desktop, ReservesItsSpanBelowThePanelAndStacksBelowFullscreenWindows) {
    const QRect strip = item->strip()->frameGeometry();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(strip.size(), QSize(250, StatusItem::barHeight));
    EXPECT_EQ(strip.right(), screen.right());

    // The work area ends at the strip's bottom edge and stays there: the strip does not chase
    // its own reservation down the screen.
    ASSERT_TRUE(eventually([&] {
        return int(x.rootNumbers(u"_NET_WORKAREA"_s).value(1)) == strip.bottom() + 1;
    })) << "work area top "
        << x.rootNumbers(u"_NET_WORKAREA"_s).value(1);
    // Once the strip has answered a ping, it has handled the change of the work area; a new
    // placement it scheduled for it runs with the posted events.
    ASSERT_TRUE(x.ping(stripId()));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(item->strip()->frameGeometry(), strip);

    QWidget window;
    window.showMaximized();
    EXPECT_TRUE(eventually([&] {
        return window.isMaximized() && window.frameGeometry().height() > screen.height() / 2 &&
               window.frameGeometry().top() > strip.bottom();
    })) << "frame top "
        << window.frameGeometry().top() << ", strip bottom " << strip.bottom();

    // What the screen shows where the strip is, once the window goes fullscreen: the window.
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Qt::magenta);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.showFullScreen();
    window.activateWindow();
    auto stripCovered = [&] {
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, strip.x(), strip.y(), strip.width(), strip.height())
                                .toImage();
        return shot.pixelColor(shot.width() / 2, shot.height() / 2) == QColor(Qt::magenta) &&
               shot.pixelColor(5, 5) == QColor(Qt::magenta);
    };
    EXPECT_TRUE(eventually(stripCovered)) << "the strip stays above the fullscreen window";
    window.hide();
    EXPECT_TRUE(eventually([&] { return !stripCovered(); })) << "the strip comes back";

    // A panel that comes, or grows, within the strip's own reservation leaves the work area as
    // it was (a panel restarting at one height and settling at another): the strip follows the
    // panel's reservation all the same, and never lies under it.
    QWidget lowerPanel;
    makeX11DockWindow(&lowerPanel, "panel", "Panel");
    for (const int bottom : {strip.top() + 4, strip.top() + 10}) {
        lowerPanel.setGeometry(0, 0, screen.width(), bottom);
        lowerPanel.show();
        Strut reserved;
        reserved.top = bottom;
        reserved.topEndX = screen.width() - 1;
        setX11Strut(&lowerPanel, reserved);
        EXPECT_TRUE(eventually([&] { return item->strip()->geometry().top() == bottom; }))
            << "the strip at " << item->strip()->geometry().top() << ", the panel's edge at "
            << bottom;
    }
}

TEST_P(Desktop, NeverTheActiveWindowAndItsTrayIconDocksInALateTray) {
    EXPECT_TRUE(eventually([this] { return item->trayIcon()->geometry().isValid(); }))
        << "the icon did not dock in the tray that appeared after it";

    // A click on the strip drops its menu; a window of the program opens from it and is closed
    // through the window manager, as the editor is.
    auto* menu = new QMenu;
    menu->addAction(u"Edit Quotes..."_s);
    item->setMenu(menu);
    const QPoint middle = item->strip()->geometry().center();
    for (int round = 0; round < 2; ++round) {
        x.xdotool({u"mousemove"_s, QString::number(middle.x()), QString::number(middle.y()),
                   u"click"_s, u"1"_s});
        ASSERT_TRUE(eventually([menu] { return menu->isVisible(); }));
        EXPECT_NE(x.activeWindow(), stripId());
        menu->hide();
        QWidget editor;
        editor.resize(400, 300);
        editor.show();
        editor.activateWindow();
        ASSERT_TRUE(eventually([&] { return x.activeWindow() == editor.winId(); }));
        // On a loaded machine a key press now and then comes while the menu's keyboard grab is
        // still being let go, and never reaches the window manager: it is pressed again then.
        bool closed = false;
        for (int press = 0; press < 3 && !closed; ++press) {
            x.xdotool({u"key"_s, u"alt+F4"_s});
            closed = eventually([&] { return !editor.isVisible(); }, 4000);
        }
        ASSERT_TRUE(closed) << "Alt+F4 did not close a window opened from the strip's menu";
        // The window manager gives the focus on when the window goes: not to the strip.
        ASSERT_TRUE(eventually([&] { return x.activeWindow() != editor.winId(); }));
        EXPECT_NE(x.activeWindow(), stripId());
    }

    // Out of the task bar and the pager, and never offered the focus (WM_HINTS: the input
    // flag set and input false).
    EXPECT_FALSE(x.atomNames(stripId(), u"WM_PROTOCOLS"_s).contains(u"WM_TAKE_FOCUS"_s))
        << x.atomNames(stripId(), u"WM_PROTOCOLS"_s).join(u' ').toStdString();
    const QList<quint32> hints = x.numbers(stripId(), u"WM_HINTS"_s);
    EXPECT_TRUE(hints.size() >= 2 && (hints[0] & 1) && hints[1] == 0);
    EXPECT_TRUE(
        x.atomNames(stripId(), u"_NET_WM_STATE"_s).contains(u"_NET_WM_STATE_SKIP_TASKBAR"_s));
    EXPECT_TRUE(
        x.atomNames(stripId(), u"_NET_WM_WINDOW_TYPE"_s).contains(u"_NET_WM_WINDOW_TYPE_DOCK"_s));
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, Desktop,
                         ::testing::Values(WindowManager{"openbox", "tint2"},
                                           WindowManager{"xfwm4", "xfce4-panel"}),
                         [](const auto& info) { return std::string(info.param.name); });

int main(int argc, char* argv[]) {
    return runTestsUnderXvfb(argc, argv, u"1280x800x24"_s);
}
