#include "DirectPicture.h"
#include "MainQueue.h"
#include "MarqueeView.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <gtest/gtest.h>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr int viewWidth = 250;
constexpr int viewHeight = 24;

// A marquee on a hand-driven clock and link, drawing its text in pure red so that text and
// (black) shadow can be told apart.
struct Marquee {
    ManualTiming manual;
    std::unique_ptr<MarqueeView> view;

    explicit Marquee(const QString& text = {}) {
        view = std::make_unique<MarqueeView>(QRect(0, 0, viewWidth, viewHeight), nullptr,
                                             manual.timing());
        QPalette palette = view->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        view->setPalette(palette);
        view->setText(text);
    }
    ManualDisplayLink& link() { return manual.link(); }
    // Ticks for the given time; at 64 Hz every step and offset is exact in binary.
    void run(double seconds, int ticksPerSecond = 64) {
        const int ticks = static_cast<int>(std::lround(seconds * ticksPerSecond));
        for (int i = 0; i < ticks; ++i) {
            manual.clock->advance(1.0 / ticksPerSecond);
            link().fire();
        }
    }
    // One tick after `seconds`.
    void tick(double seconds) {
        manual.clock->advance(seconds);
        link().fire();
    }
    QImage picture() { return view->grab().toImage().convertToFormat(QImage::Format_ARGB32); }
};

bool isText(QRgb pixel) {
    return qAlpha(pixel) >= 128 && qRed(pixel) >= 128 && qGreen(pixel) < 100;
}
// Anything drawn over the window background that a grab puts under a top-level widget.
bool isInk(QRgb pixel) {
    static const QRgb background = QWidget().palette().color(QPalette::Window).rgba();
    return pixel != background;
}

// Columns holding text (not just shadow).
std::vector<int> textColumns(const QImage& image) {
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (isText(image.pixel(x, y))) {
                columns.push_back(x);
                break;
            }
        }
    }
    return columns;
}

bool blank(const QImage& image, int fromColumn = 0) {
    for (int x = std::max(0, fromColumn); x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (isInk(image.pixel(x, y)))
                return false;
        }
    }
    return true;
}

// Whether image a, from column ax on, shows the same text as image b from column bx on, over
// `width` columns: the same pixels of text, whatever the shadow does near the edges.
::testing::AssertionResult sameText(const QImage& a, int ax, const QImage& b, int bx, int width) {
    for (int dx = 0; dx < width; ++dx) {
        for (int y = 0; y < a.height(); ++y) {
            if (isText(a.pixel(ax + dx, y)) != isText(b.pixel(bx + dx, y)))
                return ::testing::AssertionFailure() << "text differs at column " << ax + dx
                                                     << " against " << bx + dx << ", row " << y;
        }
    }
    return ::testing::AssertionSuccess();
}

// A text in which every character has the same width, so that positions can be computed.
QString blocks(int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += (i % 3 == 0) ? u"\u2588"_s : (i % 3 == 1 ? u"a"_s : u" "_s);
    return text;
}

} // namespace

TEST(MarqueeArithmetic, ATickMovesLeftAt45PixelsPerSecond) {
    EXPECT_DOUBLE_EQ(MarqueeView::advancedOffset(0, 1.0, 1000), -45.0);
    EXPECT_DOUBLE_EQ(MarqueeView::advancedOffset(-10, 1.0 / 60, 1000), -10.75);
    EXPECT_DOUBLE_EQ(MarqueeView::advancedOffset(-10, 0, 1000), -10);
}

TEST(MarqueeArithmetic, WrapsWithOneAdditionOnceTheOffsetReachesMinusTheWidth) {
    // Exactly -W wraps; one step above does not.
    EXPECT_EQ(MarqueeView::advancedOffset(0, 2.0, 90), 0.0);
    EXPECT_EQ(MarqueeView::advancedOffset(-45, 1.0, 90), 0.0);
    EXPECT_EQ(MarqueeView::advancedOffset(-44.25, 1.0, 90), -89.25);
    EXPECT_EQ(MarqueeView::advancedOffset(-80, 0.5, 90), -12.5);
    // A long gap adds the width once, not as a remainder.
    EXPECT_EQ(MarqueeView::advancedOffset(0, 10.0, 90), -360.0);
}

