#include "BackgroundWork.h"
#include "QuoteChange.h"
#include "QuoteManager.h"
#include "QuotesDocument.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString failedToLoad = u"Failed to load quotes: "_s;
const QString couldNotSave = u"Could not save quotes: "_s;
const QString couldNotCreate = u"Could not create default quotes: "_s;

QStringList quotesInFile(const QString& path) {
    QString error;
    const auto content = QuotesDocument::decode(readBytes(path), &error);
    EXPECT_TRUE(content) << error.toStdString();
    return content ? content->quotes : QStringList{};
}

// A manager in its own home folder, counting its callback runs.
struct Fixture {
    TempHome home;
    std::unique_ptr<QuoteManager> manager;
    int callbacks = 0;

    Fixture() { make(); }
    void make() {
        manager = std::make_unique<QuoteManager>(home.path());
        manager->onQuotesChanged = [this] { ++callbacks; };
    }
    QStringList quotes() const { return manager->quotes.get(); }
    void writeFile(const QByteArray& bytes) const { writeBytes(home.quotesFile(), bytes); }
    // Loads and runs the queue; returns what the load printed.
    QStringList load() {
        CapturedStdout out;
        manager->loadQuotes();
        runMainQueue();
        return out.lines();
    }
    QStringList save() {
        CapturedStdout out;
        manager->saveQuotes();
        runMainQueue();
        return out.lines();
    }
};

// Holds the lock of the quotes file: the manager's transactions wait on the background thread
// until it is let go, so that a test can act while one is under way.
struct HeldLock {
    QString error;
    std::optional<Files::ExclusiveLock> lock;
    explicit HeldLock(const QString& quotesFile)
        : lock(Files::ExclusiveLock::take(QuotesFile::lockPath(quotesFile), 0, &error)) {
        EXPECT_TRUE(lock) << error.toStdString();
    }
};

bool startsWithEach(const QStringList& lines, const QStringList& prefixes) {
    if (lines.size() != prefixes.size())
        return false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith(prefixes[i]))
            return false;
    }
    return true;
}

} // namespace

TEST(QuoteManager, ConstructionMakesTheFolderWithItsParentsAndTouchesNoFile) {
    TempHome home;
    ASSERT_FALSE(QFileInfo::exists(home.path() + u"/.config"_s));
    CapturedStdout out;
    QuoteManager manager(home.path());
    EXPECT_EQ(manager.quotesFileURL, home.quotesFile());
    EXPECT_TRUE(QFileInfo(home.quotesFolder()).isDir());
    EXPECT_FALSE(QFileInfo::exists(home.quotesFile()));
    EXPECT_TRUE(manager.quotes->isEmpty());
    EXPECT_FALSE(manager.onQuotesChanged);
    runMainQueue();
    EXPECT_TRUE(out.text().isEmpty());
}

TEST(QuoteManager, FirstLoadWritesTheDefaultsAndDeliversThemLater) {
    Fixture f;
    CapturedStdout out;
    f.manager->loadQuotes();
    EXPECT_TRUE(f.quotes().isEmpty()) << "the list changes only when the main queue runs";
    EXPECT_EQ(f.callbacks, 0);
    runMainQueue();
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), QuoteManager::defaultQuotes);
    EXPECT_EQ(f.quotes(), QuoteManager::defaultQuotes);
    EXPECT_EQ(f.callbacks, 1);
    EXPECT_TRUE(out.text().isEmpty());
}

TEST(QuoteManager, AFileDeletedWhileRunningIsWrittenAgainOnReload) {
    Fixture f;
    f.writeFile(R"({"quotes": ["mine"]})");
    f.load();
    EXPECT_EQ(f.quotes(), QStringList{u"mine"_s});
    QFile::remove(f.home.quotesFile());
    EXPECT_TRUE(f.load().isEmpty());
    EXPECT_EQ(f.quotes(), QuoteManager::defaultQuotes);
    EXPECT_EQ(f.callbacks, 2);
}

TEST(QuoteManager, AFolderDeletedWhileRunningMakesLoadAndSaveFail) {
    Fixture f;
    f.load();
    ASSERT_TRUE(QDir(f.home.quotesFolder()).removeRecursively());
    const QStringList loadLines = f.load();
    EXPECT_TRUE(startsWithEach(loadLines, {couldNotCreate, failedToLoad}))
        << loadLines.join(u'|').toStdString();
    EXPECT_EQ(f.quotes(), QStringList{QuoteManager::loadErrorPlaceholder});
    EXPECT_EQ(f.callbacks, 2);
    EXPECT_FALSE(QFileInfo::exists(f.home.quotesFolder())) << "loads never make the folder";

    const QStringList saveLines = f.save();
    EXPECT_TRUE(startsWithEach(saveLines, {couldNotSave})) << saveLines.join(u'|').toStdString();
    EXPECT_EQ(f.callbacks, 2);
    EXPECT_EQ(f.quotes(), QStringList{QuoteManager::loadErrorPlaceholder});
}

