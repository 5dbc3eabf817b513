// The real program under openbox in Xvfb, on a session bus of the test's own with its
// accessibility bus: the Preferences window, the strip, the menu and the editor found and driven
// through AT-SPI by their accessible names, as a screen reader finds them, and the strip checked
// on the X server after each change.

#include "AccessibleTree.h"
#include "ChildProcess.h"
#include "PrivateBus.h"
#include "QuoteManager.h"
#include "QuotesDocument.h"
#include "TestSupport.h"
#include "XSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

using Node = AccessibleTree::Node;

const QString program = QStringLiteral(SAYVANE_EXECUTABLE);
// Long and without repeats, so that the strip's picture tells how far it moved.
const QString longQuote =
    u"Quick zebras jump over lazy dogs while seven wise owls count the falling leaves of "
    u"autumn gardens near the river"_s;

QString output(const QString& name, const QStringList& arguments) {
    return runProgram(name, arguments).out.trimmed();
}

int run(const QStringList& arguments) {
    return runProgram(program, arguments, std::nullopt, 30000).status;
}

class PreferencesWindow : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* needed : {"openbox", "xdotool", "xprop"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(needed)).isEmpty())
                GTEST_SKIP() << needed << " is not installed";
        }
        if (!QFile::exists(u"/usr/share/dbus-1/services/org.a11y.Bus.service"_s))
            GTEST_SKIP() << "at-spi2-core is not installed";
        ASSERT_NE(QGuiApplication::platformName(), u"offscreen"_s) << "Xvfb did not start";
        ASSERT_TRUE(bus.isRunning()) << bus.error().toStdString();
        bus.makeSessionBus();
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
        // Qt's bridge to AT-SPI, on whether or not a screen reader has asked for it.
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        writeBytes(home.quotesFile(), QuotesDocument::encode({longQuote}));
        ASSERT_TRUE(x.isReady()) << x.error().toStdString();
        ASSERT_TRUE(x.startWindowManager(u"openbox"_s));
        tree = std::make_unique<AccessibleTree>(bus.connect(u"test"_s));
        ASSERT_TRUE(tree->isConnected()) << tree->error().toStdString();
        startProgram();
    }

    void TearDown() override {
        sayvane.stop();
        tree.reset();
    }

    void startProgram() {
        ASSERT_TRUE(sayvane.start(program, {}, ChildProcess::Output::discard));
        app = tree->application(u"Sayvane"_s);
        ASSERT_FALSE(app.isNull()) << "the program is not in the accessibility tree";
        strip = tree->find(app, u"frame"_s, u"Sayvane"_s);
        ASSERT_FALSE(strip.isNull());
    }

    // The window as a keyboard shortcut opens it. (Qt leaves popup menus out of the tree a
    // screen reader walks; it reads them from their focus events.)
    Node openPreferences(const QString& title = u"Preferences"_s) {
        EXPECT_EQ(run({u"--preferences"_s}), 0);
        return tree->find(app, u"dialog"_s, title);
    }

    // The control of the role and name in the group of that title.
    Node control(const Node& window, const QString& group, const QString& role,
                 const QString& name) {
        const Node box = tree->find(window, u"panel"_s, group);
        return box.isNull() ? Node() : tree->find(box, role, name);
    }

    // The strip's reservation of the top edge: depth, first and last column.
    QList<int> strut() {
        const QString id =
            x.xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Sayvane$"_s});
        const QString line =
            output(u"xprop"_s, {u"-id"_s, id, u"-notype"_s, u"_NET_WM_STRUT_PARTIAL"_s});
        QList<int> numbers;
        for (const QString& part : line.section(u'=', 1).split(u','))
            numbers.append(part.trimmed().toInt());
        if (numbers.size() != 12)
            return {};
        return {numbers[2], numbers[8], numbers[9]};
    }

    bool stripIs(const QRect& expected) {
        return eventually([&] {
            return tree->extents(strip) == expected &&
                   strut() == QList<int>{expected.bottom() + 1, expected.left(), expected.right()};
        });
    }

    // Pixels a second: the shift that best lays the strip's picture over the one taken a
    // moment later.
    double measuredSpeed() {
        const QRect area = tree->extents(strip);
        const auto picture = [&] {
            return QGuiApplication::primaryScreen()
                ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                .toImage()
                .convertToFormat(QImage::Format_Grayscale8);
        };
        const QImage before = picture();
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(600);
        const QImage after = picture();
        const double seconds = double(clock.elapsed()) / 1000;
        int best = 0;
        double least = 1e18;
        for (int shift = 1; shift < before.width() * 2 / 3; ++shift) {
            double difference = 0;
            for (int y = 0; y < before.height(); ++y) {
                const uchar* early = before.constScanLine(y);
                const uchar* late = after.constScanLine(y);
                for (int x = 0; x + shift < before.width(); ++x)
                    difference += std::abs(early[x + shift] - late[x]);
            }
            if (difference /= before.width() - shift; difference < least) {
                least = difference;
                best = shift;
            }
        }
        return best / seconds;
    }

    PrivateBus bus;
    TempHome home;
    XSession x;
    ChildProcess sayvane;
    std::unique_ptr<AccessibleTree> tree;
    Node app;
    Node strip;
};

} // namespace