TEST(MarqueeArithmetic, ASecondCopyOnlyWhileTheFirstHasMovedLeftAndEndsInsideTheView) {
    EXPECT_FALSE(MarqueeView::secondCopyOrigin(0, 100, 250)) << "one copy at offset 0";
    EXPECT_EQ(MarqueeView::secondCopyOrigin(-1, 100, 250), 99.0);
    EXPECT_FALSE(MarqueeView::secondCopyOrigin(-50, 300, 250)) << "offset + W equal to the width";
    EXPECT_EQ(MarqueeView::secondCopyOrigin(-50.25, 300, 250), 249.75);
    EXPECT_FALSE(MarqueeView::secondCopyOrigin(-10, 400, 250));
}

TEST(MarqueeView, ANewTextStandsAtTheLeftEdgeVerticallyCentred) {
    Marquee marquee(blocks(60));
    const QImage picture = marquee.picture();
    const auto columns = textColumns(picture);
    ASSERT_FALSE(columns.empty());
    EXPECT_EQ(columns.front(), 0) << "a full block starts at the left edge";
    EXPECT_EQ(marquee.view->currentOffset(), 0.0);

    int top = viewHeight;
    int bottom = -1;
    for (int y = 0; y < viewHeight; ++y) {
        if (isText(picture.pixel(1, y))) {
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    EXPECT_LE(std::abs(top - (viewHeight - 1 - bottom)), 2)
        << "block from row " << top << " to " << bottom;
}

TEST(MarqueeView, TicksWorthOneSecondMoveTheText45PixelsLeft) {
    Marquee marquee(blocks(90));
    marquee.view->start();
    const QImage before = marquee.picture();
    marquee.run(1.0);
    EXPECT_NEAR(marquee.view->currentOffset(), -45.0, 1e-9);
    const QImage after = marquee.picture();
    EXPECT_TRUE(sameText(after, 0, before, 45, viewWidth - 45));
    EXPECT_FALSE(sameText(after, 0, before, 44, viewWidth - 45));
}

TEST(MarqueeView, TheSpeedDoesNotDependOnTheRefreshRate) {
    Marquee slow(blocks(90));
    Marquee fast(blocks(90));
    slow.view->start();
    fast.view->start();
    slow.run(2.0, 30);
    fast.run(2.0, 144);
    EXPECT_NEAR(slow.view->currentOffset(), -90.0, 1e-9);
    EXPECT_NEAR(fast.view->currentOffset(), -90.0, 1e-9);
}

TEST(MarqueeView, ANarrowTextIsDrawnOnceAtOffsetZeroAndAtMostTwiceWhileMoving) {
    Marquee marquee(u"\u2588\u2588  "_s);
    const double width = marquee.view->measuredTextWidth();
    const double blocks = width / 2; // two blocks and two blanks of equal width
    ASSERT_GT(width, 10);
    ASSERT_LT(width, 60);
    EXPECT_TRUE(blank(marquee.picture(), static_cast<int>(std::ceil(width)) + 4))
        << "nothing right of the first copy at offset 0";

    marquee.view->start();
    marquee.run(0.25); // 11.25 pixels left
    const double offset = marquee.view->currentOffset();
    ASSERT_EQ(offset, -11.25);
    const auto columns = textColumns(marquee.picture());
    ASSERT_FALSE(columns.empty());
    for (const int column : columns) {
        const bool inFirst = column < offset + blocks + 1;
        const bool inSecond = column >= offset + width - 1 && column < offset + width + blocks + 1;
        EXPECT_TRUE(inFirst || inSecond) << "text at column " << column;
    }
    EXPECT_EQ(columns.front(), 0) << "the rest of the first copy";
    EXPECT_TRUE(std::find(columns.begin(), columns.end(), static_cast<int>(offset + width) + 1) !=
                columns.end())
        << "the second copy";
    EXPECT_TRUE(blank(marquee.picture(), static_cast<int>(std::ceil(offset + width + blocks)) + 4))
        << "no third copy";
}

TEST(MarqueeView, TheSecondCopyStartsExactlyWhereTheFirstEnds) {
    const QString text = u"\u2588a\u2588 b\u2588  "_s;
    // The text with its second copy is the very picture of the text twice over, the second
    // time exactly its width after the first.
    Marquee once(text);
    Marquee twice;
    twice.view->setSegments({text, text});
    for (Marquee* marquee : {&once, &twice}) {
        marquee->view->start();
        marquee->tick(17.3 / MarqueeView::scrollSpeed);
    }
    // Up to the end of the second copy (beyond it, the text twice over has copies of its own).
    const int end = static_cast<int>(2 * once.view->measuredTextWidth() - 17.3) - 8;
    EXPECT_EQ(once.picture().copy(0, 0, end, viewHeight),
              twice.picture().copy(0, 0, end, viewHeight));
}

TEST(MarqueeView, TheTickThatReachesMinusTheWidthWrapsAndThePictureIsTheStartAgain) {
    Marquee marquee(blocks(45));
    const double width = marquee.view->measuredTextWidth();
    const QImage start = marquee.picture();
    marquee.view->start();
    const double step = width / MarqueeView::scrollSpeed;
    double expected = step * -MarqueeView::scrollSpeed;
    if (expected <= -width)
        expected += width;
    marquee.tick(step);
    EXPECT_EQ(marquee.view->currentOffset(), expected);
    EXPECT_GT(marquee.view->currentOffset(), -width);
    EXPECT_EQ(marquee.picture(), start) << "seamless: the picture after the wrap is the start";

    // Just past the wrap the text has moved on by the remainder only.
    marquee.view->setText(blocks(45));
    marquee.view->start();
    marquee.tick((width + 9) / MarqueeView::scrollSpeed);
    EXPECT_NEAR(marquee.view->currentOffset(), -9.0, 1e-9);
}

TEST(MarqueeView, AStopAPauseAndAStartDoNotJump) {
    Marquee marquee(blocks(90));
    marquee.view->start();
    marquee.run(1.0);
    marquee.view->stop();
    EXPECT_FALSE(marquee.link().fire()) << "no ticks while stopped";
    const double stoppedAt = marquee.view->currentOffset();
    marquee.manual.clock->advance(100);
    marquee.view->start();
    marquee.tick(1.0 / 60);
    EXPECT_NEAR(marquee.view->currentOffset(), stoppedAt - 0.75, 1e-9);
}

TEST(MarqueeView, ANewTextPutsTheOffsetBackToZeroWhetherRunningOrNot) {
    Marquee marquee(blocks(90));
    marquee.view->start();
    marquee.run(0.5);
    ASSERT_LT(marquee.view->currentOffset(), 0);
    marquee.view->setText(blocks(30));
    EXPECT_EQ(marquee.view->currentOffset(), 0.0);
    EXPECT_TRUE(marquee.view->isRunning());
    marquee.view->stop();
    marquee.view->setText(blocks(60));
    EXPECT_EQ(marquee.view->currentOffset(), 0.0);
    EXPECT_FALSE(marquee.view->isRunning());
}

TEST(MarqueeView, AnEmptyTextDrawsNothingWhateverTheOffset) {
    Marquee marquee(u""_s);
    EXPECT_EQ(marquee.view->measuredTextWidth(), 0.0);
    EXPECT_TRUE(blank(marquee.picture()));
    marquee.view->start();
    marquee.run(0.5);
    EXPECT_TRUE(blank(marquee.picture()));
}

TEST(MarqueeView, ALongTextStaysExactFarBeyondQtsFixedPointRange) {
    // A periodic text, 40 identical characters a period: 400,000 periods are over 100 million
    // pixels wide, where a position in 26.6 fixed point would have overflowed long before.
    const QString unit = u"Stay foolish, stay hungry.\u2588 1234567890  "_s;
    ASSERT_EQ(unit.size(), 40);
    QString text;
    text.reserve(unit.size() * 400'000);
    for (int i = 0; i < 400'000; ++i)
        text += unit;
    Marquee marquee(text);
    const double width = marquee.view->measuredTextWidth();
    const double period = width / 400'000;
    EXPECT_GT(width, 1e8);
    const QImage start = marquee.picture();

    marquee.view->start();
    marquee.tick(399'990 * period / MarqueeView::scrollSpeed);
    EXPECT_NEAR(marquee.view->currentOffset(), -399'990 * period, 1e-3);
    EXPECT_EQ(marquee.picture(), start) << "the text deep inside looks as it does at the start";
}

TEST(MarqueeView, ARealDisplayLinkScrollsAndStopsBeforeTheViewGoes) {
    auto clock = MediaClock::system();
    int linkRate = 0;
    MarqueeTiming timing{clock, [&linkRate](QWidget*) -> std::unique_ptr<DisplayLink> {
                             ++linkRate;
                             return std::make_unique<TimerDisplayLink>([] { return 240.0; });
                         }};
    for (int round = 0; round < 5; ++round) {
        auto view =
            std::make_unique<MarqueeView>(QRect(0, 0, viewWidth, viewHeight), nullptr, timing);
        view->setText(blocks(60));
        view->start();
        ASSERT_TRUE(eventually([&] { return view->currentOffset() < 0; }));
        // Text changes while ticks run, then teardown while ticks are in flight.
        for (int i = 0; i < 20; ++i) {
            view->setText(blocks(30 + i));
            QCoreApplication::processEvents();
        }
        view.reset();
        runMainQueue();
    }
    EXPECT_EQ(linkRate, 5);
}

TEST(MarqueeView, NoDisplayLinkMeansTheTextStandsStill) {
    MarqueeView view(QRect(0, 0, viewWidth, viewHeight), nullptr,
                     MarqueeTiming{MediaClock::system(), nullptr});
    view.setText(blocks(60));
    view.start();
    EXPECT_FALSE(view.isRunning());
    view.stop();
    EXPECT_EQ(view.currentOffset(), 0.0);
}

namespace {

// A visibility the test sets by hand.
class FakeVisibility final : public VisibilityWatch {
public:
    bool canBeSeen() const override { return seen; }
    void set(bool canBeSeen) {
        seen = canBeSeen;
        Q_EMIT canBeSeenChanged(seen);
    }

private:
    bool seen = true;
};

void send(QObject* target, QEvent::Type type) {
    QEvent event(type);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

TEST(MarqueeView, ThePointerOnTheViewOrItsButtonHoldsTheTextWhereItIs) {
    Marquee marquee(blocks(90));
    marquee.view->start();
    marquee.run(0.5);
    const double before = marquee.view->currentOffset();
    send(marquee.view.get(), QEvent::Enter);
    EXPECT_TRUE(marquee.view->isPausedByPointer());
    EXPECT_FALSE(marquee.link().fire()) << "no ticks, no wake-ups while the pointer rests";
    marquee.manual.clock->advance(30);
    send(marquee.view.get(), QEvent::Leave);
    marquee.tick(1.0 / 64);
    EXPECT_NEAR(marquee.view->currentOffset(), before - 45.0 / 64, 1e-9)
        << "the text goes on from the same place, without a jump";

    // A leave while stopped does not start the text; a stop while hovered keeps it stopped.
    send(marquee.view.get(), QEvent::Enter);
    marquee.view->stop();
    send(marquee.view.get(), QEvent::Leave);
    EXPECT_FALSE(marquee.view->isRunning());

    // The view lets the pointer through to the button it sits on, and hears of it from there.
    QWidget button;
    ManualTiming manual;
    MarqueeView hosted(QRect(0, 0, viewWidth, viewHeight), &button, manual.timing());
    hosted.setText(blocks(90));
    hosted.start();
    send(&button, QEvent::Enter);
    EXPECT_FALSE(hosted.isRunning());
    send(&button, QEvent::Leave);
    EXPECT_TRUE(hosted.isRunning());
}

// The strip's own menu grabs the pointer as it opens: the leave goes to the menu, and the view
// would wait for a leave that never comes.
TEST(MarqueeView, ThePauseOnHoverEndsWhenThePointerIsAwayThoughNoLeaveCame) {
    Marquee marquee(blocks(90));
    marquee.view->start();
    QCursor::setPos(QPoint(5000, 5000));
    send(marquee.view.get(), QEvent::Enter);
    EXPECT_TRUE(marquee.view->isPausedByPointer());
    EXPECT_TRUE(eventually([&] { return !marquee.view->isPausedByPointer(); }));
    EXPECT_TRUE(marquee.view->isRunning());
}

TEST(MarqueeView, NoTicksWhileTheWindowCannotBeSeenAndTheTextGoesOnFromWhereItWas) {
    ManualTiming manual;
    FakeVisibility* visibility = nullptr;
    MarqueeTiming timing = manual.timing();
    timing.watchVisibility = [&visibility](QWidget*) {
        auto watch = std::make_unique<FakeVisibility>();
        visibility = watch.get();
        return watch;
    };
    MarqueeView view(QRect(0, 0, viewWidth, viewHeight), nullptr, timing);
    ASSERT_TRUE(visibility);
    view.setText(blocks(90));
    view.start();
    manual.clock->advance(0.5);
    manual.link().fire();
    const double before = view.currentOffset();

    visibility->set(false);
    EXPECT_FALSE(view.isRunning());
    EXPECT_TRUE(view.isStarted());
    manual.clock->advance(600);
    visibility->set(true);
    EXPECT_TRUE(view.isRunning());
    manual.clock->advance(1.0 / 64);
    manual.link().fire();
    EXPECT_NEAR(view.currentOffset(), before - 45.0 / 64, 1e-9);

    // Hidden, then started by a new list: it waits until it can be seen.
    visibility->set(false);
    view.stop();
    view.setText(blocks(60));
    view.start();
    EXPECT_FALSE(view.isRunning());
    visibility->set(true);
    EXPECT_TRUE(view.isRunning());
}

TEST(MarqueeView, ALongListMovesAtOnceAndWrapsOnceItIsMeasured) {
    QStringList segments;
    for (int i = 0; i < 60'000; ++i)
        segments << u"Quote %1: what we think, we become."_s.arg(i) << u"  \u2728  "_s;
    Marquee marquee;
    marquee.view->setSegments(segments);
    ASSERT_FALSE(marquee.view->isTextComplete()) << "measured at once: nothing to test here";
    EXPECT_EQ(marquee.view->measuredTextWidth(), std::numeric_limits<double>::infinity());
    const QImage start = marquee.picture();
    EXPECT_FALSE(blank(start)) << "the first quotes show while the rest is measured";
    marquee.view->start();
    marquee.tick(1.0);
    EXPECT_NEAR(marquee.view->currentOffset(), -45, 1e-9);

    ASSERT_TRUE(eventually([&] { return marquee.view->isTextComplete(); }, 20'000));
    const double width = marquee.view->measuredTextWidth();
    Marquee atOnce(segments.join(QString()));
    EXPECT_DOUBLE_EQ(width, atOnce.view->measuredTextWidth());
    EXPECT_EQ(marquee.view->text(), atOnce.view->text());
    marquee.tick((width - 45) / MarqueeView::scrollSpeed);
    EXPECT_NEAR(marquee.view->currentOffset(), 0, 1e-6) << "it wraps now";
}

TEST(MarqueeView, FramesFollowEveryChangeOfTheTextItsColoursSizeAndPixelRatio) {
    // Each change is made to a view that has been scrolling, its tape drawn, and each alone;
    // what it shows next must be the picture painted directly for the new state.
    struct State {
        QString text = blocks(300);
        TextColors colors{Qt::red, QColor(0, 0, 0, 153)};
        QColor background = QColor(0x30, 0x30, 0x30);
        int width = viewWidth;
        QScreen* screen = QGuiApplication::primaryScreen();
    } state;
    Marquee marquee(blocks(400));
    const auto apply = [&] {
        marquee.view->setScreen(state.screen);
        marquee.view->setTextColors(state.colors);
        marquee.view->setBackground(state.background);
        marquee.view->resize(state.width, viewHeight);
    };
    const auto expectPainted = [&](const char* change) {
        marquee.run(1.3);
        const StyledText text(state.text, stripFont());
        const QImage expected =
            directPicture(text, text.width(), QSize(state.width, viewHeight),
                          state.screen->devicePixelRatio(), state.background, state.colors.label,
                          state.colors.shadow, marquee.view->currentOffset());
        EXPECT_EQ(marquee.picture(), expected.convertToFormat(QImage::Format_ARGB32))
            << "after a change of " << change;
    };
    apply();
    marquee.view->start();
    marquee.run(3);
    marquee.view->setText(state.text);
    expectPainted("text");
    state.colors.label = Qt::yellow;
    apply();
    expectPainted("text colour");
    state.colors.shadow = QColor(255, 255, 255, 120);
    apply();
    expectPainted("shadow colour");
    state.background = QColor(0xf0, 0xf0, 0xf0);
    apply();
    expectPainted("background");
    state.width = 180;
    apply();
    expectPainted("size");
    if (QGuiApplication::screens().size() > 1) {
        state.screen = QGuiApplication::screens().at(1);
        ASSERT_EQ(state.screen->devicePixelRatio(), 2);
        apply();
        expectPainted("pixel ratio");
    }
}
