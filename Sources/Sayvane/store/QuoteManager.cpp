#include "QuoteManager.h"

#include "Console.h"
#include "FileWatcher.h"
#include "MainQueue.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHashFunctions>
#include <QPointer>

using namespace Qt::StringLiterals;

const QStringList QuoteManager::defaultQuotes = {
    u"Stay foolish, stay hungry."_s,
    u"This is a much longer quote that will slide across the menu bar because it exceeds the "
    "character threshold."_s,
    u"Simplicity is the ultimate sophistication."_s,
};
const QString QuoteManager::noQuotesPlaceholder = u"No quotes found. Add some!"_s;
const QString QuoteManager::loadErrorPlaceholder = u"Error loading quotes file"_s;

QString QuoteManager::quotesFolder(const QString& homeFolder) {
    return QDir(homeFolder).filePath(u".config/Sayvane"_s);
}

namespace {

QString prepareQuotesFolder(const QString& homeFolder) {
    const QString folder = QuoteManager::quotesFolder(homeFolder);
    // A failure shows later, as failures to write and read the file.
    if (!Files::exists(folder))
        Files::makeFolder(folder);
    return folder;
}

// Tells versions of the file apart where the stamps agree, which is all it is for: Qt's own hash
// (AES-based where the processor has it), many times faster than a cryptographic one, so that a
// load or a save of a large file pays little for it.
size_t hashOf(const QByteArray& bytes) {
    return qHash(QByteArrayView(bytes), 0);
}

qint64 wallClockNanoseconds() {
    return QDateTime::currentMSecsSinceEpoch() * 1'000'000;
}

// A file system stores modification times at some granularity (a second on some); a file that
// changed within that long of its recorded version may show the same stamp.
constexpr qint64 stampGranularityNanoseconds = 2'000'000'000;

} // namespace

QuoteManager::QuoteManager(const QString& homeFolder)
    : quotesFileURL(QDir(prepareQuotesFolder(homeFolder)).filePath(u"quotes.json"_s)) {
    Files::removeLeftoverTemporaries(quotesFileURL);
}

QuoteManager::~QuoteManager() = default;

std::optional<QStringList> QuoteManager::listFromFile(QByteArrayView bytes, QString* error) {
    auto content = QuotesDocument::decode(bytes, error);
    if (!content)
        return QStringList{loadErrorPlaceholder};
    if (!content->hasQuotes)
        return std::nullopt;
    if (content->quotes.isEmpty())
        return QStringList{noQuotesPlaceholder};
    return std::move(content->quotes);
}

void QuoteManager::loadQuotes() {
    if (!Files::exists(quotesFileURL))
        createDefaultQuotes();

    QString error;
    std::optional<QStringList> list = QStringList{loadErrorPlaceholder};
    lastLoad = LoadOutcome::failed;
    bool repeatedNames = false;
    Files::Stamp stamp;
    if (const auto bytes = Files::read(quotesFileURL, &error, &stamp)) {
        remember(stamp, *bytes);
        if (auto content = QuotesDocument::decode(*bytes, &error)) {
            otherMembers = std::move(content->others);
            quotesPosition = content->hasQuotes ? content->quotesPosition : -1;
            repeatedNames = content->hasRepeatedNames;
            if (!content->hasQuotes) {
                list.reset();
                lastLoad = LoadOutcome::noQuotesMember;
            } else if (content->quotes.isEmpty()) {
                list = QStringList{noQuotesPlaceholder};
                lastLoad = LoadOutcome::emptyQuotes;
            } else {
                list = std::move(content->quotes);
                lastLoad = LoadOutcome::quotes;
            }
        } else {
            error =
                u"%1 cannot be loaded: %2"_s.arg(QDir::toNativeSeparators(quotesFileURL), error);
        }
    } else {
        remember(Files::stamp(quotesFileURL), {});
    }
    if (!error.isEmpty()) {
        printLine(u"Failed to load quotes: "_s + error);
        // Nothing of a file that cannot be read is written back.
        otherMembers.clear();
        quotesPosition = -1;
        keepBeforeSaveStem = QFileInfo(quotesFileURL).isFile() ? u"broken"_s : QString();
    } else {
        keepBeforeSaveStem = repeatedNames ? u"duplicate-names"_s : QString();
    }
    if (list)
        deliver(std::move(*list));
}

void QuoteManager::remember(std::optional<Files::Stamp> stamp, const QByteArray& bytes) {
    known = KnownVersion{stamp, hashOf(bytes), wallClockNanoseconds()};
}