TEST(QuoteManager, AFileWhereTheFolderShouldBe) {
    TempHome home;
    writeBytes(home.path() + u"/.config/Sayvane"_s, "not a folder");
    CapturedStdout out;
    QuoteManager manager(home.path());
    EXPECT_TRUE(out.text().isEmpty());
    manager.loadQuotes();
    runMainQueue();
    EXPECT_TRUE(startsWithEach(out.lines(), {couldNotCreate, failedToLoad}))
        << out.text().toStdString();
    EXPECT_EQ(manager.quotes.get(), QStringList{QuoteManager::loadErrorPlaceholder});
    EXPECT_EQ(readBytes(home.path() + u"/.config/Sayvane"_s), "not a folder");
}

// A folder where the file should be, and an empty file: neither loads, each is said in one line
// naming the file, and neither is replaced by the defaults.
TEST(QuoteManager, WhatCannotBeLoadedIsSaidAndLeftAsItIs) {
    for (const bool folder : {true, false}) {
        Fixture f;
        if (folder)
            QDir().mkpath(f.home.quotesFile());
        else
            f.writeFile({});
        const QStringList lines = f.load();
        EXPECT_TRUE(startsWithEach(lines, {failedToLoad})) << lines.join(u'|').toStdString();
        EXPECT_TRUE(lines.value(0).contains(f.home.quotesFile())) << "the line names the file";
        EXPECT_EQ(f.quotes(), QStringList{QuoteManager::loadErrorPlaceholder});
        EXPECT_EQ(f.callbacks, 1);
        if (folder)
            EXPECT_TRUE(QFileInfo(f.home.quotesFile()).isDir());
        else
            EXPECT_EQ(readBytes(f.home.quotesFile()), QByteArray());
    }
}

TEST(QuoteManager, OutcomeOfEachDocumentShape) {
    struct Case {
        QByteArray file;
        QStringList expected;
        bool fails;
    };
    const Case cases[] = {
        {R"({"quotes": ["a", "", "a"]})", {u"a"_s, u""_s, u"a"_s}, false},
        {R"({"quotes": [], "other": ["x"]})", {QuoteManager::noQuotesPlaceholder}, false},
        {R"({"quotes": ["a"], "other": 3})", {QuoteManager::loadErrorPlaceholder}, true},
        {R"({"quotes": ["a", null]})", {QuoteManager::loadErrorPlaceholder}, true},
        {R"({"quotes": [1]})", {QuoteManager::loadErrorPlaceholder}, true},
        {R"(["a"])", {QuoteManager::loadErrorPlaceholder}, true},
        {"{\"quotes\": [\"a\"", {QuoteManager::loadErrorPlaceholder}, true},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.writeFile(c.file);
        const QStringList lines = f.load();
        EXPECT_EQ(f.quotes(), c.expected) << c.file.toStdString();
        EXPECT_EQ(f.callbacks, 1) << c.file.toStdString();
        EXPECT_EQ(startsWithEach(lines, {failedToLoad}), c.fails) << c.file.toStdString();
        EXPECT_EQ(lines.isEmpty(), !c.fails) << c.file.toStdString();
    }
}

TEST(QuoteManager, ADocumentWithoutQuotesChangesNothing) {
    for (const QByteArray& file : {QByteArray("{}"), QByteArray(R"({"notes": ["a", "b"]})")}) {
        Fixture f;
        f.manager->quotes = {u"kept"_s};
        int signals = 0;
        QObject::connect(f.manager.get(), &ObservableObject::objectWillChange,
                         [&signals] { ++signals; });
        f.writeFile(file);
        EXPECT_TRUE(f.load().isEmpty());
        EXPECT_EQ(f.quotes(), QStringList{u"kept"_s});
        EXPECT_EQ(f.callbacks, 0);
        EXPECT_EQ(signals, 0);
    }
}

