// The strip under real window managers and panels: openbox with tint2, xfwm4 with xfce4-panel.
// Each test process starts its own Xvfb on a free display, the window manager, the strip and
// then the panel (as at a log-in with launch at login on), and stops them all at its end.

#include "StatusItem.h"
#include "TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A program in a process group of its own, so that it stops with whatever it started.
class Session {
public:
    ~Session() { stop(); }
    void start(const QString& program, const QStringList& arguments, bool readOutput = false) {
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (!readOutput)
            process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        process.waitForStarted(5000);
    }
    QString readLine(int ms) {
        process.waitForReadyRead(ms);
        return QString::fromUtf8(process.readLine()).trimmed();
    }
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

QString output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The numbers of a property of the root window, as xprop prints them.
QList<qulonglong> rootNumbers(const QString& property) {
    QList<qulonglong> numbers;
    static const QRegularExpression number(u"(0x[0-9a-f]+|\\d+)"_s);
    const QString line = output(u"xprop"_s, {u"-root"_s, u"-notype"_s, property});
    const qsizetype start = std::max(line.indexOf(u'='), line.indexOf(u'#'));
    for (const auto& match : number.globalMatch(line.mid(std::max<qsizetype>(start, 0))))
        numbers.append(match.captured(1).toULongLong(nullptr, 0));
    return start < 0 ? QList<qulonglong>() : numbers;
}

bool eventually(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 10000);
}

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
        for (const char* program :
             {"Xvfb", GetParam().name, GetParam().panel, "xprop", "xdotool", "dbus-daemon"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                GTEST_SKIP() << program << " is not installed";
        }
        ASSERT_NE(QGuiApplication::platformName(), u"offscreen"_s) << "Xvfb did not start";
        if (QString::fromLatin1(GetParam().name) == u"xfwm4") {
            // xfwm4 and xfce4-panel keep their settings through xfconf, on a session bus.
            bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s},
                      true);
            qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine(5000).toUtf8());
            windowManager.start(u"xfwm4"_s, {u"--compositor=off"_s});
        } else {
            windowManager.start(u"openbox"_s, {});
        }
        ASSERT_TRUE(
            eventually([] { return !rootNumbers(u"_NET_SUPPORTING_WM_CHECK"_s).isEmpty(); }));

        ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "no tray before the panel";
        item = std::make_unique<StatusItem>(250);
        if (QString::fromLatin1(GetParam().panel) == u"tint2") {
            // The stock configuration, with its system tray, at the top.
            QString config = QString::fromUtf8(readBytes(u"/etc/xdg/tint2/tint2rc"_s));
            config.replace(u"panel_position = bottom"_s, u"panel_position = top"_s);
            QFile file(home.filePath(u"tint2rc"_s));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(config.toUtf8()) > 0);
            file.close();
            panel.start(u"tint2"_s, {u"-c"_s, file.fileName()});
        } else {
            // xfce4-panel's default for a new home: at the top, with a tray.
            panel.start(u"xfce4-panel"_s, {});
        }
        ASSERT_TRUE(eventually([this] { return item->strip()->geometry().top() > 0; }))
            << "the strip did not move below the panel";
    }

    void TearDown() override {
        item.reset();
        panel.stop();
        windowManager.stop();
        bus.stop();
    }

    qulonglong stripId() const { return item->strip()->winId(); }

    QTemporaryDir home;
    Session bus, windowManager, panel;
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
        return int(rootNumbers(u"_NET_WORKAREA"_s).value(1)) == strip.bottom() + 1;
    })) << "work area top "
        << rootNumbers(u"_NET_WORKAREA"_s).value(1);
    QTest::qWait(300);
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
        output(u"xdotool"_s, {u"mousemove"_s, QString::number(middle.x()),
                              QString::number(middle.y()), u"click"_s, u"1"_s});
        ASSERT_TRUE(eventually([menu] { return menu->isVisible(); }));
        EXPECT_NE(rootNumbers(u"_NET_ACTIVE_WINDOW"_s).value(0), stripId());
        menu->hide();
        QWidget editor;
        editor.resize(400, 300);
        editor.show();
        editor.activateWindow();
        ASSERT_TRUE(eventually(
            [&] { return rootNumbers(u"_NET_ACTIVE_WINDOW"_s).value(0) == editor.winId(); }));
        // On a loaded machine a key press now and then comes while the menu's keyboard grab is
        // still being let go, and never reaches the window manager: it is pressed again then.
        bool closed = false;
        for (int press = 0; press < 3 && !closed; ++press) {
            output(u"xdotool"_s, {u"key"_s, u"alt+F4"_s});
            closed = QTest::qWaitFor([&] { return !editor.isVisible(); }, 4000);
        }
        ASSERT_TRUE(closed) << "Alt+F4 did not close a window opened from the strip's menu";
        QTest::qWait(400);
        EXPECT_NE(rootNumbers(u"_NET_ACTIVE_WINDOW"_s).value(0), stripId());
    }

    // Out of the task bar and the pager, and never offered the focus.
    const QString properties =
        output(u"xprop"_s, {u"-id"_s, QString::number(stripId()), u"WM_PROTOCOLS"_s, u"WM_HINTS"_s,
                            u"_NET_WM_STATE"_s, u"_NET_WM_WINDOW_TYPE"_s});
    EXPECT_FALSE(properties.contains(u"WM_TAKE_FOCUS"_s)) << properties.toStdString();
    EXPECT_TRUE(properties.contains(u"accepts input or input focus: False"_s));
    EXPECT_TRUE(properties.contains(u"_NET_WM_STATE_SKIP_TASKBAR"_s));
    EXPECT_TRUE(properties.contains(u"_NET_WM_WINDOW_TYPE_DOCK"_s));
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, Desktop,
                         ::testing::Values(WindowManager{"openbox", "tint2"},
                                           WindowManager{"xfwm4", "xfce4-panel"}),
                         [](const auto& info) { return std::string(info.param.name); });

int main(int argc, char* argv[]) {
    return runTestsUnderXvfb(argc, argv, u"1280x800x24"_s);
}
