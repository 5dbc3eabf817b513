// The strip on a real X server with a real window manager and panel: openbox with tint2, and
// xfwm4 with xfce4-panel. Each test process starts its own Xvfb (on a free display number), the
// window manager, the strip and then the panel, and stops them all when it ends.

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
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

pid_t xServer = -1;
QString xServerProblem;

// Starts Xvfb on a display number it picks itself (-displayfd) and points the process at it.
bool startXServer() {
    if (QStandardPaths::findExecutable(u"Xvfb"_s).isEmpty()) {
        xServerProblem = u"Xvfb is not installed"_s;
        return false;
    }
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return false;
    xServer = ::fork();
    if (xServer == 0) {
        ::close(pipeEnds[0]);
        const std::string fd = std::to_string(pipeEnds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24",
                 "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    QByteArray number;
    pollfd wait{pipeEnds[0], POLLIN, 0};
    while (::poll(&wait, 1, 10000) > 0) {
        char c;
        if (::read(pipeEnds[0], &c, 1) != 1 || c == '\n')
            break;
        number.append(c);
    }
    ::close(pipeEnds[0]);
    if (number.isEmpty()) {
        xServerProblem = u"Xvfb did not start"_s;
        return false;
    }
    qputenv("DISPLAY", ":" + number);
    return true;
}

void stopXServer() {
    if (xServer > 0) {
        ::kill(xServer, SIGTERM);
        ::waitpid(xServer, nullptr, 0);
    }
}

// A program run to its end, with what it printed.
QString output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(5000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QList<qulonglong> rootNumbers(const QString& property) {
    QList<qulonglong> numbers;
    static const QRegularExpression number(u"(0x[0-9a-f]+|\\d+)"_s);
    const QString line = output(u"xprop"_s, {u"-root"_s, u"-notype"_s, property});
    const qsizetype start = line.indexOf(u'=') >= 0 ? line.indexOf(u'=') : line.indexOf(u'#');
    if (start < 0)
        return numbers;
    for (const auto& match : number.globalMatch(line.mid(start)))
        numbers.append(match.captured(1).toULongLong(nullptr, 0));
    return numbers;
}

// Runs the event loop until the condition holds, for at most `ms` milliseconds.
bool eventually(const std::function<bool()>& condition, int ms = 10000) {
    return QTest::qWaitFor(condition, ms);
}

// A process group of its own, so that a session and whatever it starts stop together.
class Session {
public:
    ~Session() { stop(); }
    void start(const QString& program, const QStringList& arguments) {
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, arguments);
        process.waitForStarted(5000);
    }
    void stop() {
        if (process.state() == QProcess::NotRunning)
            return;
        ::kill(-pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(3000))
            ::kill(-pid_t(process.processId()), SIGKILL);
        process.waitForFinished(1000);
    }

private:
    QProcess process;
};

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
        if (xServer <= 0)
            GTEST_SKIP() << xServerProblem.toStdString();
        for (const char* program : {GetParam().name, GetParam().panel, "xprop", "dbus-daemon"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                GTEST_SKIP() << program << " is not installed";
        }
        const QString wm = QString::fromLatin1(GetParam().name);
        if (wm == u"xfwm4") {
            // xfwm4 and the panel keep their settings through xfconf, on a session bus.
            QProcess bus;
            bus.start(u"dbus-daemon"_s,
                      {u"--session"_s, u"--fork"_s, u"--print-address=1"_s, u"--print-pid=1"_s});
            bus.waitForFinished(5000);
            const QStringList lines = QString::fromUtf8(bus.readAllStandardOutput()).split(u'\n');
            ASSERT_GE(lines.size(), 2);
            qputenv("DBUS_SESSION_BUS_ADDRESS", lines[0].toUtf8());
            busPid = lines[1].toInt();
            windowManager.start(u"xfwm4"_s, {u"--compositor=off"_s});
        } else {
            windowManager.start(wm, {});
        }
        ASSERT_TRUE(eventually([] {
            return !rootNumbers(u"_NET_SUPPORTING_WM_CHECK"_s).isEmpty();
        })) << "the window manager did not start";
    }

    void TearDown() override {
        item.reset();
        panel.stop();
        windowManager.stop();
        if (busPid > 0)
            ::kill(busPid, SIGTERM);
    }

    // The strip first and the panel after it, as at a log-in with launch at login on.
    void startStripThenPanel() {
        item = std::make_unique<StatusItem>(250);
        ASSERT_TRUE(eventually([this] { return item->strip()->isVisible(); }));
        if (QString::fromLatin1(GetParam().panel) == u"tint2") {
            // The stock configuration with the panel at the top; it has a system tray.
            QString config = QString::fromUtf8(readBytes(u"/etc/xdg/tint2/tint2rc"_s));
            config.replace(u"panel_position = bottom"_s, u"panel_position = top"_s);
            QFile file(home.filePath(u"tint2rc"_s));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(config.toUtf8());
            file.close();
            panel.start(u"tint2"_s, {u"-c"_s, file.fileName()});
        } else {
            // A fresh home gets xfce4-panel's default: a panel at the top with a tray.
            panel.start(u"xfce4-panel"_s, {});
        }
        ASSERT_TRUE(eventually([this] { return item->strip()->geometry().top() > 0; }))
            << "the strip did not move below the panel";
    }

    qulonglong stripId() const { return item->strip()->winId(); }

    QTemporaryDir home;
    Session windowManager;
    Session panel;
    int busPid = 0;
    std::unique_ptr<StatusItem> item;
};

} // namespace

