#include "StripPlacement.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QSize strip(250, 24);

Strut topPanel(int height, int firstX, int lastX) {
    Strut strut;
    strut.top = height;
    strut.topStartX = firstX;
    strut.topEndX = lastX;
    return strut;
}

} // namespace

TEST(StripPlacement, TopRightCornerBelowTopPanelsAndLeftOfRightOnes) {
    const QRect screen(0, 0, 1280, 800);
    const QSize root(1280, 800);
    EXPECT_EQ(StripPlacement::stripRect(screen, root, {}, strip), QRect(1030, 0, 250, 24));

    // The deepest top band over the screen wins; a band over other columns only does not count.
    const QList<Strut> panels = {topPanel(30, 0, 1279), topPanel(40, 0, 600)};
    EXPECT_EQ(StripPlacement::stripRect(screen, root, panels, strip), QRect(1030, 40, 250, 24));
    EXPECT_EQ(StripPlacement::stripRect(screen, root, {topPanel(40, 2000, 2500)}, strip),
              QRect(1030, 0, 250, 24));

    // A right panel beside the strip's rows pushes it left; one lower down does not.
    Strut right;
    right.right = 48;
    right.rightStartY = 0;
    right.rightEndY = 799;
    EXPECT_EQ(StripPlacement::stripRect(screen, root, {right}, strip), QRect(982, 0, 250, 24));
    right.rightStartY = 100;
    EXPECT_EQ(StripPlacement::stripRect(screen, root, {right}, strip), QRect(1030, 0, 250, 24));
}

TEST(StripPlacement, ItsReservationCoversExactlyTheStripDownToItsBottom) {
    const QRect screen(0, 0, 1280, 800);
    const QList<Strut> others = {topPanel(30, 0, 1279)};
    const QRect first = StripPlacement::stripRect(screen, QSize(1280, 800), others, strip);
    const Strut own = StripPlacement::strutOf(first);
    EXPECT_EQ(own.top, 54) << "down to the strip's bottom";
    EXPECT_EQ(own.topStartX, 1030);
    EXPECT_EQ(own.topEndX, 1279) << "exactly the strip's columns";
    EXPECT_EQ(own.left + own.right + own.bottom, 0);
}

TEST(StripPlacement, ScaledStripAndShortScreens) {
    // At a device pixel ratio of 2 the strip covers twice the root pixels.
    EXPECT_EQ(StripPlacement::stripRect(QRect(0, 0, 1280, 800), QSize(3200, 1080),
                                        {topPanel(30, 0, 1279)}, QSize(500, 48)),
              QRect(780, 30, 500, 48));
    // A top band deeper than the screen (a panel of a taller neighbour) stops at its bottom.
    EXPECT_EQ(StripPlacement::stripRect(QRect(0, 0, 800, 20), QSize(3200, 1080),
                                        {topPanel(30, 0, 900)}, strip)
                  .top(),
              20);
}

TEST(StripPlacement, TheChosenScreenThenThePanelsThenThePrimary) {
    const QList<QRect> screens = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080)};
    const QStringList names = {u"DP-1"_s, u"HDMI-1"_s};
    const QList<Strut> panelOnSecond = {topPanel(28, 1280, 3199)};
    EXPECT_EQ(StripPlacement::chooseScreen(screens, names, 0, u"DP-1"_s, panelOnSecond), 0);
    EXPECT_EQ(StripPlacement::chooseScreen(screens, names, 0, u""_s, panelOnSecond), 1);
    EXPECT_EQ(StripPlacement::chooseScreen(screens, names, 0, u"gone"_s, panelOnSecond), 1)
        << "a screen that is no longer there counts as no choice";
    EXPECT_EQ(StripPlacement::chooseScreen(screens, names, 1, u""_s, {}), 1);
    EXPECT_EQ(StripPlacement::chooseScreen(screens, names, -1, u""_s, {}), 0);
    EXPECT_EQ(StripPlacement::chooseScreen({}, {}, 0, u"DP-1"_s, panelOnSecond), -1);
}

TEST(StripPlacement, BelowBarsThatOnlyTheWorkAreaTellsOf) {
    const QRect screen(0, 0, 1280, 720);
    // GNOME Shell's 32-pixel top bar is no window: the work area starts below it.
    EXPECT_EQ(StripPlacement::stripRect(screen, QSize(1280, 720), {}, strip, 32),
              QRect(1030, 32, 250, 24));
    // Struts of windows and the work area: the deeper wins.
    EXPECT_EQ(
        StripPlacement::stripRect(screen, QSize(1280, 720), {topPanel(40, 0, 1279)}, strip, 32)
            .top(),
        40);
    // A work area of another screen's rows says nothing about this one.
    EXPECT_EQ(
        StripPlacement::stripRect(QRect(0, 720, 1280, 720), QSize(1280, 1440), {}, strip, 32).top(),
        720);

    struct Case {
        int workAreaTop, ownReservation, previous, expected;
        const char* why;
    };
    for (const Case& c : {
             Case{32, 0, 0, 32, "no reservation of its own yet: the work area is the bars'"},
             Case{56, 56, 32, 32, "the window manager counts the strip's reservation"},
             Case{32, 56, 32, 32, "a window manager that does not count it (mutter)"},
             Case{70, 56, 32, 70, "a bar deeper than the strip"},
             Case{0, 24, 0, 0, "no bar at all"},
         }) {
        EXPECT_EQ(StripPlacement::barsBottom(c.workAreaTop, c.ownReservation, c.previous),
                  c.expected)
            << c.why;
    }
}
