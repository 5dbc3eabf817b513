#include "QuoteManager.h"

#include "BackgroundWork.h"
#include "Console.h"
#include "FileWatcher.h"
#include "MainQueue.h"
#include "QuoteText.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHashFunctions>
#include <QPointer>
#include <QTimer>
#include <QtConcurrentRun>

#include <algorithm>
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

// What a load read: the list it assigns and how it came out, what it has to say, and the
// version of the file it read.
struct QuoteManager::Loaded {
    // Nothing to take in: the file is gone, or as it was.
    bool skipped = false;
    LoadOutcome outcome = LoadOutcome::failed;
    QStringList list;
    QStringList messages;
    std::optional<size_t> hash;
};

struct QuoteManager::Result {
    Loaded loaded;
    QuotesFile::Outcome transaction;
};

// The step under way on the background thread, and what the main thread keeps for taking in
// its result.
struct QuoteManager::InFlight {
    Step step = Step::load;
    quint64 number = 0;
    QFuture<Result> result;
    // A save: the list it writes. An addition: its callers.
    QStringList sent;
    std::vector<PendingAddition> additions;
};

QuoteManager::QuoteManager(const QString& homeFolder)
    : quotesFileURL(QDir(prepareQuotesFolder(homeFolder)).filePath(u"quotes.json"_s)) {
    QuotesFile::removeLeftovers(quotesFileURL);
}

QuoteManager::~QuoteManager() {
    // A transaction is never cut short; its result has nobody left to take it in.
    if (inFlight)
        inFlight->result.waitForFinished();
}

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
    ask(Step::load);
}

QuoteManager::Loaded QuoteManager::load(const QString& path, bool onlyIfChanged,
                                        std::optional<size_t> known) {
    Loaded loaded;
    if (onlyIfChanged) {
        // A file that is gone may be on its way back (a sync tool replacing it); loading now
        // would write the default quotes in its place. The next change that brings it back is
        // loaded. The bytes decide, not the stamps: a file written in place with its old time
        // restored is a change, a file touched or written again with the same bytes is none.
        loaded.skipped = true;
        if (!QFileInfo(path).isFile())
            return loaded;
        QString ignored;
        const auto bytes = Files::read(path, &ignored);
        if (bytes && known && hashOf(*bytes) == *known)
            return loaded;
        loaded.skipped = false;
    }
    if (!Files::exists(path)) {
        // Written only where nothing is, even if another writer puts a file there meanwhile.
        QuotesFile::Options options;
        options.whenMissing = defaultQuotes;
        const auto created = QuotesFile::change(path, {}, options);
        if (created.kind == QuotesFile::Outcome::Kind::failed)
            loaded.messages.append(u"Could not create default quotes: "_s + created.error);
    }

    QString error;
    if (const auto bytes = Files::read(path, &error)) {
        loaded.hash = hashOf(*bytes);
        if (auto content = QuotesDocument::decode(*bytes, &error)) {
            if (!content->hasQuotes) {
                loaded.outcome = LoadOutcome::noQuotesMember;
                return loaded;
            }
            loaded.outcome =
                content->quotes.isEmpty() ? LoadOutcome::emptyQuotes : LoadOutcome::quotes;
            loaded.list = std::move(content->quotes);
        } else {
            error = u"%1 cannot be loaded: %2"_s.arg(QDir::toNativeSeparators(path), error);
        }
    }
    if (loaded.outcome == LoadOutcome::failed)
        loaded.messages.append(u"Failed to load quotes: "_s + error);
    return loaded;
}

void QuoteManager::takeLoaded(Loaded loaded) {
    if (loaded.skipped)
        return;
    for (const QString& message : std::as_const(loaded.messages))
        printLine(message);
    knownHash = loaded.hash;
    if (loaded.outcome == LoadOutcome::noQuotesMember) {
        // A valid document without "quotes" changes nothing.
        lastLoad = loaded.outcome;
        return;
    }
    // Edits made before this load are worked out against the list they were made on.
    const QuoteChanges unsaved = changesBetween(stored, visibleQuotes());
    lastLoad = loaded.outcome;
    // A load assigns, and so signals, even a list equal to the one it replaces.
    adopt(loaded.list, unsaved, true);
    if (onQuotesChanged)
        onQuotesChanged();
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
    // What is under way or asked for first: the edits are worked out against the file it leaves.
    finishPendingWork();
    if (!hasUnsavedEdits())
        return;
    if (const QString draft = trimmedWhitespaceAndNewlines(newQuoteDraft); !isBlankQuote(draft)) {
        quotes.append(draft);
        newQuoteDraft.clear();
    }
    saveQuotes();
    finishPendingWork();
}

void QuoteManager::finishPendingWork() {
    if (!pendingAdditions.empty())
        ask(Step::add);
    while (inFlight || !waiting.empty()) {
        if (!inFlight)
            startNext();
        else {
            inFlight->result.waitForFinished();
            finishInFlight();
        }
    }
}