TEST(QuoteManager, TwoLoadsInARowDeliverTwiceAndTheLaterListStays) {
    Fixture f;
    std::vector<QStringList> delivered;
    f.manager->onQuotesChanged = [&] { delivered.push_back(f.quotes()); };
    f.writeFile(R"({"quotes": ["one"]})");
    f.manager->loadQuotes();
    // The first load has read the file; its list is not taken in yet.
    BackgroundWork::waitForDone();
    f.writeFile(R"({"quotes": ["two"]})");
    f.manager->loadQuotes();
    runMainQueue();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0], QStringList{u"one"_s});
    EXPECT_EQ(delivered[1], QStringList{u"two"_s});
    EXPECT_EQ(f.quotes(), QStringList{u"two"_s});
}

TEST(QuoteManager, TheCallbackIsLookedUpWhenTheWorkItemRuns) {
    Fixture f;
    f.manager->onQuotesChanged = nullptr;
    f.manager->loadQuotes();
    int late = 0;
    f.manager->onQuotesChanged = [&late] { ++late; };
    runMainQueue();
    EXPECT_EQ(late, 1);

    f.manager->onQuotesChanged = nullptr;
    f.manager->loadQuotes();
    f.manager->saveQuotes();
    runMainQueue();
    EXPECT_EQ(f.quotes(), QuoteManager::defaultQuotes) << "without a callback all else is the same";
}

TEST(QuoteManager, ALoadAssignsAndSignalsEvenAnEqualList) {
    Fixture f;
    f.load();
    int signals = 0;
    QObject::connect(f.manager.get(), &ObservableObject::objectWillChange,
                     [&signals] { ++signals; });
    f.load();
    EXPECT_EQ(signals, 1);
    EXPECT_EQ(f.callbacks, 2);
}

TEST(QuoteManager, ASaveWritesTheListAndRunsTheCallbackOnceLater) {
    Fixture f;
    f.writeFile(R"({"quotes": ["a"], "extra": ["kept"]})");
    f.load();
    f.manager->quotes.append(u"b / c"_s);
    CapturedStdout out;
    f.manager->saveQuotes();
    EXPECT_EQ(f.callbacks, 1) << "the save notice runs on the main queue";
    runMainQueue();
    EXPECT_EQ(f.callbacks, 2);
    EXPECT_TRUE(out.text().isEmpty());
    EXPECT_EQ(f.quotes(), (QStringList{u"a"_s, u"b / c"_s}));
    const QByteArray file = readBytes(f.home.quotesFile());
    EXPECT_TRUE(file.indexOf("\"quotes\"") < file.indexOf("\"extra\" : [\n    \"kept\"\n  ]"))
        << "other members stay, in their place";
    EXPECT_TRUE(file.contains("b \\/ c"));
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), (QStringList{u"a"_s, u"b / c"_s}));
}

TEST(QuoteManager, AnEmptyListIsSavedAndLoadsAsTheNoQuotesPlaceholder) {
    Fixture f;
    f.load();
    f.manager->quotes = QStringList{};
    f.save();
    EXPECT_TRUE(readBytes(f.home.quotesFile()).contains("[\n\n  ]"));
    f.load();
    EXPECT_EQ(f.quotes(), QStringList{QuoteManager::noQuotesPlaceholder});
}

TEST(QuoteManager, AFailedSaveKeepsTheListAndRunsNoCallback) {
    Fixture f;
    f.load();
    f.manager->quotes.append(u"unsaved"_s);
    QFile::setPermissions(f.home.quotesFile(), QFileDevice::ReadOwner | QFileDevice::ReadUser |
                                                   QFileDevice::ReadGroup | QFileDevice::ReadOther);
    f.home.shareWithOtherUsers();

    CapturedStdout out;
    const int result = asUnprivilegedUser([&f] {
        f.manager->saveQuotes();
        runMainQueue();
        return f.callbacks == 1 ? 0 : 1;
    });
    EXPECT_EQ(result, 0) << "no callback after a failed save";
    EXPECT_TRUE(startsWithEach(out.lines(), {couldNotSave})) << out.text().toStdString();
    EXPECT_EQ(f.quotes().last(), u"unsaved"_s);
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), QuoteManager::defaultQuotes);
}