TEST_P(Desktop, TheStripReservesItsSpanBelowThePanelAndMaximisedWindowsStartBelowIt) {
    startStripThenPanel();
    const QRect strip = item->strip()->frameGeometry();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(strip.size(), QSize(250, StatusItem::barHeight));
    EXPECT_EQ(strip.right(), screen.right());

    // The work area ends at the strip's bottom edge, and stays there: the strip does not chase
    // its own reservation down the screen.
    ASSERT_TRUE(eventually([&] {
        const QList<qulonglong> area = rootNumbers(u"_NET_WORKAREA"_s);
        return area.size() >= 4 && int(area[1]) == strip.bottom() + 1;
    })) << "work area top "
        << rootNumbers(u"_NET_WORKAREA"_s).value(1);
    QTest::qWait(300);
    EXPECT_EQ(item->strip()->frameGeometry(), strip);

    QWidget window;
    window.setWindowTitle(u"Maximised"_s);
    window.showMaximized();
    ASSERT_TRUE(eventually([&] {
        return window.isMaximized() && window.frameGeometry().height() > screen.height() / 2 &&
               window.frameGeometry().top() >= strip.bottom() + 1;
    })) << "frame top "
        << window.frameGeometry().top() << ", strip bottom " << strip.bottom();
}

TEST_P(Desktop, AFocusedFullscreenWindowGoesAboveTheStrip) {
    startStripThenPanel();
    QWidget window;
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Qt::magenta);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.showFullScreen();
    window.activateWindow();

    // What the screen shows where the strip is: the fullscreen window's colour.
    const QRect strip = item->strip()->frameGeometry();
    auto stripCovered = [&] {
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, strip.x(), strip.y(), strip.width(), strip.height())
                                .toImage();
        return !shot.isNull() &&
               shot.pixelColor(shot.width() / 2, shot.height() / 2) == QColor(Qt::magenta) &&
               shot.pixelColor(5, 5) == QColor(Qt::magenta);
    };
    EXPECT_TRUE(eventually(stripCovered)) << "the strip stays above the fullscreen window";

    window.hide();
    EXPECT_TRUE(eventually([&] { return !stripCovered(); })) << "the strip comes back";
}

TEST_P(Desktop, TheStripIsNeverTheActiveWindowAndTheTrayIconDocksLate) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "no tray before the panel";
    startStripThenPanel();
    EXPECT_TRUE(eventually([this] { return item->trayIcon()->geometry().isValid(); }))
        << "the icon did not dock in the tray that appeared after it";

    // A click on the strip drops its menu; then a window of the program comes and goes, as the
    // editor does when chosen from that menu.
    auto menu = new QMenu;
    menu->addAction(u"Edit Quotes..."_s);
    item->setMenu(menu);
    const QPoint middle = item->strip()->geometry().center();
    for (int round = 0; round < 2; ++round) {
        output(u"xdotool"_s, {u"mousemove"_s, QString::number(middle.x()),
                              QString::number(middle.y()), u"click"_s, u"1"_s});
        ASSERT_TRUE(eventually([menu] { return menu->isVisible(); }));
        EXPECT_NE(rootNumbers(u"_NET_ACTIVE_WINDOW"_s).value(0), stripId());
        menu->hide();
        auto editor = std::make_unique<QWidget>();
        editor->setWindowTitle(u"Editor"_s);
        editor->resize(400, 300);
        editor->show();
        editor->activateWindow();
        ASSERT_TRUE(eventually(
            [&] { return rootNumbers(u"_NET_ACTIVE_WINDOW"_s).value(0) == editor->winId(); }));
        // Closed the way a user does, through the window manager.
        output(u"xdotool"_s, {u"key"_s, u"alt+F4"_s});
        ASSERT_TRUE(eventually([&] { return !editor->isVisible(); }));
        QTest::qWait(400);
        EXPECT_NE(rootNumbers(u"_NET_ACTIVE_WINDOW"_s).value(0), stripId());
    }

    // Out of the task bar and the pager, never offered the focus.
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
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    isolateTestProcess(home);
    qputenv("QT_QPA_PLATFORM", "xcb");
    // The strip's colours and the menus follow no desktop theme here.
    qunsetenv("XDG_CURRENT_DESKTOP");
    // Listing the tests needs no X server.
    const bool listing = ::testing::GTEST_FLAG(list_tests);
    if (listing || !startXServer()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        xServer = -1;
    }
    int status = 0;
    {
        QApplication application(argc, argv);
        status = RUN_ALL_TESTS();
    }
    stopXServer();
    return status;
}
