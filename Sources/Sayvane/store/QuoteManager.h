#pragma once

#include "Files.h"
#include "ObservableObject.h"
#include "Published.h"
#include "QuoteChange.h"
#include "QuotesDocument.h"
#include "QuotesFile.h"

#include <QDir>
#include <QFuture>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class FileWatcher;

// The quote list in memory and the quotes file ~/.config/Sayvane/quotes.json, the only code
// that reads or writes it. File work (loads, saves, additions) runs on the background thread,
// one step at a time in the order asked for; each step's result is taken in on the main thread,
// through the main queue, before the next step starts. The loaded list and every change notice
// reach the rest of the system that way, later.
class QuoteManager : public ObservableObject {
    Q_OBJECT

public:
    static const QStringList defaultQuotes;
    static const QString noQuotesPlaceholder;
    static const QString loadErrorPlaceholder;
    // The folder of the quotes file under a home folder: ~/.config/Sayvane.
    static QString quotesFolder(const QString& homeFolder);

    // Computes the file's location under the home folder and makes the quotes folder when
    // nothing at all is at its path. Reads and writes no file.
    // Temporary files that earlier saves were cut short in are removed.
    explicit QuoteManager(const QString& homeFolder = Files::homeFolder());
    ~QuoteManager() override;

    Published<QStringList> quotes{this};
    const QString quotesFileURL;
    // Run after a load has assigned the list and after each successful save; looked up when the
    // queued work item runs, not when it is queued.
    std::function<void()> onQuotesChanged;

    // Reads the file on the background thread (writing the default quotes first when nothing
    // is at its path). The new list is assigned later on the main queue and followed by one run
    // of onQuotesChanged;
    // a valid document without "quotes" changes nothing. Edits not saved yet (a row typed into
    // and not submitted) are kept over the new list: a row that still reads as it did gets the
    // edit again, and an edit of a row that is gone stays as a row of its own.
    void loadQuotes();
    // Saves the changes made to the list since it was last loaded or saved (rows edited,
    // removed, appended) to the file as it is now, in one transaction (QuotesFile): what other
    // writers changed meanwhile stays, and the list becomes the file's, with the edits made
    // while it was saving kept on top (they are saved by the next save). Saves asked for while
    // one waits to start are one save. An untouched
    // placeholder is never saved. Only when another writer changed a row that is edited here
    // too is that version first kept beside the file, and one line says where. After a
    // successful save, onQuotesChanged runs once, later on the main queue; a failure prints one
    // line and changes nothing.
    void saveQuotes();

    // What came of adding quotes from outside the editor.
    struct Addition {
        enum class Outcome { added, notLoaded, failed };
        Outcome outcome = Outcome::added;
        // How many were appended (0 when all were there already; nothing was written then).
        qsizetype added = 0;
    };
    // Appends to the file as it is now those of the quotes that it does not hold yet, in one
    // transaction; never to a file that cannot be decoded. Edits not saved yet stay unsaved.
    // Returns once the quotes are on disk (needs no event loop: the command line's --add).
    Addition addQuotes(const QStringList& quotes);
    // The same, for many callers at once: additions that arrive within a few milliseconds of
    // each other are written in one save, and each caller is answered once its quotes are on
    // disk.
    void addQuotesSoon(const QStringList& quotes, std::function<void(Addition)> answer);

    // What the last load found in the file: nothing it could read, a document without "quotes",
    // an empty "quotes" array (the list then holds the placeholder), or quotes (the list holds
    // them as stored).
    enum class LoadOutcome { failed, noQuotesMember, emptyQuotes, quotes };
    LoadOutcome lastLoadOutcome() const { return lastLoad; }
    // The list without what a load put in the place of quotes: nothing while it is still the
    // error placeholder of a failed load (the file is one that could not be read), an empty
    // list while it is the no-quotes placeholder of a file with no quotes, else the list.
    std::optional<QStringList> storedQuotes() const;

