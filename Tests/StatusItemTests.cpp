#include "StatusItem.h"
#include "TestSupport.h"

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(StatusItem, AStripOfItsLengthAtTheTopRightOfThePrimaryScreen) {
    StatusItem item(250);
    QWidget* strip = item.strip();
    ASSERT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->size(), QSize(250, StatusItem::barHeight));
    EXPECT_EQ(strip->windowTitle(), u"Sayvane"_s);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(strip->geometry().topRight(), available.topRight());
    const Qt::WindowFlags flags = strip->windowFlags();
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_FALSE(flags & Qt::WindowStaysOnTopHint) << "stacked as docks are, below fullscreen";
    EXPECT_TRUE(flags & Qt::WindowDoesNotAcceptFocus);
    EXPECT_EQ(item.length(), 250);
    ASSERT_TRUE(item.button());
    QCoreApplication::processEvents();
    EXPECT_EQ(item.button()->geometry(), strip->rect());
}

TEST(StatusItem, APressDropsTheMenuDownBelowTheStrip) {
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        StatusItem item(250);
        auto* menu = new QMenu;
        menu->addAction(u"Quit"_s);
        item.setMenu(menu);
        QTest::mouseClick(item.button(), button, {}, QPoint(100, 10));
        ASSERT_TRUE(eventually([menu] { return menu->isVisible(); }));
        const QPoint stripBottomLeft = item.strip()->mapToGlobal(QPoint(0, StatusItem::barHeight));
        EXPECT_EQ(menu->geometry().top(), stripBottomLeft.y());
        menu->hide();
    }
}

TEST(StatusItem, ANewMenuReplacesTheOldOne) {
    StatusItem item(250);
    auto* first = new QMenu;
    QPointer<QMenu> watch = first;
    item.setMenu(first);
    auto* second = new QMenu;
    item.setMenu(second);
    EXPECT_EQ(item.menu(), second);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull()) << "the replaced menu is deleted";
}

TEST(StatusBarButton, TheTitleIsDrawnUnderWhatItHosts) {
    StatusBarButton button;
    button.resize(250, 24);
    const QImage empty = button.grab().toImage();
    button.setTitle(u"Title"_s);
    EXPECT_NE(button.grab().toImage(), empty);
    button.setTitle(u""_s);
    EXPECT_EQ(button.grab().toImage(), empty);
}
