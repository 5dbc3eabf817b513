#include "ColumnWindow.h"
#include "LabelTicker.h"
#include "TerminalColumns.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Three quotes, one with wide characters, each with an emoji of the strip's set.
const QStringList segments = {u"alpha"_s,       u"  \U0001F31F  "_s,
                              u"béta 中文"_s,   u"  \u26A1\uFE0F  "_s,
                              u"gamma gamma"_s, u"  \U0001F680  "_s};
const QString stillText = u"No quotes"_s;

LabelSettings settings(LabelMode mode, int columns = 12) {
    LabelSettings made;
    made.mode = mode;
    made.columns = columns;
    return made;
}

} // namespace

TEST(LabelTicker, ScrollingLabelIsTheColumnWindowOfTheStripsTextRoundWithoutASeam) {
    LabelTicker ticker(settings(LabelMode::scrolling));
    ticker.setSegments(segments, stillText);
    const ColumnWindow window(segments.join(QString()));
    ASSERT_TRUE(ticker.moving());
    const QString first = ticker.label();
    for (qsizetype column = 0; column <= window.totalColumns() + 3; ++column) {
        ASSERT_EQ(ticker.label(), window.window(column, 12)) << "at column " << column;
        ASSERT_EQ(TerminalColumns::width(ticker.label()), 12);
        ticker.step();
    }
    // Once round, the label is where it began.
    LabelTicker again(settings(LabelMode::scrolling));
    again.setSegments(segments, stillText);
    for (qsizetype i = 0; i < window.totalColumns(); ++i)
        again.step();
    EXPECT_EQ(again.label(), first);
    // The guide is as wide as every label.
    EXPECT_EQ(TerminalColumns::width(ticker.guide()), 12);
}

TEST(LabelTicker, TooltipIsTheQuoteUnderTheMiddle) {
    LabelTicker ticker(settings(LabelMode::scrolling, 4));
    ticker.setSegments(segments, stillText);
    EXPECT_EQ(ticker.tooltip(), u"alpha"_s);
    for (int i = 0; i < 10; ++i)
        ticker.step();
    EXPECT_EQ(ticker.tooltip(), u"béta 中文"_s);
}

TEST(LabelTicker, ScrollingJumpsToTheNextAndPreviousQuoteRoundTheList) {
    LabelTicker ticker(settings(LabelMode::scrolling));
    ticker.setSegments(segments, stillText);
    ticker.jumpQuotes(1);
    EXPECT_TRUE(ticker.label().startsWith(u"béta"_s)) << ticker.label().toStdString();
    ticker.jumpQuotes(1);
    EXPECT_TRUE(ticker.label().startsWith(u"gamma"_s));
    ticker.jumpQuotes(1);
    EXPECT_TRUE(ticker.label().startsWith(u"alpha"_s));
    ticker.jumpQuotes(-1);
    EXPECT_TRUE(ticker.label().startsWith(u"gamma"_s));
    // Back from inside a quote goes to its start first, then to the one before.
    ticker.step();
    ticker.step();
    ticker.jumpQuotes(-1);
    EXPECT_TRUE(ticker.label().startsWith(u"gamma"_s));
    ticker.jumpQuotes(-1);
    EXPECT_TRUE(ticker.label().startsWith(u"béta"_s));
}

TEST(LabelTicker, QuoteModeShowsEachQuoteWholeWithTheWidestAsGuide) {
    LabelTicker ticker(settings(LabelMode::quote));
    ticker.setSegments(segments, stillText);
    EXPECT_EQ(ticker.label(), u"alpha"_s);
    EXPECT_EQ(ticker.tooltip(), u"alpha"_s);
    EXPECT_EQ(ticker.guide(), u"gamma gamma"_s);
    EXPECT_GE(ticker.interval(), 2000) << "a whole quote needs time to be read";
    ticker.step();
    EXPECT_EQ(ticker.label(), u"béta 中文"_s);
    ticker.jumpQuotes(-2);
    EXPECT_EQ(ticker.label(), u"gamma gamma"_s);
}

TEST(LabelTicker, EmptyListAndOffModeStandStill) {
    LabelTicker ticker(settings(LabelMode::scrolling));
    ticker.setSegments({}, stillText);
    EXPECT_FALSE(ticker.moving());
    EXPECT_EQ(ticker.label(), ColumnWindow::fitted(stillText, 12));
    ticker.step();
    ticker.jumpQuotes(1);
    EXPECT_EQ(ticker.label(), ColumnWindow::fitted(stillText, 12));
    EXPECT_EQ(ticker.tooltip(), stillText);

    // A list that empties after quotes were shown.
    LabelTicker quotes(settings(LabelMode::quote));
    quotes.setSegments(segments, stillText);
    quotes.step();
    quotes.setSegments({}, stillText);
    EXPECT_EQ(quotes.label(), stillText);
    quotes.step();
    EXPECT_EQ(quotes.label(), stillText);

    LabelTicker off(settings(LabelMode::off));
    off.setSegments(segments, stillText);
    EXPECT_FALSE(off.moving());
    EXPECT_TRUE(off.label().isEmpty());
    EXPECT_TRUE(off.guide().isEmpty());
}

TEST(LabelSettings, BadValuesFallBackAndNumbersAreBroughtIntoRange) {
    QTemporaryDir folder;
    QSettings file(folder.filePath(u"Sayvane.conf"_s), QSettings::IniFormat);
    LabelSettings read = LabelSettings::read(file);
    EXPECT_EQ(read.mode, LabelMode::scrolling);
    EXPECT_EQ(read.columns, 30);
    EXPECT_EQ(read.intervalMilliseconds, 250);

    file.setValue(u"Label"_s, u" Quote "_s);
    file.setValue(u"LabelColumns"_s, u"12"_s);
    file.setValue(u"LabelInterval"_s, u"400"_s);
    read = LabelSettings::read(file);
    EXPECT_EQ(read.mode, LabelMode::quote);
    EXPECT_EQ(read.columns, 12);
    EXPECT_EQ(read.intervalMilliseconds, 400);

    file.setValue(u"Label"_s, u"sideways"_s);
    file.setValue(u"LabelColumns"_s, u"99999999999999999999"_s);
    file.setValue(u"LabelInterval"_s, u"10"_s);
    read = LabelSettings::read(file);
    EXPECT_EQ(read.mode, LabelMode::scrolling);
    EXPECT_EQ(read.columns, 30) << "a number too long to read is no number";
    EXPECT_EQ(read.intervalMilliseconds, LabelSettings::minimumInterval);

    file.setValue(u"Label"_s, u"off"_s);
    file.setValue(u"LabelColumns"_s, u"-3"_s);
    file.setValue(u"LabelInterval"_s, u"soon"_s);
    read = LabelSettings::read(file);
    EXPECT_EQ(read.mode, LabelMode::off);
    EXPECT_EQ(read.columns, LabelSettings::minimumColumns);
    EXPECT_EQ(read.intervalMilliseconds, 250);
}