TEST_F(PreferencesWindow, ControlsFoundByNameMoveResizeAndSpeedUpTheStripAndAreKept) {
    const int screen = QGuiApplication::primaryScreen()->geometry().width();
    ASSERT_TRUE(stripIs({screen - 250, 0, 250, 24}));
    const Node window = openPreferences();
    ASSERT_FALSE(window.isNull());
    EXPECT_EQ(tree->name(tree->find(window, u"label"_s,
                                    [](const QString& name) {
                                        return name.startsWith(u"No panel here shows the ticker"_s);
                                    }))
                  .isEmpty(),
              false)
        << "the window says which ticker shows and why";

    const Node width = control(window, u"Strip"_s, u"spin box"_s, u"Width"_s);
    ASSERT_TRUE(tree->setValue(width, 400));
    EXPECT_TRUE(stripIs({screen - 400, 0, 400, 24}));
    ASSERT_TRUE(
        tree->doAction(control(window, u"Strip"_s, u"radio button"_s, u"Left"_s), u"toggle"_s));
    EXPECT_TRUE(stripIs({0, 0, 400, 24}));
    ASSERT_TRUE(tree->setValue(control(window, u"Strip"_s, u"spin box"_s, u"Text size"_s), 20));
    EXPECT_TRUE(stripIs({0, 0, 400, 30}));

    EXPECT_NEAR(measuredSpeed(), 45, 12);
    ASSERT_TRUE(tree->setValue(control(window, u"Strip"_s, u"spin box"_s, u"Speed"_s), 150));
    EXPECT_NEAR(measuredSpeed(), 150, 35);

    // The other doors: the command line, and the file edited by hand.
    ASSERT_EQ(run({u"--set"_s, u"StripWidth=300"_s}), 0);
    EXPECT_TRUE(stripIs({0, 0, 300, 30}));
    ASSERT_TRUE(replaceByRename(home.quotesFolder() + u"/Sayvane.conf"_s,
                                readBytes(home.quotesFolder() + u"/Sayvane.conf"_s)
                                    .replace("StripAlign=left", "StripAlign=center")));
    EXPECT_TRUE(stripIs({(screen - 300) / 2, 0, 300, 30}));

    // Kept across a restart.
    sayvane.stop();
    startProgram();
    EXPECT_TRUE(stripIs({(screen - 300) / 2, 0, 300, 30}));
}

TEST_F(PreferencesWindow, TurningTheStripOffIsRefusedWhileItIsTheOnlyWayToTheMenu) {
    const Node window = openPreferences();
    const Node never = control(window, u"Strip"_s, u"radio button"_s, u"Never"_s);
    ASSERT_TRUE(tree->doAction(never, u"toggle"_s));
    EXPECT_FALSE(tree->find(window, u"label"_s,
                            [](const QString& name) {
                                return name.startsWith(
                                    u"The strip stays: no panel item or tray icon"_s);
                            })
                     .isNull());
    EXPECT_TRUE(tree->states(control(window, u"Strip"_s, u"radio button"_s, u"Automatically"_s))
                    .contains(u"checked"_s));
    EXPECT_FALSE(tree->states(never).contains(u"checked"_s));
    EXPECT_EQ(output(program, {u"--get"_s, u"Strip"_s}), u"auto"_s);

    // Another door may: no window and no reservation then, and the window says so; on again.
    ASSERT_EQ(run({u"--set"_s, u"Strip=off"_s}), 0);
    EXPECT_TRUE(eventually(
        [&] { return !tree->states(strip).contains(u"showing"_s) && strut().isEmpty(); }));
    EXPECT_TRUE(tree->states(never).contains(u"checked"_s));
    EXPECT_FALSE(
        tree->find(window, u"label"_s, u"The strip is off, and no panel shows the ticker."_s)
            .isNull());
    ASSERT_EQ(run({u"--set"_s, u"Strip=on"_s}), 0);
    const int screen = QGuiApplication::primaryScreen()->geometry().width();
    EXPECT_TRUE(stripIs({screen - 250, 0, 250, 24}));
}

