#include "QuoteManager.h"

#include "Console.h"
#include "FileWatcher.h"
#include "MainQueue.h"
#include "QuoteText.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHashFunctions>
#include <QPointer>
#include <QTimer>

#include <utility>

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

// Tells versions of the file apart: Qt's own hash (AES-based where the processor has it), many
// times faster than a cryptographic one, so that a load or a save of a large file pays little.
size_t hashOf(QByteArrayView bytes) {
    return qHash(bytes, 0);
}

QString keptCopyMessage(QuotesFile::KeptCopy::Reason reason) {
    switch (reason) {
    case QuotesFile::KeptCopy::Reason::conflict:
        return u"The quotes file was changed by another program; that version was kept as %1"_s;
    case QuotesFile::KeptCopy::Reason::unreadable:
        return u"The quotes file that could not be loaded was kept as %1"_s;
    case QuotesFile::KeptCopy::Reason::repeatedNames:
        return u"The quotes file, which names a member more than once, was kept as %1"_s;
    case QuotesFile::KeptCopy::Reason::stillOpen:
        break;
    }
    return u"Another program was still writing the quotes file; its version was kept as %1"_s;
}

// Additions that arrive within this long of each other go into one save.
constexpr int additionGatherMilliseconds = 5;

} // namespace

QuoteManager::QuoteManager(const QString& homeFolder)
    : quotesFileURL(QDir(prepareQuotesFolder(homeFolder)).filePath(u"quotes.json"_s)) {
    QuotesFile::removeLeftovers(quotesFileURL);
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
    if (!Files::exists(quotesFileURL)) {
        // Written only where nothing is, even if another writer puts a file there meanwhile.
        QuotesFile::Options options;
        options.whenMissing = defaultQuotes;
        const auto created = QuotesFile::change(quotesFileURL, {}, options);
        if (created.kind == QuotesFile::Outcome::Kind::failed)
            printLine(u"Could not create default quotes: "_s + created.error);
    }

    QString error;
    LoadOutcome outcome = LoadOutcome::failed;
    QStringList list;
    if (const auto bytes = Files::read(quotesFileURL, &error)) {
        remember(*bytes);
        if (auto content = QuotesDocument::decode(*bytes, &error)) {
            if (!content->hasQuotes) {
                lastLoad = LoadOutcome::noQuotesMember;
                return;
            }
            outcome = content->quotes.isEmpty() ? LoadOutcome::emptyQuotes : LoadOutcome::quotes;
            list = std::move(content->quotes);
        } else {
            error =
                u"%1 cannot be loaded: %2"_s.arg(QDir::toNativeSeparators(quotesFileURL), error);
        }
    } else {
        knownHash.reset();
    }
    if (outcome == LoadOutcome::failed)
        printLine(u"Failed to load quotes: "_s + error);
    deliver(std::move(list), outcome);
}

void QuoteManager::remember(const QByteArray& bytes) {
    knownHash = hashOf(bytes);
}

QStringList QuoteManager::visibleQuotes() const {
    const QStringList& list = quotes;
    if (!placeholderShown.isEmpty() && !list.isEmpty() && list.first() == placeholderShown)
        return list.mid(1);
    return list;
}

void QuoteManager::adopt(const QStringList& fileList, const QuoteChanges& unsaved,
                         bool alwaysAssign) {
    stored = fileList;
    placeholderShown.clear();
    QStringList shown = unsaved.empty() ? fileList : applyChanges(fileList, unsaved).list;
    if (shown.isEmpty() && lastLoad == LoadOutcome::emptyQuotes)
        placeholderKind = Placeholder::noQuotes;
    else if (shown.isEmpty() && lastLoad == LoadOutcome::failed)
        placeholderKind = Placeholder::loadError;
    if (shown.isEmpty() &&
        (lastLoad == LoadOutcome::emptyQuotes || lastLoad == LoadOutcome::failed))
        placeholderShown = textOf(placeholderKind);
    if (!placeholderShown.isEmpty())
        shown = {placeholderShown};
    if (alwaysAssign || shown != quotes.get())
        quotes = std::move(shown);
}

void QuoteManager::deliver(QStringList list, LoadOutcome outcome) {
    MainQueue::async([manager = QPointer(this), list = std::move(list), outcome] {
        if (!manager)
            return;
        // Edits made before this load are worked out against the list they were made on.
        const QuoteChanges unsaved = changesBetween(manager->stored, manager->visibleQuotes());
        manager->lastLoad = outcome;
        // A load assigns, and so signals, even a list equal to the one it replaces.
        manager->adopt(list, unsaved, true);
        if (manager->onQuotesChanged)
            manager->onQuotesChanged();
    });
}

std::optional<QStringList> QuoteManager::storedQuotes() const {
    if (lastLoad == LoadOutcome::failed && !placeholderShown.isEmpty() &&
        quotes.get() == QStringList{placeholderShown})
        return std::nullopt;
    return visibleQuotes();
}

bool QuoteManager::hasUnsavedEdits() const {
    return visibleQuotes() != stored || !isBlankQuote(trimmedWhitespaceAndNewlines(newQuoteDraft));
}

void QuoteManager::saveUnsavedEdits() {
    if (!hasUnsavedEdits())
        return;
    if (const QString draft = trimmedWhitespaceAndNewlines(newQuoteDraft); !isBlankQuote(draft)) {
        quotes.append(draft);
        newQuoteDraft.clear();
    }
    saveQuotes();
}

