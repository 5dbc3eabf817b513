#include "QuoteFileImport.h"
#include "QuoteImport.h"
#include "QuoteManager.h"
#include "QuotesDocument.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Store {
    TempHome home;
    QuoteManager manager{home.path()};
    int changes = 0;
    int delivered = 0;

    explicit Store(const QStringList& quotes) {
        manager.quotes = quotes;
        manager.saveQuotes();
        runMainQueue();
        QObject::connect(&manager, &ObservableObject::objectWillChange, [this] { ++changes; });
        manager.onQuotesChanged = [this] { ++delivered; };
    }
    QString write(const QString& name, const QByteArray& bytes) const {
        const QString path = QDir(home.path()).filePath(name);
        writeBytes(path, bytes);
        return path;
    }
    QByteArray file() const { return readBytes(home.quotesFile()); }
};

} // namespace

// New quotes are appended in one change and one save; nothing new changes and saves nothing.
TEST(QuoteFileImport, AppendsOnlyNewQuotesInOneChangeAndOneSave) {
    const struct {
        QByteArray bytes;
        QStringList added;
    } cases[] = {
        {"Shared\n%\nFirst\nof two lines\n%\n\n%\nLast\n", {u"First\nof two lines"_s, u"Last"_s}},
        {"  Old\nShared  \n\n", {}},
    };
    for (const auto& file : cases) {
        Store store({u"Old"_s, u"Shared"_s});
        const QByteArray before = store.file();
        const QString path = store.write(u"new.fortune"_s, file.bytes);
        CapturedStdout out;
        const QuoteFileImport result = importQuotesFile(store.manager, path);
        runMainQueue();
        EXPECT_TRUE(result.succeeded);
        EXPECT_EQ(result.added, file.added.size());
        const int expectedChanges = file.added.isEmpty() ? 0 : 1;
        EXPECT_EQ(store.changes, expectedChanges);
        EXPECT_EQ(store.delivered, expectedChanges) << "one save for the whole import";
        const QStringList expected = QStringList{u"Old"_s, u"Shared"_s} + file.added;
        EXPECT_EQ(store.manager.quotes.get(), expected);
        EXPECT_EQ(QuotesDocument::decode(store.file(), nullptr)->quotes, expected);
        EXPECT_EQ(store.file() == before, file.added.isEmpty())
            << "saved only when something is new";
        EXPECT_EQ(out.lines(),
                  QStringList{u"Imported %1 quotes from "_s.arg(file.added.size()) + path});
    }
}

TEST(QuoteFileImport, RefusesWhatIsNotATextFileOfQuotesAndKeepsTheList) {
    Store store({u"Kept"_s});
    const QByteArray before = store.file();
    QFile large(QDir(store.home.path()).filePath(u"large.txt"_s));
    ASSERT_TRUE(large.open(QIODevice::WriteOnly));
    ASSERT_TRUE(large.resize(QuoteImport::largestFile + 1));
    large.close();
    const struct {
        QString path;
        QString reason;
    } cases[] = {
        {QDir(store.home.path()).filePath(u"missing.txt"_s), u"No such file"_s},
        {store.home.path(), u"folder"_s},
        {store.write(u"latin1.txt"_s, "caf\xe9\n"), u"not UTF-8 text"_s},
        {store.write(u"binary.txt"_s, QByteArray("quote\0more", 10)), u"not UTF-8 text"_s},
        {large.fileName(), u"too large for a file of quotes (16777217 bytes; at most 16 MiB)"_s},
    };
    for (const auto& refused : cases) {
        CapturedStdout out;
        const QuoteFileImport result = importQuotesFile(store.manager, refused.path);
        EXPECT_FALSE(result.succeeded) << refused.path.toStdString();
        EXPECT_EQ(result.added, 0);
        EXPECT_TRUE(result.error.contains(refused.path)) << result.error.toStdString();
        EXPECT_TRUE(result.error.contains(refused.reason)) << result.error.toStdString();
        EXPECT_EQ(out.lines(), QStringList{u"Could not import quotes: "_s + result.error});
    }
    runMainQueue();
    EXPECT_EQ(store.changes, 0);
    EXPECT_EQ(store.manager.quotes.get(), QStringList{u"Kept"_s});
    EXPECT_EQ(store.file(), before);
}

// The collections the package installs: one quote a line, each naming its source after a dash.
TEST(ShippedQuotes, EveryLineIsOneQuoteWithItsSource) {
    const QDir folder(QStringLiteral(SAYVANE_SOURCE_DIR "/resources/quotes"));
    const QStringList files = folder.entryList({u"*.txt"_s}, QDir::Files);
    EXPECT_EQ(files,
              (QStringList{u"proverbs.en.txt"_s, u"proverbs.vi.txt"_s, u"proverbs.zh.txt"_s}));
    const QRegularExpression withSource(u"^\\S.*\\S — \\S.*$"_s);
    for (const QString& name : files) {
        const QByteArray bytes = readBytes(folder.filePath(name));
        const QStringList quotes = QuoteImport::parse(bytes);
        EXPECT_EQ(quotes.size(), bytes.count('\n'))
            << name.toStdString() << ": no header, no blank";
        EXPECT_GE(quotes.size(), 15) << name.toStdString();
        QStringList unique;
        EXPECT_EQ(QuoteImport::merge(unique, quotes), quotes.size())
            << "repeated quote in " << name.toStdString();
        for (const QString& quote : quotes) {
            EXPECT_TRUE(withSource.match(quote).hasMatch()) << quote.toStdString();
            EXPECT_EQ(quote, quote.normalized(QString::NormalizationForm_C)) << quote.toStdString();
        }
    }
}
