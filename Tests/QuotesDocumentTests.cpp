#include "QuotesDocument.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Decodes with both readers and checks that they agree: they accept the same documents and read
// the same lists from them.
std::optional<QuotesDocument::Content> decode(const QByteArray& bytes, QString* error = nullptr) {
    QString ignored;
    const auto strict = QuotesDocument::decodeStrict(bytes, error ? error : &ignored);
    const auto fast = QuotesDocument::decodeFast(bytes);
    EXPECT_FALSE(fast && !strict) << "only the fast reader accepts: "
                                  << bytes.left(200).toStdString();
    if (fast && strict) {
        EXPECT_EQ(fast->hasQuotes, strict->hasQuotes) << bytes.left(200).toStdString();
        EXPECT_EQ(fast->quotes, strict->quotes) << bytes.left(200).toStdString();
        EXPECT_EQ(fast->others, strict->others) << bytes.left(200).toStdString();
        EXPECT_EQ(fast->quotesPosition, strict->quotesPosition);
        EXPECT_EQ(fast->hasRepeatedNames, strict->hasRepeatedNames);
    }
    QString combinedError;
    const auto combined = QuotesDocument::decode(bytes, &combinedError);
    EXPECT_EQ(combined.has_value(), strict.has_value());
    return strict;
}

QString decodeError(const QByteArray& bytes) {
    QString error;
    EXPECT_FALSE(QuotesDocument::decode(bytes, &error)) << "accepted: " << bytes.toStdString();
    return error;
}

} // namespace

TEST(QuotesDocument, WritesPrettyPrintedJsonWithEscapedSlashes) {
    EXPECT_EQ(QuotesDocument::encode({u"a/b"_s, u"say \"hi\""_s}),
              "{\n  \"quotes\" : [\n    \"a\\/b\",\n    \"say \\\"hi\\\"\"\n  ]\n}\n");
    EXPECT_EQ(QuotesDocument::encode({}), "{\n  \"quotes\" : [\n\n  ]\n}\n");
}

TEST(QuotesDocument, EveryKindOfTextComesBackUnchanged) {
    const QStringList quotes = {
        u""_s,
        u"line one\nline two\r\n"_s,
        u"back\\slash \"quoted\" /slash/ \t tab"_s,
        QString(u"nul \0 inside"_s),
        u"bell \a, escape \x1b, delete \x7f"_s,
        u"Đừng bao giờ từ bỏ ước mơ"_s,
        u"千里之行，始于足下"_s,
        u"🌟 ☀️ ⚡️ 🧩 👩‍💻"_s,
        u"\u2028 and \u2029 and \u0085"_s,
        u"\uFEFFa quote that begins with a byte order mark"_s,
        u"\uFEFF\uFEFF"_s,
    };
    const QByteArray bytes = QuotesDocument::encode(quotes);
    EXPECT_FALSE(bytes.contains('\0'));
    EXPECT_TRUE(bytes.contains("\\u0000"));
    EXPECT_TRUE(QString::fromUtf8(bytes).toUtf8() == bytes) << "not valid UTF-8";
    const auto content = decode(bytes);
    ASSERT_TRUE(content);
    EXPECT_TRUE(content->hasQuotes);
    EXPECT_EQ(content->quotes, quotes);
}