QString QuoteManager::textOf(Placeholder placeholder) const {
    if (placeholderText)
        return placeholderText(placeholder);
    return placeholder == Placeholder::noQuotes ? noQuotesPlaceholder : loadErrorPlaceholder;
}

void QuoteManager::retranslatePlaceholder() {
    if (placeholderShown.isEmpty() || quotes->isEmpty() || quotes->first() != placeholderShown)
        return;
    placeholderShown = textOf(placeholderKind);
    quotes.replace(0, placeholderShown);
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
    if (!QFileInfo(quotesFileURL).isFile())
        return;
    // The bytes decide, not the stamps: a file written in place with its old time restored is
    // a change, a file touched or written again with the same bytes is none.
    QString ignored;
    const auto bytes = Files::read(quotesFileURL, &ignored);
    if (bytes && knownHash && hashOf(*bytes) == *knownHash)
        return;
    loadQuotes();
}

void QuoteManager::reportKeptCopies(const QList<QuotesFile::KeptCopy>& kept) {
    for (const QuotesFile::KeptCopy& copy : kept) {
        const QString message =
            keptCopyMessage(copy.reason).arg(QDir::toNativeSeparators(copy.path));
        printLine(message);
        if (onCopyKept)
            onCopyKept(copy);
    }
}

void QuoteManager::notifyChanged() {
    // The manager is owned elsewhere; a work item that outlives it does nothing.
    MainQueue::async([manager = QPointer(this)] {
        if (manager && manager->onQuotesChanged)
            manager->onQuotesChanged();
    });
}

void QuoteManager::saveQuotes() {
    const QStringList visible = visibleQuotes();
    QuotesFile::Options options;
    // A file gone since the last load (a sync tool swapping it) is written from the list.
    options.whenMissing = stored;
    // The user saw the error placeholder: the save goes ahead, keeping the file aside.
    options.replaceUnreadable = true;
    options.whenUnreadable = stored;
    options.writeUnchanged = true;
    options.replacedList = stored;
    const auto outcome =
        QuotesFile::change(quotesFileURL, changesBetween(stored, visible), options);
    if (outcome.kind == QuotesFile::Outcome::Kind::failed ||
        outcome.kind == QuotesFile::Outcome::Kind::notLoaded) {
        printLine(u"Could not save quotes: "_s + outcome.error);
        reportKeptCopies(outcome.kept);
        return;
    }
    reportKeptCopies(outcome.kept);
    remember(outcome.bytes);
    if (lastLoad == LoadOutcome::failed || lastLoad == LoadOutcome::noQuotesMember)
        lastLoad = outcome.list.isEmpty() ? LoadOutcome::emptyQuotes : LoadOutcome::quotes;
    stored = outcome.list;
    placeholderShown.clear();
    // The list becomes the file's, with what other writers added; assigned only when it
    // differs, so that a save of the editor's own list leaves its rows alone.
    if (outcome.list != quotes.get())
        quotes = outcome.list;
    notifyChanged();
}

QuoteManager::Addition QuoteManager::addQuotes(const QStringList& quotesToAdd) {
    Addition result;
    addQuotesSoon(quotesToAdd, [&result](Addition addition) { result = addition; });
    addPendingQuotes();
    return result;
}

void QuoteManager::addQuotesSoon(const QStringList& quotesToAdd,
                                 std::function<void(Addition)> answer) {
    pendingAdditions.push_back({quotesToAdd, std::move(answer)});
    if (additionScheduled)
        return;
    additionScheduled = true;
    QTimer::singleShot(additionGatherMilliseconds, this, [this] {
        if (additionScheduled)
            addPendingQuotes();
    });
}

void QuoteManager::addPendingQuotes() {
    additionScheduled = false;
    std::vector<PendingAddition> additions = std::exchange(pendingAdditions, {});
    if (additions.empty())
        return;
    QuoteChanges changes;
    changes.reserve(additions.size());
    for (const PendingAddition& addition : additions)
        changes.push_back(QuoteChange::add(addition.quotes, true));
    QuotesFile::Options options;
    options.whenMissing = lastLoad == LoadOutcome::failed ? defaultQuotes : stored;
    const QuoteChanges unsaved = changesBetween(stored, visibleQuotes());
    const auto outcome = QuotesFile::change(quotesFileURL, changes, options);
    Addition::Outcome kind = Addition::Outcome::added;
    switch (outcome.kind) {
    case QuotesFile::Outcome::Kind::saved:
    case QuotesFile::Outcome::Kind::unchanged:
        reportKeptCopies(outcome.kept);
        remember(outcome.bytes);
        if (lastLoad != LoadOutcome::quotes)
            lastLoad = outcome.list.isEmpty() ? LoadOutcome::emptyQuotes : LoadOutcome::quotes;
        adopt(outcome.list, unsaved, false);
        if (outcome.kind == QuotesFile::Outcome::Kind::saved)
            notifyChanged();
        break;
    case QuotesFile::Outcome::Kind::notLoaded:
        printLine(u"Failed to load quotes: "_s + outcome.error);
        kind = Addition::Outcome::notLoaded;
        break;
    case QuotesFile::Outcome::Kind::failed:
        printLine(u"Could not save quotes: "_s + outcome.error);
        reportKeptCopies(outcome.kept);
        kind = Addition::Outcome::failed;
        break;
    }
    for (size_t i = 0; i < additions.size(); ++i) {
        if (additions[i].answer)
            additions[i].answer({kind, kind == Addition::Outcome::added && i < outcome.added.size()
                                           ? outcome.added[i]
                                           : 0});
    }
}
