#include "ColumnWindow.h"
#include "TerminalColumns.h"

#include <QString>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(ColumnWindow, StepsOneColumnAndWrapsWithoutASeam) {
    const ColumnWindow window(u"abcdef"_s);
    ASSERT_EQ(window.totalColumns(), 6);
    EXPECT_EQ(window.window(0, 4), u"abcd"_s);
    EXPECT_EQ(window.window(1, 4), u"bcde"_s);
    EXPECT_EQ(window.window(4, 4), u"efab"_s);
    EXPECT_EQ(window.window(6, 4), u"abcd"_s);
    EXPECT_EQ(window.window(-1, 4), u"fabc"_s);
    // A window wider than the text shows it repeated.
    EXPECT_EQ(window.window(2, 14), u"cdefabcdefabcd"_s);
}

TEST(ColumnWindow, EveryWindowIsExactlyAsWideAsAskedAndNeverCutsAWideCharacter) {
    const QString text =
        u"没有引语  \U0001F680  Không có trích dẫn  \u2600\uFE0F  e\u0301\n\U0001F1FB\U0001F1F3  "_s;
    const ColumnWindow window(text);
    ASSERT_EQ(window.totalColumns(), TerminalColumns::width(text));
    for (int columns : {1, 2, 3, 7, 30}) {
        for (qsizetype start = 0; start < window.totalColumns(); ++start) {
            const QString shown = window.window(start, columns);
            EXPECT_EQ(TerminalColumns::width(shown), columns) << start << " " << columns;
            EXPECT_FALSE(shown.contains(u'\n'));
        }
    }
    // The second half of a wide character at the left edge, and the first half at the right
    // edge, are spaces.
    EXPECT_EQ(window.window(1, 4), u" 有 "_s);
}

TEST(ColumnWindow, ControlCharactersShowAsBlanks) {
    EXPECT_EQ(ColumnWindow(u"a\tb\r\nc"_s).window(0, 6), u"a b  c"_s);
    EXPECT_EQ(ColumnWindow(u"\u0301x"_s).window(0, 2), u" \u0301x"_s);
}

TEST(ColumnWindow, LongTextsFindTheirColumnsAcrossTheRememberedStarts) {
    QString text;
    for (int i = 0; i < 2000; ++i)
        text += (i % 3 == 0) ? u"引"_s : u"ab"_s;
    const ColumnWindow window(text);
    for (qsizetype column = 0; column < window.totalColumns(); column += 97) {
        const qsizetype index = window.indexAtColumn(column);
        const qsizetype cellStart = TerminalColumns::width(QStringView(text).left(index));
        EXPECT_LE(cellStart, column);
        EXPECT_LT(column, cellStart + TerminalColumns::cellAt(text, index).width);
        EXPECT_EQ(window.window(column, 5), window.window(column + window.totalColumns(), 5));
    }
}

TEST(ColumnWindow, EmptyTextsAndStillTexts) {
    EXPECT_EQ(ColumnWindow().window(3, 4), u"    "_s);
    EXPECT_EQ(ColumnWindow().indexAtColumn(0), -1);
    EXPECT_EQ(ColumnWindow::fitted(u"No quotes"_s, 12), u"No quotes   "_s);
    EXPECT_EQ(ColumnWindow::fitted(u"没有引语"_s, 5), u"没有 "_s);
    EXPECT_EQ(ColumnWindow::fitted(u"abc"_s, 0), u""_s);
}