    // Whether the list differs from the one last loaded or saved, or a new quote is being
    // typed.
    bool hasUnsavedEdits() const;
    // The list as the file held it when it was last loaded or saved, or as the save asked for
    // last writes it while that save is still to come.
    const QStringList& savedQuotes() const { return saving ? *saving : stored; }
    // Finishes the file work asked for so far, then saves once if the list holds unsaved edits,
    // the quote being typed as an addition; returns when all of it is on disk (at quit).
    void saveUnsavedEdits();
    // Blocks until every load, save and addition asked for so far (additions still being
    // gathered included) is done and taken in.
    void finishPendingWork();
    // The text of the editor's new-quote field, typed and not added yet: saved by
    // saveUnsavedEdits() as an addition unless it is blank.
    void setNewQuoteDraft(const QString& text) { newQuoteDraft = text; }

    // The two texts a load may show in the place of quotes. They are never saved: an addition
    // takes their place.
    enum class Placeholder { noQuotes, loadError };
    // Gives a placeholder's text in the interface language; unset, the fixed English texts.
    std::function<QString(Placeholder)> placeholderText;
    // Shows the placeholder on display, if any, in the text placeholderText gives now (after a
    // change of language).
    void retranslatePlaceholder();
    // Run when a save kept the earlier file beside the new one (it said where on standard
    // output too).
    std::function<void(const QuotesFile::KeptCopy&)> onCopyKept;

    // Follows the file from now on: a change made by another program is loaded as loadQuotes()
    // loads it, keeping edits not saved yet. The manager's own saves are not taken for changes.
    void startWatching();

    // What a load makes of the file's bytes: the list it assigns (the file's quotes, or a
    // placeholder), or nothing for a valid document without "quotes". A document that cannot be
    // decoded gives the load-error placeholder and a description in error.
    static std::optional<QStringList> listFromFile(QByteArrayView bytes, QString* error);

private:
    struct PendingAddition {
        QStringList quotes;
        std::function<void(Addition)> answer;
    };
    // One step of file work, and what it came to.
    enum class Step { load, loadIfChanged, save, add };
    struct Loaded;
    struct Result;
    struct InFlight;

    // Reads and decodes the file on the background thread (writing the default quotes first
    // where nothing is); with onlyIfChanged, nothing when the file is gone or its bytes hash to
    // `known`.
    static Loaded load(const QString& path, bool onlyIfChanged, std::optional<size_t> known);
    void ask(Step step);
    void startNext();
    void start(Step step);
    void finishInFlight();
    void takeLoaded(Loaded loaded);
    void takeSaved(const QuotesFile::Outcome& outcome, const QStringList& sent);
    void takeAdded(const QuotesFile::Outcome& outcome, std::vector<PendingAddition> additions);
    QString textOf(Placeholder placeholder) const;
    // The list as the user sees it, without a placeholder nobody touched.
    QStringList visibleQuotes() const;
    // The file now holds `stored`: it becomes the list, with the edits not saved yet on top.
    void adopt(const QStringList& fileList, const QuoteChanges& unsaved, bool alwaysAssign);
    void remember(const QByteArray& bytes);
    void reportKeptCopies(const QList<QuotesFile::KeptCopy>& kept);
    void fileMayHaveChanged();
    void notifyChanged();

    LoadOutcome lastLoad = LoadOutcome::failed;
    // The list as the file held it when last read or written, and a hash of those bytes.
    QStringList stored;
    std::optional<size_t> knownHash;
    // The placeholder a load showed at the top of the list instead of quotes, if any.
    QString placeholderShown;
    Placeholder placeholderKind = Placeholder::noQuotes;
    QString newQuoteDraft;
    std::unique_ptr<FileWatcher> watcher;
    std::vector<PendingAddition> pendingAdditions;
    bool additionScheduled = false;
    // The list the save asked for last writes, until it is done.
    std::optional<QStringList> saving;
    std::deque<Step> waiting;
    std::unique_ptr<InFlight> inFlight;
    quint64 stepsStarted = 0;
};
