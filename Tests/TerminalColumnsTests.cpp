#include "TerminalColumns.h"

#include <QString>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using TerminalColumns::width;

TEST(TerminalColumns, WideAndFullWidthCharactersTakeTwoColumns) {
    EXPECT_EQ(width(u"abc"_s), 3);
    EXPECT_EQ(width(u"没有引语"_s), 8);
    EXPECT_EQ(width(u"ＡＢ"_s), 4);       // full-width Latin
    EXPECT_EQ(width(u"한국어"_s), 6);     // precomposed Hangul
    EXPECT_EQ(width(u"\U00020000"_s), 2); // CJK extension B, outside the first plane
    EXPECT_EQ(width(u"«—»"_s), 3);        // ambiguous and neutral punctuation stays narrow
}

TEST(TerminalColumns, MarksAndJoinersTakeNone) {
    // Vietnamese precomposed and with combining marks: the same columns.
    EXPECT_EQ(width(u"Không có trích dẫn"_s), 18);
    EXPECT_EQ(width(u"Kho\u0302ng co\u0301"_s), width(u"Không có"_s));
    EXPECT_EQ(width(u"a\u200Bb\u00ADc"_s), 3);    // zero-width space, soft hyphen
    EXPECT_EQ(width(u"\u1100\u1161\u11A8"_s), 2); // Hangul syllable from its jamo
    // A mark with nothing before it is shown on a blank.
    EXPECT_EQ(width(u"\u0301a"_s), 2);
}

TEST(TerminalColumns, EmojiShownAsPicturesTakeTwoColumns) {
    EXPECT_EQ(width(u"\U0001F680"_s), 2);
    EXPECT_EQ(width(u"\u2600"_s), 1);       // text presentation by default
    EXPECT_EQ(width(u"\u2600\uFE0F"_s), 2); // ... unless asked for a picture
    EXPECT_EQ(width(u"\u26A1\uFE0F"_s), 2);
    EXPECT_EQ(width(u"\U0001F44D\U0001F3FD"_s), 2); // skin tone
    EXPECT_EQ(width(u"\U0001F1FB\U0001F1F3"_s), 2); // a flag
    EXPECT_EQ(width(u"\U0001F1FB\U0001F1F3\U0001F1E8"_s), 4);
    // Family: three emoji joined into one picture.
    EXPECT_EQ(width(u"\U0001F468\u200D\U0001F469\u200D\U0001F467"_s), 2);
    // A joiner between letters joins nothing visible.
    EXPECT_EQ(width(u"a\u200Db"_s), 2);
}

TEST(TerminalColumns, ControlsAndBrokenTextCountAsOneColumnEach) {
    EXPECT_EQ(width(u"a\nb\tc\u2028"_s), 6);
    const QChar lone[] = {QChar(0xD800), u'x', QChar(0xDC00)};
    EXPECT_EQ(width(QStringView(lone, 3)), 3);
    // A joiner or presentation selector after a blank changes nothing.
    EXPECT_EQ(width(u"\n\uFE0F\u200D\U0001F680"_s), 3);
}

TEST(TerminalColumns, CellsKeepWhatBelongsTogether) {
    const QString text = u"e\u0301\U0001F468\u200D\U0001F469x"_s;
    const TerminalColumns::Cell first = TerminalColumns::cellAt(text, 0);
    EXPECT_EQ(first.end, 2);
    EXPECT_EQ(first.width, 1);
    const TerminalColumns::Cell second = TerminalColumns::cellAt(text, first.end);
    EXPECT_EQ(second.end, text.size() - 1);
    EXPECT_EQ(second.width, 2);
}