TEST_F(PreferencesWindow, InChineseNoEnglishIsLeftAndTabGoesThroughTheFormInOrder) {
    ASSERT_EQ(run({u"--set"_s, u"AppLanguage=zh"_s}), 0);
    const Node window = openPreferences(u"偏好设置"_s);
    ASSERT_FALSE(window.isNull());
    // No word of Latin letters but names that are the same in every language, and the names
    // the system gives its screens.
    static const QRegularExpression word(u"\\p{L}+"_s);
    static const QRegularExpression latin(u"[A-Za-z]"_s);
    QStringList names = {u"Sayvane"_s, u"English"_s, u"Tiếng"_s, u"Việt"_s};
    for (const QScreen* screen : QGuiApplication::screens())
        names.append(screen->name());
    for (const Node& node : tree->subtree(window)) {
        for (const QString& text : {tree->name(node), tree->description(node)}) {
            for (const auto& found : word.globalMatch(text)) {
                const QString letters = found.captured();
                EXPECT_TRUE(!letters.contains(latin) || names.contains(letters))
                    << tree->role(node).toStdString() << ": " << text.toStdString();
            }
        }
    }

    // From the first choice on, each Tab goes to the next control down the form.
    const Node automatic = control(window, u"条带"_s, u"radio button"_s, u"自动"_s);
    ASSERT_TRUE(tree->doAction(automatic, u"SetFocus"_s));
    const auto focused = [&] {
        for (const Node& node : tree->subtree(window)) {
            if (tree->states(node).contains(u"focused"_s))
                return node;
        }
        return Node();
    };
    Node now;
    ASSERT_TRUE(eventually([&] { return (now = focused()).path == automatic.path; }));
    QStringList visited;
    for (int i = 0; i < 6; ++i) {
        visited.append(tree->name(now));
        x.xdotool({u"key"_s, u"Tab"_s});
        const Node before = now;
        (void)eventually([&] { return !(now = focused()).isNull() && now.path != before.path; });
    }
    // (A combo box is named by its choice; its label is a relation.)
    EXPECT_EQ(visited,
              (QStringList{u"自动"_s, u"自动"_s, u"右"_s, u"宽度"_s, u"字号"_s, u"速度"_s}));
}

TEST_F(PreferencesWindow, AScreenReaderReadsThePassingQuoteAndEveryControlOfTheEditor) {
    // The strip: a label named after the quote under its middle.
    const Node ticker = tree->find(strip, u"label"_s, longQuote);
    EXPECT_FALSE(ticker.isNull());
    EXPECT_FALSE(tree->description(ticker).isEmpty());

    // Its button opens the menu.
    EXPECT_TRUE(tree->doAction(tree->find(strip, u"push button"_s, u"Sayvane"_s), u"press"_s));
    x.xdotool({u"key"_s, u"Escape"_s});

    writeBytes(home.quotesFile(), QuotesDocument::encode({u"First"_s, u"Second"_s}));
    ASSERT_EQ(run({u"--reload"_s}), 0);
    ASSERT_EQ(run({u"--set"_s, u"StripSpeed=300"_s}), 0);
    // The name follows the quotes as they pass: both are read in turn.
    QSet<QString> read;
    EXPECT_TRUE(eventually([&] {
        read.insert(tree->name(ticker));
        return read.contains(u"First"_s) && read.contains(u"Second"_s);
    }));

    ASSERT_EQ(run({u"--edit"_s}), 0);
    const Node editor = tree->find(app, u"frame"_s, u"Edit Quotes"_s);
    ASSERT_FALSE(editor.isNull());
    for (const auto& [role, name] : {std::pair(u"text"_s, u"New quote"_s),
                                     {u"push button"_s, u"Add"_s},
                                     {u"push button"_s, u"Import Quotes"_s},
                                     {u"text"_s, u"Quote 1"_s},
                                     {u"push button"_s, u"Delete quote 2"_s}})
        EXPECT_FALSE(tree->find(editor, role, name).isNull()) << name.toStdString();
    // No control is left unnamed.
    static const QStringList controls = {u"push button"_s, u"text"_s, u"list"_s, u"menu item"_s,
                                         u"check box"_s};
    for (const Node& node : tree->subtree(editor)) {
        if (controls.contains(tree->role(node))) {
            EXPECT_FALSE(tree->name(node).isEmpty()) << tree->role(node).toStdString();
        }
    }
    // Deleting by name, without a pointer.
    ASSERT_TRUE(
        tree->doAction(tree->find(editor, u"push button"_s, u"Delete quote 2"_s), u"press"_s));
    EXPECT_TRUE(eventually([&] {
        QString error;
        return QuoteManager::listFromFile(readBytes(home.quotesFile()), &error) ==
               QStringList{u"First"_s};
    }));
}

int main(int argc, char* argv[]) {
    return runTestsUnderXvfb(argc, argv, u"1024x600x24"_s);
}