TEST(QuoteManager, ASymbolicLinkStaysALinkAndPermissionsStay) {
    Fixture f;
    const QString target = f.home.path() + u"/synced/quotes.json"_s;
    writeBytes(target, R"({"quotes": ["linked"]})");
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ASSERT_TRUE(QFile::link(target, f.home.quotesFile()));
    f.load();
    EXPECT_EQ(f.quotes(), QStringList{u"linked"_s});
    f.manager->quotes.append(u"more"_s);
    EXPECT_TRUE(f.save().isEmpty());
    EXPECT_TRUE(QFileInfo(f.home.quotesFile()).isSymLink());
    EXPECT_EQ(quotesInFile(target), (QStringList{u"linked"_s, u"more"_s}));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(QuoteManager, AFileThatFailedToLoadIsKeptBeforeASaveReplacesIt) {
    Fixture f;
    const QByteArray handEdited = "{\n  \"quotes\": [\n    \"almost\",\n    \"right\"\n  \n}\n";
    f.writeFile(handEdited);
    f.load();
    ASSERT_EQ(f.quotes(), QStringList{QuoteManager::loadErrorPlaceholder});

    f.manager->quotes = {u"fresh"_s};
    const QStringList lines = f.save();
    ASSERT_EQ(lines.size(), 1) << lines.join(u'|').toStdString();
    const QStringList kept =
        QDir(f.home.quotesFolder()).entryList({u"quotes.json.broken-*"_s}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    const QString keptPath = f.home.quotesFolder() + u'/' + kept[0];
    EXPECT_TRUE(lines[0].contains(keptPath)) << lines[0].toStdString();
    EXPECT_EQ(readBytes(keptPath), handEdited);
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), QStringList{u"fresh"_s});
    EXPECT_EQ(f.callbacks, 2);

    // Later saves replace the new file without keeping more copies.
    f.manager->quotes.append(u"again"_s);
    EXPECT_TRUE(f.save().isEmpty());
    EXPECT_EQ(
        QDir(f.home.quotesFolder()).entryList({u"quotes.json.broken-*"_s}, QDir::Files).size(), 1);
}

TEST(QuoteManager, NoCopyIsKeptAfterTheFileLoadsAgainOrIsGone) {
    Fixture f;
    f.writeFile("not json");
    f.load();
    f.writeFile(R"({"quotes": ["repaired"]})");
    f.load();
    EXPECT_TRUE(f.save().isEmpty());

    f.writeFile("[]");
    f.load();
    QFile::remove(f.home.quotesFile());
    EXPECT_TRUE(f.save().isEmpty());
    EXPECT_TRUE(QDir(f.home.quotesFolder()).entryList({u"*.broken-*"_s}, QDir::Files).isEmpty());
}

TEST(QuoteManager, AnUnreadableFileIsKeptByteForByte) {
    Fixture f;
    f.writeFile(R"({"quotes": ["secret"]})");
    f.home.shareWithOtherUsers();
    // The user's own file that the user may not read (another user's would not be ours to keep).
    if (runningAsRoot()) {
        ASSERT_EQ(::chown(QFile::encodeName(f.home.quotesFile()).constData(), 65534, 65534), 0);
    }
    ::chmod(QFile::encodeName(f.home.quotesFile()).constData(), 0200);

    CapturedStdout out;
    const int result = asUnprivilegedUser([&f] {
        // As another user: the load fails on the unreadable file; the save keeps it aside.
        QuoteManager manager(f.home.path());
        manager.loadQuotes();
        runMainQueue();
        if (manager.quotes.get() != QStringList{QuoteManager::loadErrorPlaceholder})
            return 1;
        manager.quotes = {u"new"_s};
        manager.saveQuotes();
        runMainQueue();
        return 0;
    });
    ASSERT_EQ(result, 0);
    const QStringList kept =
        QDir(f.home.quotesFolder()).entryList({u"quotes.json.broken-*"_s}, QDir::Files);
    ASSERT_EQ(kept.size(), 1) << out.text().toStdString();
    EXPECT_EQ(readBytes(f.home.quotesFolder() + u'/' + kept[0]), R"({"quotes": ["secret"]})");
    EXPECT_TRUE(startsWithEach(out.lines(), {failedToLoad, u"The quotes file"_s}))
        << out.text().toStdString();
}

namespace {

QStringList filesIn(const QString& folder, const QString& pattern) {
    return QDir(folder).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
}

// The copy a save's one line says the other file was kept as, or nothing.
QString keptCopy(const QStringList& saveLines) {
    return saveLines.size() == 1 ? saveLines[0].section(u" was kept as "_s, 1) : QString();
}

} // namespace