void QuoteManager::ask(Step step) {
    // A step like one still waiting to start is that one: it reads or saves what is there when
    // it starts.
    if (std::find(waiting.begin(), waiting.end(), step) == waiting.end())
        waiting.push_back(step);
    if (!inFlight)
        startNext();
}

void QuoteManager::startNext() {
    while (!inFlight && !waiting.empty()) {
        const Step step = waiting.front();
        waiting.pop_front();
        start(step);
    }
}

void QuoteManager::start(Step step) {
    auto flight = std::make_unique<InFlight>();
    flight->step = step;
    flight->number = ++stepsStarted;
    std::function<Result()> work;
    const QString path = quotesFileURL;
    switch (step) {
    case Step::load:
    case Step::loadIfChanged:
        work = [path, onlyIfChanged = step == Step::loadIfChanged, known = knownHash] {
            return Result{load(path, onlyIfChanged, known), {}};
        };
        break;
    case Step::save: {
        flight->sent = visibleQuotes();
        QuotesFile::Options options;
        // A file gone since the last load (a sync tool swapping it) is written from the list.
        options.whenMissing = stored;
        // The user saw the error placeholder: the save goes ahead, keeping the file aside.
        options.replaceUnreadable = true;
        options.whenUnreadable = stored;
        options.writeUnchanged = true;
        options.replacedList = stored;
        work = [path, changes = changesBetween(stored, flight->sent), options] {
            return Result{{}, QuotesFile::change(path, changes, options)};
        };
        break;
    }
    case Step::add: {
        additionScheduled = false;
        flight->additions = std::exchange(pendingAdditions, {});
        if (flight->additions.empty())
            return;
        QuoteChanges changes;
        changes.reserve(flight->additions.size());
        for (const PendingAddition& addition : flight->additions)
            changes.push_back(QuoteChange::add(addition.quotes, true));
        QuotesFile::Options options;
        options.whenMissing = lastLoad == LoadOutcome::failed ? defaultQuotes : stored;
        work = [path, changes = std::move(changes), options] {
            return Result{{}, QuotesFile::change(path, changes, options)};
        };
        break;
    }
    }
    // The result is taken in through the main queue, unless finishPendingWork() took it first.
    work = [work = std::move(work), manager = QPointer(this), number = flight->number] {
        Result result = work();
        MainQueue::async([manager, number] {
            if (manager && manager->inFlight && manager->inFlight->number == number)
                manager->finishInFlight();
        });
        return result;
    };
    flight->result = QtConcurrent::run(&BackgroundWork::pool(), std::move(work));
    inFlight = std::move(flight);
}

void QuoteManager::finishInFlight() {
    const std::unique_ptr<InFlight> flight = std::move(inFlight);
    // Waits, if at all, only for the thread to hand over the result it posted this call after.
    Result result = flight->result.takeResult();
    switch (flight->step) {
    case Step::load:
    case Step::loadIfChanged:
        takeLoaded(std::move(result.loaded));
        break;
    case Step::save:
        takeSaved(result.transaction, flight->sent);
        break;
    case Step::add:
        takeAdded(result.transaction, std::move(flight->additions));
        break;
    }
    startNext();
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
    ask(Step::loadIfChanged);
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
    saving = visibleQuotes();
    ask(Step::save);
}

void QuoteManager::takeSaved(const QuotesFile::Outcome& outcome, const QStringList& sent) {
    if (std::find(waiting.begin(), waiting.end(), Step::save) == waiting.end())
        saving.reset();
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
    // Edits made while the save was under way stay on top, unsaved.
    const QuoteChanges later = changesBetween(sent, visibleQuotes());
    stored = outcome.list;
    placeholderShown.clear();
    QStringList shown = later.empty() ? outcome.list : applyChanges(outcome.list, later).list;
    // The list becomes the file's, with what other writers added; assigned only when it
    // differs, so that a save of the editor's own list leaves its rows alone.
    if (shown != quotes.get())
        quotes = std::move(shown);
    notifyChanged();
}

QuoteManager::Addition QuoteManager::addQuotes(const QStringList& quotesToAdd) {
    Addition result;
    addQuotesSoon(quotesToAdd, [&result](Addition addition) { result = addition; });
    finishPendingWork();
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
            ask(Step::add);
    });
}

void QuoteManager::takeAdded(const QuotesFile::Outcome& outcome,
                             std::vector<PendingAddition> additions) {
    Addition::Outcome kind = Addition::Outcome::added;
    switch (outcome.kind) {
    case QuotesFile::Outcome::Kind::saved:
    case QuotesFile::Outcome::Kind::unchanged: {
        reportKeptCopies(outcome.kept);
        remember(outcome.bytes);
        const QuoteChanges unsaved = changesBetween(stored, visibleQuotes());
        if (lastLoad != LoadOutcome::quotes)
            lastLoad = outcome.list.isEmpty() ? LoadOutcome::emptyQuotes : LoadOutcome::quotes;
        adopt(outcome.list, unsaved, false);
        if (outcome.kind == QuotesFile::Outcome::Kind::saved)
            notifyChanged();
        break;
    }
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