bool QuoteManager::changedOutside() const {
    // Before the first load or save there is no version to compare with.
    if (!known)
        return false;
    const auto now = Files::stamp(quotesFileURL);
    // Nothing there now: nothing to lose.
    if (!now)
        return false;
    if (known->stamp && *now == *known->stamp &&
        known->recordedNanoseconds - now->modifiedNanoseconds > stampGranularityNanoseconds)
        return false;
    // The stamps differ, or agree but may mislead: the bytes decide. A touched file or one
    // written again with the same bytes is no change.
    QString ignored;
    const auto bytes = Files::read(quotesFileURL, &ignored);
    return bytes && hashOf(*bytes) != known->hash;
}

std::optional<QStringList> QuoteManager::storedQuotes() const {
    const QStringList& list = quotes;
    const bool onlyPlaceholder =
        list.size() == 1 && list.first() == (lastLoad == LoadOutcome::failed ? loadErrorPlaceholder
                                                                             : noQuotesPlaceholder);
    switch (lastLoad) {
    case LoadOutcome::failed:
        if (onlyPlaceholder)
            return std::nullopt;
        break;
    case LoadOutcome::noQuotesMember:
    case LoadOutcome::emptyQuotes:
        if (onlyPlaceholder)
            return QStringList{};
        break;
    case LoadOutcome::quotes:
        break;
    }
    return list;
}

bool QuoteManager::hasUnsavedEdits() const {
    return quotes.get() != lastLoadedOrSaved;
}

void QuoteManager::saveUnsavedEdits() {
    if (hasUnsavedEdits())
        saveQuotes();
}

void QuoteManager::startWatching() {
    if (watcher)
        return;
    watcher = std::make_unique<FileWatcher>(quotesFileURL);
    connect(watcher.get(), &FileWatcher::changed, this, &QuoteManager::fileMayHaveChanged);
}

void QuoteManager::fileMayHaveChanged() {
    // A file that is gone may be on its way back (a sync tool replacing it); loading now would
    // write the default quotes in its place. The next change that brings it back is loaded.
    if (!QFileInfo(quotesFileURL).isFile() || !changedOutside())
        return;
    // Edits that are not saved yet win here; the save that follows keeps the other version.
    if (hasUnsavedEdits())
        return;
    loadQuotes();
}

bool QuoteManager::keepCopyOfCurrentFile(const QString& stem, const QString& why) {
    QString error;
    const auto copy = Files::keepCopyBeside(quotesFileURL, stem, &error);
    if (!copy) {
        printLine(u"Could not save quotes: "_s + error);
        return false;
    }
    printLine(why.arg(QDir::toNativeSeparators(*copy)));
    return true;
}

void QuoteManager::saveQuotes() {
    const QStringList list = quotes;
    const QByteArray document = QuotesDocument::encode(list, otherMembers, quotesPosition);
    QString error;
    if (changedOutside()) {
        if (!keepCopyOfCurrentFile(
                u"conflict"_s,
                u"The quotes file was changed by another program; that version was kept as %1"_s))
            return;
        keepBeforeSaveStem.clear();
    } else if (!keepBeforeSaveStem.isEmpty() && QFileInfo(quotesFileURL).isFile()) {
        if (!keepCopyOfCurrentFile(
                keepBeforeSaveStem,
                keepBeforeSaveStem == u"broken"_s
                    ? u"The quotes file that could not be loaded was kept as %1"_s
                    : u"The quotes file, which names a member more than once, was kept as %1"_s))
            return;
        keepBeforeSaveStem.clear();
    }
    Files::Stamp stamp;
    if (!Files::writeAtomically(quotesFileURL, document, &error, &stamp)) {
        printLine(u"Could not save quotes: "_s + error);
        return;
    }
    remember(stamp, document);
    lastLoadedOrSaved = list;
    if (quotesPosition < 0)
        quotesPosition = otherMembers.size();
    // The manager is owned elsewhere; a work item that outlives it does nothing.
    MainQueue::async([manager = QPointer(this)] {
        if (manager && manager->onQuotesChanged)
            manager->onQuotesChanged();
    });
}

void QuoteManager::createDefaultQuotes() {
    QString error;
    const QByteArray document = QuotesDocument::encode(defaultQuotes);
    Files::Stamp stamp;
    if (Files::writeAtomically(quotesFileURL, document, &error, &stamp))
        remember(stamp, document);
    else
        printLine(u"Could not create default quotes: "_s + error);
}

void QuoteManager::deliver(QStringList list) {
    MainQueue::async([manager = QPointer(this), list = std::move(list)]() mutable {
        if (!manager)
            return;
        manager->lastLoadedOrSaved = list;
        manager->quotes = std::move(list);
        if (manager->onQuotesChanged)
            manager->onQuotesChanged();
    });
}