TEST(QuotesDocument, BothReadersTakeAByteOrderMarkAndNulEscapes) {
    const auto withMark = decode("\xef\xbb\xbf{\"quotes\": [\"a\"]}");
    ASSERT_TRUE(withMark);
    EXPECT_EQ(withMark->quotes, QStringList{u"a"_s});
    const auto nul = decode(R"({"quotes": ["a\u0000b"], "\u0000": []})");
    ASSERT_TRUE(nul);
    EXPECT_EQ(nul->quotes, QStringList{QString(u"a\0b"_s)});
    EXPECT_TRUE(QuotesDocument::decodeFast(
        QByteArray("{\"quotes\": [\"" + QByteArray(100'000, 'x') + "\"]}")));
}

TEST(QuotesDocument, ABrokenSurrogateInMemoryStillMakesAValidFile) {
    const QString broken = u"a"_s + QChar(0xD800) + u"b"_s;
    const QByteArray bytes = QuotesDocument::encode({broken, u"next"_s});
    const auto content = decode(bytes);
    ASSERT_TRUE(content) << bytes.toStdString();
    ASSERT_EQ(content->quotes.size(), 2);
    EXPECT_TRUE(content->quotes[0].isValidUtf16());
    EXPECT_EQ(content->quotes[1], u"next"_s);
}

TEST(QuotesDocument, ReadsAnyValidFormOfTheModel) {
    const auto compact = decode(R"({"quotes":["a","b\/c","\u00e9\ud83c\udf1f"]})");
    ASSERT_TRUE(compact);
    EXPECT_EQ(compact->quotes, (QStringList{u"a"_s, u"b/c"_s, u"é🌟"_s}));

    const auto withOthers = decode(R"({"notes": ["x", "y"], "quotes": [], "more": []})");
    ASSERT_TRUE(withOthers);
    EXPECT_TRUE(withOthers->hasQuotes);
    EXPECT_TRUE(withOthers->quotes.isEmpty());

    const auto twice = decode(R"({"quotes": ["first"], "quotes": ["last", "one"]})");
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->quotes, (QStringList{u"last"_s, u"one"_s})) << "the last member wins";

    for (const QByteArray& withoutQuotes : {QByteArray("{}"), QByteArray(R"({"Quotes": ["a"]})"),
                                            QByteArray("{\"\xEF\xBB\xBFquotes\": [\"a\"]}"),
                                            QByteArray(" \n{ \"other\" : [ ] }\n ")}) {
        const auto content = decode(withoutQuotes);
        ASSERT_TRUE(content) << withoutQuotes.toStdString();
        EXPECT_FALSE(content->hasQuotes);
    }
}

TEST(QuotesDocument, RejectsWhatStrictJsonRejects) {
    const QByteArray rejected[] = {
        "",
        "   \n",
        "{",
        R"({"quotes": ["a",]})",
        R"({"quotes": ["a"]} trailing)",
        R"({"quotes": ["a"]}{})",
        "{\"quotes\": [\"raw\ncontrol\"]}",
        QByteArray("{\"quotes\": [\"nul \0 raw\"]}", 22),
        R"({"quotes": ["unknown \q escape"]})",
        R"({"quotes": ["lone \ud800 high"]})",
        R"({"quotes": ["lone \udc00 low"]})",
        R"({"quotes": ["high \ud800\u0041 then letter"]})",
        "{\"quotes\": [\"bad \xff byte\"]}",
        "{\"quotes\": [\"overlong \xc0\xaf slash\"]}",
        "{\"quotes\": [\"surrogate \xed\xa0\x80 in UTF-8\"]}",
        R"({'quotes': ['single']})",
        R"({quotes: ["bare key"]})",
        "{\"quotes\": [\"a\"] /* comment */}",
        QByteArray("{\"quotes\": [\"a\"]}\0 trailing after a NUL", 39),
        QByteArray("{\"quotes\": [\"a\"]}\0", 18),
        QByteArray("\0{\"quotes\": []}", 15),
    };
    for (const QByteArray& bytes : rejected)
        EXPECT_FALSE(decode(bytes)) << "accepted: " << bytes.toStdString();
}

TEST(QuotesDocument, RejectsShapesOutsideTheModel) {
    const QByteArray rejected[] = {
        R"(["a", "b"])",
        R"("just a string")",
        "42",
        "null",
        R"({"quotes": "a"})",
        R"({"quotes": {"a": "b"}})",
        R"({"quotes": [null]})",
        R"({"quotes": ["a", 1]})",
        R"({"quotes": ["a", true]})",
        R"({"quotes": [["nested"]]})",
        R"({"quotes": [{"a": "b"}]})",
        R"({"quotes": ["a"], "count": 1})",
        R"({"count": 1, "quotes": ["a"]})",
        R"({"quotes": ["a"], "other": [2]})",
    };
    for (const QByteArray& bytes : rejected)
        EXPECT_FALSE(decode(bytes)) << "accepted: " << bytes.toStdString();
}

TEST(QuotesDocument, DeepNestingFailsQuicklyWithoutRecursion) {
    const QByteArray deepArrays = QByteArray(1'000'000, '[') + QByteArray(1'000'000, ']');
    EXPECT_FALSE(decode(deepArrays));
    const QByteArray deepInQuotes =
        "{\"quotes\": " + QByteArray(1'000'000, '[') + QByteArray(1'000'000, ']') + "}";
    EXPECT_FALSE(decode(deepInQuotes));
}

TEST(QuotesDocument, ErrorsSayWhereAndWhat) {
    const QString syntax = decodeError("{\n  \"quotes\": [\n    \"a\" \"b\"\n  ]\n}");
    EXPECT_TRUE(syntax.contains(u"line 3"_s) && syntax.contains(u"column"_s))
        << syntax.toStdString();

    const QString element = decodeError(R"({"quotes": ["a", "b", 7]})");
    EXPECT_TRUE(element.contains(u"item 3"_s) && element.contains(u"\"quotes\""_s) &&
                element.contains(u"number"_s))
        << element.toStdString();

    const QString member = decodeError(R"({"quotes": ["a"], "count": 1})");
    EXPECT_TRUE(member.contains(u"\"count\""_s)) << member.toStdString();

    const QString topLevel = decodeError(R"(["a"])");
    EXPECT_TRUE(topLevel.contains(u"top level"_s)) << topLevel.toStdString();

    EXPECT_TRUE(decodeError("").contains(u"empty"_s));

    for (const QByteArray& overflow :
         {QByteArray(R"({"quotes": [1e999]})"), QByteArray(R"({"n": [-1e400], "quotes": []})")}) {
        const QString error = decodeError(overflow);
        EXPECT_FALSE(error.contains(u"json.exception"_s)) << error.toStdString();
        EXPECT_TRUE(error.contains(u"a number, not"_s)) << error.toStdString();
    }

    const QByteArray huge = "{\"quotes\": [\"" + QByteArray(100'000, 'x') + "\n\"]}";
    EXPECT_LT(decodeError(huge).size(), 400) << "the excerpt of a huge token is not repeated";
}

TEST(QuotesDocument, OtherMembersAreReadInOrderAndWrittenBackAroundTheQuotes) {
    using QuotesDocument::Member;
    const auto content =
        decode(R"({"a": ["1"], "quotes": ["q"], "b": [], "a": ["2", "3"], "c": ["\/"]})");
    ASSERT_TRUE(content);
    EXPECT_TRUE(content->hasRepeatedNames);
    const QList<Member> others{{u"a"_s, {u"2"_s, u"3"_s}}, {u"b"_s, {}}, {u"c"_s, {u"/"_s}}};
    EXPECT_EQ(content->others, others) << "a repeated name keeps its first place, its last value";
    EXPECT_EQ(content->quotesPosition, 1);

    const QByteArray written = QuotesDocument::encode({u"new"_s}, others, 1);
    const auto back = decode(written);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->hasRepeatedNames);
    EXPECT_EQ(back->others, others);
    EXPECT_EQ(back->quotesPosition, 1);
    EXPECT_EQ(back->quotes, QStringList{u"new"_s});
    EXPECT_EQ(QuotesDocument::encode({u"x"_s}, {}, 5), QuotesDocument::encode({u"x"_s}))
        << "without other members the document is the one-member one";

    const auto repeatedQuotes = decode(R"({"quotes": ["a"], "quotes": ["b"]})");
    ASSERT_TRUE(repeatedQuotes);
    EXPECT_TRUE(repeatedQuotes->hasRepeatedNames);
    EXPECT_EQ(repeatedQuotes->quotes, QStringList{u"b"_s});
}

TEST(QuotesDocument, DecodedQuotesKeepNoSpareRoom) {
    // UTF-8 of Vietnamese or Chinese takes more bytes than UTF-16 units: a string sized by the
    // bytes would keep the difference for as long as the list lives.
    QString longQuote;
    for (int i = 0; i < 2000; ++i)
        longQuote += u"千里之行 "_s;
    const QStringList quotes = {u"Đừng bao giờ từ bỏ ước mơ"_s, u"千里之行，始于足下"_s, longQuote};
    const auto content = decode(QuotesDocument::encode(quotes));
    ASSERT_TRUE(content);
    EXPECT_EQ(content->quotes, quotes);
    for (const QString& quote : content->quotes)
        EXPECT_EQ(quote.capacity(), quote.size()) << quote.left(20).toStdString();
}
