// The quote store under faults: kills in the middle of a save, a full disk, a read-only or
// vanished folder, and random text of every kind.
#include "QuoteManager.h"
#include "QuotesDocument.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString couldNotSave = u"Could not save quotes: "_s;

// The list of k quotes that the saver writes; every list is told apart by its length.
QStringList listOfSize(int k) {
    QStringList list;
    list.reserve(k);
    for (int i = 0; i < k; ++i)
        list << u"Quote %1 of a list of %2: padded so that the file grows quickly."_s.arg(i).arg(k);
    return list;
}

std::optional<QStringList> decodedFile(const QString& path) {
    QString error;
    const auto content = QuotesDocument::decode(readBytes(path), &error);
    if (!content || !content->hasQuotes)
        return std::nullopt;
    return content->quotes;
}

QStringList leftoverTemporaries(const QString& folder) {
    QStringList left;
    for (const QString& name :
         QDir(folder).entryList({u".quotes.json.saving-*"_s}, QDir::Files | QDir::Hidden))
        left << name;
    return left;
}

// Random text of every kind a quote may hold, as valid Unicode.
QString randomText(std::mt19937& random) {
    static const std::vector<char32_t> special = {
        0x00,   0x01,   0x08,   0x09,    0x0A,   0x0C,   0x0D,   0x1F,
        0x7F,   u'"',   u'\\',  u'/',    0x85,   0xA0,   0x2028, 0x2029,
        0xFEFF, 0xFFFD, 0xFFFF, 0x1F31F, 0x2600, 0xFE0F, 0x200D, 0x10FFFF};
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> kind(0, 5);
    QString text;
    for (int n = length(random); n > 0; --n) {
        char32_t c = 0;
        switch (kind(random)) {
        case 0:
            c = std::uniform_int_distribution<char32_t>(0x20, 0x7E)(random);
            break;
        case 1:
            c = special[std::uniform_int_distribution<size_t>(0, special.size() - 1)(random)];
            break;
        case 2:
            c = std::uniform_int_distribution<char32_t>(0x80, 0x7FF)(random);
            break;
        case 3:
            c = std::uniform_int_distribution<char32_t>(0x4E00, 0x9FFF)(random);
            break;
        case 4:
            c = std::uniform_int_distribution<char32_t>(0x10000, 0x10FFFF)(random);
            break;
        default:
            c = std::uniform_int_distribution<char32_t>(0x800, 0xD7FF)(random);
            break;
        }
        // QString::fromUcs4 would take a leading U+FEFF for a byte order mark and drop it.
        if (QChar::requiresSurrogates(c)) {
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
        } else {
            text += QChar(static_cast<char16_t>(c));
        }
    }
    return text;
}

} // namespace

TEST(QuoteManagerFaults, SaveThenLoadGivesBackAnyList) {
    TempHome home;
    QuoteManager manager(home.path());
    std::mt19937 random(20261208);
    for (int round = 0; round < 300; ++round) {
        QStringList list;
        for (int n = std::uniform_int_distribution<int>(0, 12)(random); n > 0; --n)
            list << randomText(random);
        manager.quotes = list;
        CapturedStdout out;
        manager.saveQuotes();
        manager.loadQuotes();
        runMainQueue();
        ASSERT_TRUE(out.text().isEmpty()) << out.text().toStdString();
        const QStringList expected =
            list.isEmpty() ? QStringList{QuoteManager::noQuotesPlaceholder} : list;
        ASSERT_EQ(manager.quotes.get(), expected) << "round " << round;
    }
}