TEST(QuoteManager, AFileChangedOutsideIsKeptBesideBeforeASaveReplacesIt) {
    Fixture f;
    f.load();
    EXPECT_TRUE(f.save().isEmpty()) << "the manager's own file is no conflict";
    EXPECT_TRUE(f.save().isEmpty());
    // Written again with the same bytes (a sync tool, a touch): no change, no copy.
    writeBytes(f.home.quotesFile(), readBytes(f.home.quotesFile()));
    EXPECT_TRUE(f.save().isEmpty());

    // Another program and the user both change the first row: that version is kept beside, the
    // user's text goes on the end of it.
    for (const QByteArray& outside :
         {QByteArray(R"({"quotes":["A","B"]})"), QByteArray(R"({"quotes":["X","C"]})")}) {
        f.writeFile(outside);
        f.manager->quotes.replace(0, u"mine"_s);
        const QString copy = keptCopy(f.save());
        EXPECT_TRUE(copy.startsWith(f.home.quotesFile() + u".conflict-"_s)) << copy.toStdString();
        EXPECT_EQ(readBytes(copy), outside) << "the other version, byte for byte";
        EXPECT_EQ(quotesInFile(f.home.quotesFile()), quotesInFile(copy) + QStringList{u"mine"_s});
    }
    EXPECT_EQ(filesIn(f.home.quotesFolder(), u"quotes.json.conflict-*"_s).size(), 2)
        << "a later copy never replaces an earlier one";
}

TEST(QuoteManager, OtherMembersAndAMisspelledQuotesMemberSurviveASave) {
    Fixture f;
    f.writeFile(R"({"Quotes": ["mine"], "archived": ["x", "y/z"]})");
    f.load();
    EXPECT_EQ(f.quotes(), QStringList{}) << "only \"quotes\" holds the list";
    f.manager->quotes = QStringList{u"new one"_s};
    EXPECT_TRUE(f.save().isEmpty());
    QString error;
    const auto content = QuotesDocument::decode(readBytes(f.home.quotesFile()), &error);
    ASSERT_TRUE(content) << error.toStdString();
    EXPECT_EQ(content->others,
              (QList<QuotesDocument::Member>{{u"Quotes"_s, {u"mine"_s}},
                                             {u"archived"_s, {u"x"_s, u"y/z"_s}}}));
    EXPECT_EQ(content->quotesPosition, 2) << "a missing \"quotes\" goes at the end";
    EXPECT_EQ(content->quotes, QStringList{u"new one"_s});
}

TEST(QuoteManager, AFileThatNamesAMemberTwiceIsKeptBeforeTheFirstSave) {
    Fixture f;
    const QByteArray original =
        R"({"quotes": ["a"], "more": ["1"], "quotes": ["b"], "more": ["2"]})";
    f.writeFile(original);
    f.load();
    const QString copy = keptCopy(f.save());
    EXPECT_TRUE(copy.startsWith(f.home.quotesFile() + u".duplicate-names-"_s));
    EXPECT_EQ(readBytes(copy), original);
    EXPECT_TRUE(f.save().isEmpty()) << "one copy only";
}

TEST(QuoteManager, OutsideChangesAreLoadedAndUnsavedEditsStayOnThem) {
    Fixture f;
    f.load();
    f.manager->startWatching();
    // What did not come of a change is looked for once the witness has seen it.
    FileChangeWitness witness(f.home.quotesFile());
    auto settled = [&] {
        const bool seen = witness.waitForChange();
        runMainQueue();
        return seen;
    };
    const int afterLoad = f.callbacks;

    // Replaced by a rename, as editors and sync tools save.
    ASSERT_TRUE(replaceByRename(f.home.quotesFile(), R"({"quotes":["A","B"]})"));
    EXPECT_TRUE(eventually([&] { return f.quotes() == QStringList{u"A"_s, u"B"_s}; }));
    ASSERT_TRUE(settled());
    EXPECT_EQ(f.callbacks, afterLoad + 1);

    // The manager's own save is not taken for an outside change.
    f.manager->quotes.append(u"C"_s);
    f.save();
    ASSERT_TRUE(settled());
    EXPECT_EQ(f.callbacks, afterLoad + 2) << "one run for the save, no reload";

    // Written in place while an edit is unsaved: the file is loaded and the edit stays on it.
    f.manager->quotes.append(u"typed"_s);
    f.writeFile(R"({"quotes":["outside"]})");
    EXPECT_TRUE(eventually([&] { return f.quotes() == QStringList{u"outside"_s, u"typed"_s}; }));
    ASSERT_TRUE(settled());
    EXPECT_TRUE(f.save().isEmpty()) << "an addition is no conflict";
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), (QStringList{u"outside"_s, u"typed"_s}));
    ASSERT_TRUE(settled());

    // Removed: nothing is written in its place until it comes back.
    QFile::remove(f.home.quotesFile());
    ASSERT_TRUE(settled());
    EXPECT_FALSE(QFileInfo::exists(f.home.quotesFile()));
    f.writeFile(R"({"quotes":["back"]})");
    EXPECT_TRUE(eventually([&] { return f.quotes() == QStringList{u"back"_s}; }));
}

