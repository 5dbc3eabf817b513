#include "QuoteImport.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(QuoteImport, PlainTextGivesOneTrimmedQuoteALineWithoutBlanks) {
    const QByteArray text =
        "\xEF\xBB\xBF  First one \r\n\n\t\nThứ hai\n天下大同\r\n   \nlast without break";
    EXPECT_EQ(QuoteImport::parse(text),
              (QStringList{u"First one"_s, u"Thứ hai"_s, u"天下大同"_s, u"last without break"_s}));
    EXPECT_TRUE(QuoteImport::parse("").isEmpty());
    EXPECT_TRUE(QuoteImport::parse("\n \n\t").isEmpty());
}

TEST(QuoteImport, FortuneEntriesKeepTheirLineBreaks) {
    const QByteArray fortune =
        "A stitch in time\nsaves nine.\n\t-- Proverb\n%\n\n%\r\nSecond\r\n%\n"
        "100% sure is not a separator\n%";
    EXPECT_EQ(QuoteImport::parse(fortune),
              (QStringList{u"A stitch in time\nsaves nine.\n\t-- Proverb"_s, u"Second"_s,
                           u"100% sure is not a separator"_s}));
}

TEST(QuoteImport, MergeSkipsQuotesAlreadyThereAndRepeats) {
    QStringList list{u"one"_s, u"two"_s, u"two"_s};
    EXPECT_EQ(QuoteImport::merge(list, {u"two"_s, u"three"_s, u"three"_s, u"One"_s}), 2);
    EXPECT_EQ(list, (QStringList{u"one"_s, u"two"_s, u"two"_s, u"three"_s, u"One"_s}));
    EXPECT_EQ(QuoteImport::merge(list, {}), 0);
}

TEST(QuoteImport, OldMacLineEndsAndQuotesFilesAreReadAsTheirQuotes) {
    EXPECT_EQ(QuoteImport::parse("one\rtwo\r\rthree"),
              (QStringList{u"one"_s, u"two"_s, u"three"_s}));
    // A kept copy of the quotes file: its quotes, not its lines of JSON.
    EXPECT_EQ(QuoteImport::parse("{\n  \"quotes\" : [\n    \"a\\/b\",\n    \"c\"\n  ]\n}\n"),
              (QStringList{u"a/b"_s, u"c"_s}));
}
