#include "DisplayController.h"
#include "Localization.h"
#include "StatusItem.h"
#include "TestSupport.h"

#include <QGuiApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <map>

using namespace Qt::StringLiterals;

namespace {

// Takes a display text apart by the quotes it was made from; returns the emoji after each
// quote, or nothing when the text does not have the expected shape.
std::optional<QStringList> emojisIn(const QString& text, const QStringList& quotes) {
    QStringList found;
    qsizetype at = 0;
    for (const QString& quote : quotes) {
        if (text.mid(at, quote.size()) != quote || text.mid(at + quote.size(), 2) != u"  "_s)
            return std::nullopt;
        at += quote.size() + 2;
        const auto emoji =
            std::find_if(DisplayController::emojis.begin(), DisplayController::emojis.end(),
                         [&](const QString& e) { return text.mid(at, e.size()) == e; });
        if (emoji == DisplayController::emojis.end())
            return std::nullopt;
        at += emoji->size();
        if (text.mid(at, 2) != u"  "_s)
            return std::nullopt;
        at += 2;
        found << *emoji;
    }
    if (at != text.size())
        return std::nullopt;
    return found;
}

struct Ticker {
    ManualTiming manual;
    StatusItem item{250};
    DisplayController controller{manual.timing()};

    void start(const QStringList& quotes = {}) {
        controller.statusItem = &item;
        controller.quotes = quotes;
        controller.startDisplay();
    }
    MarqueeView* marquee() const { return item.button()->findChild<MarqueeView*>(); }
};

} // namespace

TEST(DisplayController, TheFifteenEmojisByCodePoint) {
    const std::vector<std::vector<char32_t>> codePoints = {
        {0x1F31F},        {0x1F680}, {0x1F4A1}, {0x2728},         {0x1F525},
        {0x1F33F},        {0x1F34E}, {0x1F308}, {0x2600, 0xFE0F}, {0x1F319},
        {0x26A1, 0xFE0F}, {0x1F48E}, {0x1F3AF}, {0x1F3A8},        {0x1F9E9},
    };
    ASSERT_EQ(DisplayController::emojis.size(), codePoints.size());
    for (size_t i = 0; i < codePoints.size(); ++i) {
        const QList<uint> actual = DisplayController::emojis[i].toUcs4();
        EXPECT_EQ(std::vector<char32_t>(actual.begin(), actual.end()), codePoints[i])
            << "entry " << i;
    }
}

TEST(DisplayController, EveryQuoteIsFollowedByTwoSpacesAnEmojiAndTwoSpaces) {
    const QStringList quotes = {u"A"_s, u"B"_s, u""_s, u"  padded  "_s, u"Tiếng Việt 中文"_s,
                                u"A"_s};
    const QString text = DisplayText::of(quotes);
    const auto emojis = emojisIn(text, quotes);
    ASSERT_TRUE(emojis) << text.toStdString();
    EXPECT_EQ(emojis->size(), quotes.size());
    EXPECT_TRUE(text.startsWith(u"A  "_s));
    EXPECT_TRUE(text.endsWith(u"  "_s));
    EXPECT_TRUE(DisplayText::of({}).isEmpty());
}