// What other writers did to the file is merged with the manager's own changes, so that no
// writer's words are lost: an addition goes on the end of the file as it is now, an edit
// replaces the row that still reads what the manager read, and only an edit of a row that
// another writer changed too keeps that version as a copy.
TEST(QuoteManager, ChangesAreMadeToTheFileAsItIsNow) {
    Fixture f;
    f.writeFile(QuotesDocument::encode({u"a"_s, u"b"_s, u"c"_s}));
    f.load();
    // Another writer adds a quote in front; the manager edits and then removes rows it knew.
    f.writeFile(QuotesDocument::encode({u"new"_s, u"a"_s, u"b"_s, u"c"_s}));
    f.manager->quotes.replace(1, u"B"_s);
    EXPECT_TRUE(f.save().isEmpty()) << "no conflict: nobody else changed b";
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), (QStringList{u"new"_s, u"a"_s, u"B"_s, u"c"_s}));
    EXPECT_EQ(f.quotes(), quotesInFile(f.home.quotesFile())) << "the list follows the file";

    f.writeFile(QuotesDocument::encode({u"new"_s, u"a"_s, u"B"_s, u"c"_s, u"more"_s}));
    f.manager->quotes.removeAt(0);
    EXPECT_TRUE(f.save().isEmpty());
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), (QStringList{u"a"_s, u"B"_s, u"c"_s, u"more"_s}));

    // Both changed the same row: the other version is kept beside, the user's text is kept too.
    const QByteArray theirs = QuotesDocument::encode({u"a"_s, u"their B"_s, u"c"_s, u"more"_s});
    f.writeFile(theirs);
    f.manager->quotes.replace(1, u"my B"_s);
    const QString copy = keptCopy(f.save());
    EXPECT_EQ(readBytes(copy), theirs);
    EXPECT_EQ(quotesInFile(f.home.quotesFile()),
              (QStringList{u"a"_s, u"their B"_s, u"c"_s, u"more"_s, u"my B"_s}));
}

// rsync --inplace -t: same size, old modification time restored.
TEST(QuoteManager, AnInPlaceRewriteThatKeepsTheStampIsStillSeen) {
    Fixture f;
    f.writeFile(QuotesDocument::encode({u"aaa"_s}));
    const QByteArray name = QFile::encodeName(f.home.quotesFile());
    const struct timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), anHourAgo, 0), 0);
    f.load();
    QFile file(f.home.quotesFile());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.write(QuotesDocument::encode({u"bbb"_s}));
    file.close();
    ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), anHourAgo, 0), 0);
    f.manager->quotes.replace(0, u"ccc"_s);
    f.save();
    const QStringList copies = filesIn(f.home.quotesFolder(), u"quotes.json.conflict-*"_s);
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(quotesInFile(f.home.quotesFolder() + u'/' + copies[0]), QStringList{u"bbb"_s});
}

TEST(QuoteManager, UnsavedEditsOutliveAReloadAndAnOutsideChange) {
    Fixture f;
    f.writeFile(QuotesDocument::encode({u"a"_s, u"b"_s}));
    f.load();
    f.manager->startWatching();
    f.manager->quotes.replace(1, u"b typed"_s);
    f.writeFile(QuotesDocument::encode({u"a"_s, u"b"_s, u"outside"_s}));
    f.load();
    EXPECT_EQ(f.quotes(), (QStringList{u"a"_s, u"b typed"_s, u"outside"_s}));
    EXPECT_TRUE(f.manager->hasUnsavedEdits());
    replaceByRename(f.home.quotesFile(), QuotesDocument::encode({u"first"_s, u"a"_s, u"b"_s}));
    EXPECT_TRUE(eventually([&] { return f.quotes().size() == 3 && f.quotes()[0] == u"first"; }));
    EXPECT_EQ(f.quotes(), (QStringList{u"first"_s, u"a"_s, u"b typed"_s}));
    f.manager->saveUnsavedEdits();
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), (QStringList{u"first"_s, u"a"_s, u"b typed"_s}));
    EXPECT_TRUE(filesIn(f.home.quotesFolder(), u"*.conflict-*"_s).isEmpty());
}

