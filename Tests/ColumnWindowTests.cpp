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

TEST(ColumnWindow, SegmentsReadAsTheJoinedTextAlsoWhereACellGoesOnIntoTheNext) {
    // Boundaries before a combining mark, after a joiner, inside a flag and a skin tone, around
    // empty segments and wide characters, as well as the ticker's own quote and separator.
    const std::vector<QStringList> splits = {
        {u"Quote one"_s, u"  \U0001F31F  "_s, u"引语 two"_s, u"  \u2600\uFE0F  "_s},
        {u"ab"_s, u"\u0301cd"_s, u"e"_s},
        {u"x \U0001F469\u200D"_s, u"\U0001F4BB y"_s},
        {u"\U0001F1FB"_s, u"\U0001F1F3 z"_s, u""_s, u"\U0001F44D"_s, u"\U0001F3FD!"_s},
        {u""_s, u"没有"_s, u""_s, u""_s, u"引语"_s, u""_s},
        {u"a"_s, u"\uFE0F"_s, u"b"_s},
    };
    for (const QStringList& segments : splits) {
        const QString joined = segments.join(QString());
        const ColumnWindow whole(joined);
        const ColumnWindow parts(segments);
        ASSERT_EQ(parts.totalColumns(), whole.totalColumns()) << joined.toStdString();
        for (qsizetype column = -3; column < whole.totalColumns() + 3; ++column) {
            for (const int columns : {1, 3, 8}) {
                EXPECT_EQ(parts.window(column, columns), whole.window(column, columns))
                    << joined.toStdString() << " at " << column;
            }
            EXPECT_EQ(parts.indexAtColumn(column), whole.indexAtColumn(column));
        }
        qsizetype segmentStart = 0;
        for (qsizetype s = 0; s < segments.size() && segmentStart < joined.size(); ++s) {
            EXPECT_EQ(parts.columnOfSegment(s), whole.columnAtIndex(segmentStart))
                << joined.toStdString() << ", segment " << s;
            segmentStart += segments[s].size();
        }
        for (qsizetype index = 0; index < joined.size(); ++index)
            EXPECT_EQ(parts.columnAtIndex(index), whole.columnAtIndex(index));
    }
}