TEST(DisplayController, EmojisAreDrawnUniformlyFromTheSet) {
    const QStringList quotes(150'000, u"q"_s);
    const auto emojis = emojisIn(DisplayText::of(quotes), quotes);
    ASSERT_TRUE(emojis);
    std::map<QString, int> counts;
    for (const QString& emoji : *emojis)
        ++counts[emoji];
    EXPECT_EQ(counts.size(), 15u) << "every emoji occurs";
    // Chi-squared with 14 degrees of freedom: above 60 happens by chance less than once in 10^7.
    const double expected = 150'000.0 / 15;
    double chiSquared = 0;
    for (const auto& [emoji, count] : counts)
        chiSquared += (count - expected) * (count - expected) / expected;
    EXPECT_LT(chiSquared, 60.0);
}

TEST(DisplayController, EachResetDrawsAnew) {
    const QStringList quotes(60, u"same"_s);
    EXPECT_NE(DisplayText::of(quotes), DisplayText::of(quotes));
}

TEST(DisplayController, AnEmptyListStandsStillWithTheNoQuotesTextOfTheLanguage) {
    LocalizationManager::shared().currentLanguage = AppLanguage::vietnamese;
    Ticker display;
    display.start();
    MarqueeView* marquee = display.marquee();
    ASSERT_TRUE(marquee);
    EXPECT_EQ(marquee->text(), u"Không có trích dẫn"_s);
    EXPECT_FALSE(marquee->isRunning());
    EXPECT_EQ(marquee->currentOffset(), 0.0);

    LocalizationManager::shared().currentLanguage = AppLanguage::chinese;
    display.controller.resetDisplay();
    EXPECT_EQ(marquee->text(), u"没有引语"_s);
    LocalizationManager::shared().currentLanguage = AppLanguage::english;
    display.controller.resetDisplay();
    EXPECT_EQ(marquee->text(), u"No quotes"_s);
    runMainQueue();
}

TEST(DisplayController, ANonEmptyListScrollsFromTheLeftEdgeAndEveryResetStartsAgain) {
    Ticker display;
    display.start({u"One short quote"_s});
    MarqueeView* marquee = display.marquee();
    ASSERT_TRUE(marquee);
    EXPECT_TRUE(emojisIn(marquee->text(), {u"One short quote"_s}));
    EXPECT_TRUE(marquee->isRunning()) << "a short list scrolls all the same";

    display.manual.clock->advance(1);
    display.manual.link().fire();
    EXPECT_NEAR(marquee->currentOffset(), -45, 1e-9);
    display.controller.resetDisplay();
    EXPECT_EQ(marquee->currentOffset(), 0.0);
    EXPECT_TRUE(marquee->isRunning());
}

TEST(DisplayController, FromEmptyToQuotesTheFirstStepCountsFromTheStart) {
    Ticker display;
    display.start();
    MarqueeView* marquee = display.marquee();
    EXPECT_FALSE(marquee->isRunning());
    display.manual.clock->advance(500);
    display.controller.quotes = {u"back"_s};
    display.controller.resetDisplay();
    EXPECT_TRUE(marquee->isRunning());
    display.manual.clock->advance(0.1);
    display.manual.link().fire();
    EXPECT_NEAR(marquee->currentOffset(), -4.5, 1e-9);

    display.controller.quotes.clear();
    display.controller.resetDisplay();
    EXPECT_FALSE(marquee->isRunning());
}

TEST(DisplayController, TheMarqueeCoversTheButtonExactly) {
    Ticker display;
    display.start({u"x"_s});
    MarqueeView* marquee = display.marquee();
    ASSERT_TRUE(marquee);
    QCoreApplication::processEvents();
    EXPECT_EQ(marquee->geometry(), display.item.button()->rect());
    EXPECT_EQ(marquee->width(), 250);
    EXPECT_EQ(marquee->height(), StatusItem::barHeight);
}

TEST(DisplayController, ResetsWithoutAnInstalledMarqueeChangeNothingAndDoNotFail) {
    ManualTiming manual;
    DisplayController controller(manual.timing());
    controller.quotes = {u"a"_s};
    controller.resetDisplay();
    controller.startDisplay(); // no status item
    controller.resetDisplay();
    EXPECT_EQ(*manual.lastLink, nullptr) << "no marquee was made";

    StatusItem item(250);
    controller.statusItem = &item;
    controller.resetDisplay();
    EXPECT_EQ(item.button()->findChild<MarqueeView*>(), nullptr);
}

TEST(DisplayController, AnItemThatGoesAwayTakesTheMarqueeWithIt) {
    ManualTiming manual;
    DisplayController controller(manual.timing());
    auto item = std::make_unique<StatusItem>(250);
    controller.statusItem = item.get();
    controller.quotes = {u"a"_s};
    controller.startDisplay();
    item.reset();
    EXPECT_EQ(controller.statusItem, nullptr);
    controller.resetDisplay();
    runMainQueue();
}

TEST(DisplayController, TheCurrentQuoteIsTheOneUnderTheMiddleOfTheStripRoundTheText) {
    const QStringList quotes = {u"Alpha"_s, u"Two\nlines"_s, u"Gamma ray"_s, u"Delta"_s};
    Ticker display;
    display.start(quotes);
    const double width = display.marquee()->measuredTextWidth();
    ASSERT_GT(width, 250) << "the text is wider than the strip, so its second copy shows";

    // One pixel a step, once round the text and a strip's width more: the quotes pass the
    // middle in their order (a line break kept as stored), and round again by the second copy.
    // Assistive technologies read the same quote as the marquee's name, told of a new one when
    // it comes, not at every frame.
    QSignalSpy told(display.marquee(), &MarqueeView::segmentAtMiddleChanged);
    QStringList passed = {display.controller.currentQuote()};
    for (int step = 0; step < int(width) + 250; ++step) {
        display.manual.clock->advance(1.0 / MarqueeView::scrollSpeed);
        display.manual.link().fire();
        if (const QString quote = display.controller.currentQuote(); quote != passed.last()) {
            passed.append(quote);
            EXPECT_EQ(display.marquee()->accessibleName(), quote);
        }
    }
    ASSERT_GE(passed.size(), quotes.size() + 1) << passed.join(u" | "_s).toStdString();
    EXPECT_LE(told.size(), 2 * passed.size()) << "a quote and its separator each, at most";
    const qsizetype first = quotes.indexOf(passed.first());
    ASSERT_GE(first, 0);
    for (qsizetype i = 0; i < passed.size(); ++i)
        EXPECT_EQ(passed[i], quotes[(first + i) % quotes.size()]) << i;

    display.controller.quotes.clear();
    display.controller.resetDisplay();
    EXPECT_EQ(display.controller.currentQuote(), QString()) << "the no-quotes text is no quote";
    EXPECT_EQ(display.marquee()->accessibleName(), u"No quotes"_s);
}