TEST(QuoteManager, APlaceholderIsNeverSavedAndAnAdditionTakesItsPlace) {
    for (const QByteArray& file : {QByteArray(R"({"quotes": []})"), QByteArray("{broken")}) {
        Fixture f;
        f.writeFile(file);
        CapturedStdout out;
        f.load();
        f.manager->quotes.append(u"my first quote"_s);
        f.manager->saveQuotes();
        runMainQueue();
        EXPECT_EQ(quotesInFile(f.home.quotesFile()), QStringList{u"my first quote"_s})
            << file.data();
        EXPECT_EQ(f.quotes(), QStringList{u"my first quote"_s});
    }
}

TEST(QuoteManager, NoCopyIsKeptWhenTheSaveCannotGoAhead) {
    Fixture f;
    f.load();
    f.writeFile(QuotesDocument::encode({u"outside"_s}));
    ::chmod(QFile::encodeName(f.home.quotesFile()).constData(), 0444);
    f.home.shareWithOtherUsers();
    CapturedStdout out;
    const int result = asUnprivilegedUser([&f] {
        for (int i = 0; i < 3; ++i) {
            f.manager->quotes.replace(0, u"mine %1"_s.arg(i));
            f.manager->saveQuotes();
        }
        runMainQueue();
        return 0;
    });
    ASSERT_EQ(result, 0);
    EXPECT_TRUE(filesIn(f.home.quotesFolder(), u"*.conflict-*"_s).isEmpty())
        << out.text().toStdString();
}

// A burst of additions (a script calling AddQuote in a loop) is one save, a few milliseconds
// later; each caller is answered once its quotes are on disk.
TEST(QuoteManager, AdditionsThatArriveTogetherAreSavedOnce) {
    Fixture f;
    f.load();
    const int before = f.callbacks;
    QStringList added;
    std::vector<QuoteManager::Addition> answers;
    for (int i = 0; i < 40; ++i) {
        added.append(u"burst %1"_s.arg(i));
        f.manager->addQuotesSoon(
            {added.last(), QuoteManager::defaultQuotes[0]}, [&](QuoteManager::Addition answer) {
                EXPECT_TRUE(
                    quotesInFile(f.home.quotesFile()).contains(added[qsizetype(answers.size())]));
                answers.push_back(answer);
            });
    }
    EXPECT_TRUE(answers.empty()) << "nobody is answered before the save";
    EXPECT_TRUE(eventually([&] { return answers.size() == 40; }));
    runMainQueue();
    EXPECT_EQ(f.callbacks, before + 1) << "one save for the burst";
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), QuoteManager::defaultQuotes + added);
    for (const QuoteManager::Addition& answer : answers)
        EXPECT_EQ(answer.added, 1) << "the quote already there is left out";
}

// The operations an editor's list stands for, made on a file that other writers changed.
TEST(QuoteManager, ChangesFoundBetweenTwoListsMergeWithOtherWriters) {
    const struct {
        QStringList before, after, file, merged;
    } cases[] = {
        // Row 0 edited and row 1 removed; another writer put a quote in front.
        {{u"a"_s, u"b"_s, u"c"_s},
         {u"x"_s, u"c"_s},
         {u"new"_s, u"a"_s, u"b"_s, u"c"_s},
         {u"new"_s, u"x"_s, u"c"_s}},
        // Appended here, appended there: both stay, in the order they reached the file.
        {{u"a"_s}, {u"a"_s, u"mine"_s}, {u"a"_s, u"theirs"_s}, {u"a"_s, u"theirs"_s, u"mine"_s}},
        // A row removed here that another writer removed too: nothing more to do.
        {{u"a"_s, u"b"_s}, {u"a"_s}, {u"a"_s}, {u"a"_s}},
        // A removal undone puts the row back before the one it stood before.
        {{u"a"_s, u"c"_s},
         {u"a"_s, u"b"_s, u"c"_s},
         {u"new"_s, u"a"_s, u"c"_s, u"end"_s},
         {u"new"_s, u"a"_s, u"b"_s, u"c"_s, u"end"_s}},
        // A row moved up, and one moved down, among rows another writer added to.
        {{u"a"_s, u"b"_s, u"c"_s},
         {u"c"_s, u"a"_s, u"b"_s},
         {u"new"_s, u"a"_s, u"b"_s, u"c"_s},
         {u"c"_s, u"new"_s, u"a"_s, u"b"_s}},
        {{u"a"_s, u"b"_s, u"c"_s},
         {u"b"_s, u"c"_s, u"a"_s},
         {u"a"_s, u"b"_s, u"c"_s, u"d"_s},
         {u"b"_s, u"c"_s, u"a"_s, u"d"_s}},
    };
    for (const auto& c : cases) {
        const AppliedChanges applied = applyChanges(c.file, changesBetween(c.before, c.after));
        EXPECT_EQ(applied.list, c.merged) << c.after.join(u',').toStdString();
        EXPECT_FALSE(applied.conflict);
        EXPECT_EQ(applyChanges(c.before, changesBetween(c.before, c.after)).list, c.after);
    }
}

