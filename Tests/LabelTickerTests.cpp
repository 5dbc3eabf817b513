#include "ColumnWindow.h"
#include "LabelTicker.h"
#include "TerminalColumns.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Three quotes, one with wide characters, each with an emoji of the strip's set.
const QStringList segments = {u"alpha"_s,       u"  \U0001F31F  "_s,
                              u"béta 中文"_s,   u"  \u26A1\uFE0F  "_s,
                              u"gamma gamma"_s, u"  \U0001F680  "_s};
const QString stillText = u"No quotes"_s;

LabelTicker ticker(LabelMode mode, const QStringList& shown = segments) {
    LabelTicker made(LabelSettings{mode, 12, 250});
    made.setSegments(shown, stillText);
    return made;
}

} // namespace

TEST(LabelTicker, ScrollingLabelIsTheColumnWindowOfTheStripsTextRoundWithoutASeam) {
    LabelTicker label = ticker(LabelMode::scrolling);
    const ColumnWindow window(segments.join(QString()));
    for (qsizetype column = 0; column <= window.totalColumns() + 3; ++column) {
        ASSERT_EQ(label.label(), window.window(column, 12)) << "at column " << column;
        label.step();
    }
    EXPECT_EQ(TerminalColumns::width(label.guide()), 12) << "the guide is as wide as a label";
}

TEST(LabelTicker, JumpsToTheNextAndPreviousQuoteRoundTheList) {
    LabelTicker label = ticker(LabelMode::scrolling);
    auto startsWith = [&label](const QString& text) { return label.label().startsWith(text); };
    label.jumpQuotes(1);
    EXPECT_TRUE(startsWith(u"béta"_s)) << label.label().toStdString();
    label.jumpQuotes(2);
    EXPECT_TRUE(startsWith(u"alpha"_s));
    label.jumpQuotes(-1);
    EXPECT_TRUE(startsWith(u"gamma"_s));
    // Back from inside a quote goes to its start first, then to the one before.
    label.step();
    label.jumpQuotes(-1);
    EXPECT_TRUE(startsWith(u"gamma"_s));
    label.jumpQuotes(-1);
    EXPECT_TRUE(startsWith(u"béta"_s));

    LabelTicker quotes = ticker(LabelMode::quote);
    EXPECT_EQ(quotes.label(), u"alpha"_s);
    EXPECT_EQ(quotes.guide(), u"gamma gamma"_s) << "the widest quote";
    EXPECT_GE(quotes.interval(), 2000) << "a whole quote needs time to be read";
    quotes.step();
    EXPECT_EQ(quotes.tooltip(), u"béta 中文"_s);
    quotes.jumpQuotes(-2);
    EXPECT_EQ(quotes.label(), u"gamma gamma"_s);
}

TEST(LabelTicker, EmptyListAndOffModeStandStill) {
    LabelTicker empty = ticker(LabelMode::scrolling, {});
    EXPECT_FALSE(empty.moving());
    empty.step();
    empty.jumpQuotes(1);
    EXPECT_EQ(empty.label(), ColumnWindow::fitted(stillText, 12));
    EXPECT_EQ(empty.tooltip(), stillText);

    // A list that empties after quotes were shown.
    LabelTicker quotes = ticker(LabelMode::quote);
    quotes.step();
    quotes.setSegments({}, stillText);
    quotes.step();
    EXPECT_EQ(quotes.label(), stillText);

    LabelTicker off = ticker(LabelMode::off);
    EXPECT_FALSE(off.moving());
    EXPECT_TRUE(off.label().isEmpty() && off.guide().isEmpty());
}