TEST(QuoteManagerFaults, AKillDuringASaveLeavesTheOldListOrTheNewOneNeverACutOffFile) {
    TempHome home;
    {
        QuoteManager first(home.path());
        first.quotes = listOfSize(1);
        first.saveQuotes();
    }
    std::mt19937 random(4242);
    int lastSize = 1;
    int killsInTheMiddle = 0;
    constexpr int kills = 250;
    constexpr int growth = 40;
    for (int kill = 0; kill < kills; ++kill) {
        std::fflush(stdout);
        const pid_t saver = ::fork();
        ASSERT_GE(saver, 0);
        if (saver == 0) {
            // The saver: lists of growing size, one save after another, until it is killed.
            QuoteManager manager(home.path());
            manager.loadQuotes();
            runMainQueue();
            for (int k = lastSize + growth;; k += growth) {
                manager.quotes = listOfSize(k);
                manager.saveQuotes();
                runMainQueue();
            }
        }
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 25'000)(random));
        ::kill(saver, SIGKILL);
        int status = 0;
        ::waitpid(saver, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        const auto list = decodedFile(home.quotesFile());
        ASSERT_TRUE(list) << "after kill " << kill << " the file does not decode";
        const int size = static_cast<int>(list->size());
        ASSERT_EQ(*list, listOfSize(size))
            << "after kill " << kill << " the list is not one that was saved";
        ASSERT_GE(size, lastSize) << "the file went back to an older list";
        lastSize = size;
        if (!leftoverTemporaries(home.quotesFolder()).isEmpty())
            ++killsInTheMiddle;
    }
    EXPECT_GT(killsInTheMiddle, 0)
        << "no kill landed in the middle of a save; the test proved little";
    EXPECT_GT(lastSize, 1);

    QuoteManager manager(home.path());
    manager.loadQuotes();
    runMainQueue();
    manager.quotes = listOfSize(3);
    manager.saveQuotes();
    runMainQueue();
    EXPECT_EQ(leftoverTemporaries(home.quotesFolder()), QStringList{})
        << "the next save clears them away";
    EXPECT_EQ(decodedFile(home.quotesFile()), listOfSize(3));
}

TEST(QuoteManagerFaults, LeftoversAreRemovedButCopiesOfBrokenFilesStay) {
    TempHome home;
    QuoteManager manager(home.path());
    manager.loadQuotes();
    runMainQueue();
    for (const QString& name : {u".quotes.json.saving-1x2y3z"_s, u".quotes.json.saving-q"_s,
                                u"quotes.json.broken-20261208-171300"_s, u"quotes.json.backup"_s,
                                u"quotes.json.AbC123"_s, u".other.json.saving-1x2y3z"_s})
        writeBytes(home.quotesFolder() + u'/' + name, "x");
    manager.saveQuotes();
    runMainQueue();
    const QStringList names =
        QDir(home.quotesFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    EXPECT_EQ(names,
              (QStringList{u".other.json.saving-1x2y3z"_s, u".quotes.json.lock"_s, u"quotes.json"_s,
                           u"quotes.json.AbC123"_s, u"quotes.json.backup"_s,
                           u"quotes.json.broken-20261208-171300"_s}));
}

TEST(QuoteManagerFaults, AFullDiskFailsTheSaveAndLeavesFileAndListAsTheyWere) {
    TempHome home;
    QuoteManager manager(home.path());
    manager.loadQuotes();
    runMainQueue();
    const QByteArray before = readBytes(home.quotesFile());

    CapturedStdout out;
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        // A limit on the size of written files fails the write part-way, as a full disk does.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int callbacks = 0;
        manager.onQuotesChanged = [&callbacks] { ++callbacks; };
        manager.quotes = listOfSize(500);
        manager.saveQuotes();
        runMainQueue();
        std::fflush(stdout);
        ::_exit(manager.quotes.get() == listOfSize(500) && callbacks == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the list in memory stays, no callback runs";
    const QStringList lines = out.lines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(couldNotSave)) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(home.quotesFile())) << lines[0].toStdString();
    EXPECT_EQ(readBytes(home.quotesFile()), before) << "the old file is whole";
    EXPECT_EQ(leftoverTemporaries(home.quotesFolder()), QStringList{});

    // Room again: the next save goes through.
    manager.quotes = listOfSize(500);
    manager.saveQuotes();
    runMainQueue();
    EXPECT_EQ(decodedFile(home.quotesFile()), listOfSize(500));
}

TEST(QuoteManagerFaults, AReadOnlyFolderFailsTheSaveUntilItIsWritableAgain) {
    TempHome home;
    QuoteManager manager(home.path());
    manager.loadQuotes();
    runMainQueue();
    home.shareWithOtherUsers();
    const QByteArray folder = QFile::encodeName(home.quotesFolder());
    if (runningAsRoot()) {
        ASSERT_EQ(::chown(folder.constData(), 65534, 65534), 0);
        ASSERT_EQ(::chown(QFile::encodeName(home.quotesFile()).constData(), 65534, 65534), 0);
    }
    CapturedStdout out;
    const int result = asUnprivilegedUser([&] {
        ::chmod(folder.constData(), 0555);
        manager.quotes = {u"unsaved"_s};
        manager.saveQuotes();
        runMainQueue();
        const bool failed = decodedFile(home.quotesFile()) == QuoteManager::defaultQuotes;
        const bool kept = manager.quotes.get() == QStringList{u"unsaved"_s};
        ::chmod(folder.constData(), 0755);
        manager.saveQuotes();
        runMainQueue();
        const bool savedLater = decodedFile(home.quotesFile()) == QStringList{u"unsaved"_s};
        return failed && kept && savedLater ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
    const QStringList lines = out.lines();
    ASSERT_EQ(lines.size(), 1) << out.text().toStdString();
    EXPECT_TRUE(lines[0].startsWith(couldNotSave + u"cannot write"_s)) << lines[0].toStdString();
}

TEST(QuoteManagerFaults, AFolderRemovedWhileRunningFailsTheSaveUntilItIsBack) {
    TempHome home;
    QuoteManager manager(home.path());
    manager.loadQuotes();
    runMainQueue();
    ASSERT_TRUE(QDir(home.quotesFolder()).removeRecursively());
    manager.quotes = {u"kept in memory"_s};
    {
        CapturedStdout out;
        manager.saveQuotes();
        runMainQueue();
        EXPECT_TRUE(out.text().startsWith(couldNotSave)) << out.text().toStdString();
    }
    EXPECT_EQ(manager.quotes.get(), QStringList{u"kept in memory"_s});
    EXPECT_FALSE(QFileInfo::exists(home.quotesFolder())) << "a save never makes the folder";

    QDir().mkpath(home.quotesFolder());
    CapturedStdout out;
    manager.saveQuotes();
    runMainQueue();
    EXPECT_TRUE(out.text().isEmpty());
    EXPECT_EQ(decodedFile(home.quotesFile()), QStringList{u"kept in memory"_s});
}

TEST(QuoteManagerFaults, LeftoversOfKilledSavesAreRemovedAtStartUpButNotOneInProgress) {
    TempHome home;
    QDir().mkpath(home.quotesFolder());
    const QString leftover = home.quotesFolder() + u"/.quotes.json.saving-k1ll3d"_s;
    const QString inProgress = home.quotesFolder() + u"/.quotes.json.saving-busy"_s;
    writeBytes(leftover, QByteArray(1 << 20, 'x'));
    writeBytes(inProgress, "x");
    const int held = ::open(QFile::encodeName(inProgress).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    { QuoteManager manager(home.path()); }
    EXPECT_FALSE(QFileInfo::exists(leftover));
    EXPECT_TRUE(QFileInfo::exists(inProgress)) << "a save that still holds its file keeps it";
    ::close(held);
    QuoteManager again(home.path());
    EXPECT_FALSE(QFileInfo::exists(inProgress));
}