// A save runs while the editor goes on: what is typed meanwhile stays on the list, counts as
// unsaved, and is saved by the next save; the rows typed into are told against the list being
// saved.
TEST(QuoteManager, EditsMadeWhileASaveIsUnderWayStayAndAreSavedNext) {
    Fixture f;
    f.writeFile(QuotesDocument::encode({u"a"_s, u"b"_s}));
    f.load();
    {
        HeldLock held(f.home.quotesFile());
        f.manager->quotes.replace(0, u"A"_s);
        f.manager->saveQuotes();
        EXPECT_EQ(f.manager->savedQuotes(), (QStringList{u"A"_s, u"b"_s}));
        f.manager->quotes.replace(1, u"B meanwhile"_s);
        f.manager->quotes.append(u"added meanwhile"_s);
    }
    runMainQueue();
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), (QStringList{u"A"_s, u"b"_s}));
    const QStringList typed{u"A"_s, u"B meanwhile"_s, u"added meanwhile"_s};
    EXPECT_EQ(f.quotes(), typed);
    EXPECT_TRUE(f.manager->hasUnsavedEdits());
    EXPECT_TRUE(f.save().isEmpty());
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), typed);
    EXPECT_FALSE(f.manager->hasUnsavedEdits());
}

// Whole-list changes asked for one after another, while none can reach the file yet: the last
// one asked for is what the file holds, with no conflict, as if each had been saved at once.
TEST(QuoteManager, SavesAskedForInARowReachTheFileInOrder) {
    Fixture f;
    f.writeFile(QuotesDocument::encode({u"a"_s, u"b"_s, u"c"_s, u"d"_s}));
    f.load();
    const QList<QStringList> orders{{u"d"_s, u"c"_s, u"b"_s, u"a"_s},
                                    {u"b"_s, u"d"_s, u"a"_s, u"c"_s},
                                    {u"c"_s, u"a"_s, u"d"_s}};
    {
        HeldLock held(f.home.quotesFile());
        for (const QStringList& order : orders) {
            f.manager->quotes = order;
            f.manager->saveQuotes();
        }
    }
    CapturedStdout out;
    runMainQueue();
    EXPECT_TRUE(out.text().isEmpty()) << out.text().toStdString();
    EXPECT_EQ(quotesInFile(f.home.quotesFile()), orders.last());
    EXPECT_EQ(f.quotes(), orders.last());
    EXPECT_TRUE(filesIn(f.home.quotesFolder(), u"*.conflict-*"_s).isEmpty());
}

// Quit (and SIGTERM) saves through saveUnsavedEdits() and then ends the process: it returns only
// once the save under way, the additions still being gathered and the edits typed meanwhile are
// all on disk, without the event loop running again.
TEST(QuoteManager, SavingAtQuitWaitsForTheSaveUnderWayAndSavesEverything) {
    Fixture f;
    f.writeFile(QuotesDocument::encode({u"a"_s}));
    f.load();
    auto held = std::make_unique<HeldLock>(f.home.quotesFile());
    f.manager->quotes.append(u"saving"_s);
    f.manager->saveQuotes();
    f.manager->quotes.replace(0, u"typed"_s);
    f.manager->setNewQuoteDraft(u"draft"_s);
    std::optional<QuoteManager::Addition> answer;
    f.manager->addQuotesSoon({u"from the bus"_s}, [&](QuoteManager::Addition a) { answer = a; });
    // Let go once the quit has surely begun to wait; a quit that does not wait returns first.
    std::thread letGo([&held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        held.reset();
    });
    f.manager->saveUnsavedEdits();
    const QStringList onDisk = quotesInFile(f.home.quotesFile());
    letGo.join();
    EXPECT_EQ(onDisk, (QStringList{u"typed"_s, u"saving"_s, u"from the bus"_s, u"draft"_s}));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->added, 1);
    EXPECT_FALSE(f.manager->hasUnsavedEdits());
}
