// Runs on two offscreen screens side by side, the second at a device pixel ratio of 2
// (support/two-screens.json).

#include "AppDelegate.h"
#include "TestSupport.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QMenu* screenMenu(const AppDelegate& delegate) {
    for (QAction* item : delegate.statusItem->menu()->actions()) {
        if (item->menu() && item->text() == u"Screen"_s)
            return item->menu();
    }
    return nullptr;
}

QAction* choice(QMenu* menu, const QString& name) {
    for (QAction* item : menu->actions()) {
        if (!item->isSeparator() && item->data().toString() == name)
            return item;
    }
    return nullptr;
}

QString storedScreen() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, u"Sayvane"_s, u"Sayvane"_s)
        .value(u"Screen"_s)
        .toString();
}

} // namespace

TEST(Screens, TheScreenMenuMovesTheStripAndTheChoiceIsKept) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    TempHome home;
    {
        AppDelegate delegate(AppEnvironment{home.path()});
        delegate.applicationDidFinishLaunching();
        runMainQueue();
        QWidget* strip = delegate.statusItem->strip();
        EXPECT_EQ(strip->geometry(), QRect(1030, 0, 250, 24)) << "the primary screen";

        QMenu* menu = screenMenu(delegate);
        ASSERT_TRUE(menu);
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), 4);
        EXPECT_EQ(items[0]->text(), u"Automatic"_s);
        EXPECT_TRUE(items[0]->isChecked());
        EXPECT_TRUE(items[1]->isSeparator());
        EXPECT_EQ(items[3]->data().toString(), u"RIGHT-2"_s);
        EXPECT_FALSE(items[3]->isChecked());

        choice(menu, u"RIGHT-2"_s)->trigger();
        EXPECT_EQ(strip->geometry(), QRect(1990, 0, 250, 24));
        EXPECT_EQ(delegate.statusItem->screen()->name(), u"RIGHT-2"_s);
        EXPECT_EQ(storedScreen(), u"RIGHT-2"_s);
        EXPECT_TRUE(choice(screenMenu(delegate), u"RIGHT-2"_s)->isChecked()) << "menu rebuilt";

        // Drawn at full resolution on the screen with two device pixels to a pixel.
        const QImage shot = strip->grab().toImage();
        EXPECT_EQ(shot.size(), QSize(500, 48));
        EXPECT_EQ(shot.devicePixelRatio(), 2.0);
    }
    {
        AppDelegate delegate(AppEnvironment{home.path()});
        delegate.applicationDidFinishLaunching();
        runMainQueue();
        EXPECT_EQ(delegate.statusItem->strip()->geometry(), QRect(1990, 0, 250, 24))
            << "the next run starts on the chosen screen";
        choice(screenMenu(delegate), QString())->trigger();
        EXPECT_EQ(delegate.statusItem->strip()->geometry(), QRect(1030, 0, 250, 24));
        EXPECT_TRUE(storedScreen().isEmpty());
    }
    // A chosen screen that is gone counts as no choice, and is kept for when it comes back.
    QSettings(QSettings::NativeFormat, QSettings::UserScope, u"Sayvane"_s, u"Sayvane"_s)
        .setValue(u"Screen"_s, u"HDMI-9"_s);
    AppDelegate delegate(AppEnvironment{home.path()});
    delegate.applicationDidFinishLaunching();
    runMainQueue();
    EXPECT_EQ(delegate.statusItem->strip()->geometry(), QRect(1030, 0, 250, 24));
    EXPECT_EQ(storedScreen(), u"HDMI-9"_s);
    EXPECT_TRUE(choice(screenMenu(delegate), QString())->isChecked());
}
