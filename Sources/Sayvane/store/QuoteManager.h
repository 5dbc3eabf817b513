#pragma once

#include "Files.h"
#include "ObservableObject.h"
#include "Published.h"
#include "QuotesDocument.h"

#include <QDir>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class FileWatcher;

// The quote list in memory and the quotes file ~/.config/Sayvane/quotes.json, the only code
// that reads or writes it. File work happens at once on the calling (main) thread; the loaded
// list and every change notice reach the rest of the system later, through the main queue.
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

    // Reads the file (writing the default quotes first when nothing is at its path). The new
    // list is assigned later on the main queue and followed by one run of onQuotesChanged;
    // a valid document without "quotes" changes nothing.
    void loadQuotes();
    // Writes the list as it stands now. After a successful write, onQuotesChanged runs once,
    // later on the main queue; a failure prints one line and changes nothing. Members of the
    // document other than "quotes" are written back as they were last read. When the file is
    // no longer the one last read or written (another program changed it), that version is
    // first kept beside it under a new name, and one line says where.
    void saveQuotes();

    // What the last load found in the file: nothing it could read, a document without "quotes",
    // an empty "quotes" array (the list then holds the placeholder), or quotes (the list holds
    // them as stored).
    enum class LoadOutcome { failed, noQuotesMember, emptyQuotes, quotes };
    LoadOutcome lastLoadOutcome() const { return lastLoad; }
    // The list without what a load put in the place of quotes: nothing while it is still the
    // error placeholder of a failed load (the file is one that could not be read), an empty
    // list while it is the no-quotes placeholder of a file with no quotes, else the list.
    std::optional<QStringList> storedQuotes() const;

    // Whether the list differs from the one last loaded or saved.
    bool hasUnsavedEdits() const;
    // Saves once if the list holds unsaved edits (at quit).
    void saveUnsavedEdits();

    // Follows the file from now on: a change made by another program is loaded as loadQuotes()
    // loads it, unless the list holds unsaved edits (the next save then keeps that version
    // beside the file). The manager's own saves are not taken for changes.
    void startWatching();

    // What a load makes of the file's bytes: the list it assigns (the file's quotes, or a
    // placeholder), or nothing for a valid document without "quotes". A document that cannot be
    // decoded gives the load-error placeholder and a description in error.
    static std::optional<QStringList> listFromFile(QByteArrayView bytes, QString* error);

private:
    // The version of the file last read or written: its stamp (none when nothing was there or
    // it could not be read), a hash of its bytes, and when that was recorded.
    struct KnownVersion {
        std::optional<Files::Stamp> stamp;
        size_t hash = 0;
        qint64 recordedNanoseconds = 0;
    };

    void createDefaultQuotes();
    void deliver(QStringList list);
    void remember(std::optional<Files::Stamp> stamp, const QByteArray& bytes);
    // True when something is at the path that is not the version last read or written.
    bool changedOutside() const;
    void fileMayHaveChanged();
    bool keepCopyOfCurrentFile(const QString& stem, const QString& why);

    // Set when a load failed on a file that is there (or read one that names a member twice);
    // the save that would replace that file first keeps a copy of it under this stem, so a
    // hand-edited file is never lost to the error placeholder.
    QString keepBeforeSaveStem;
    LoadOutcome lastLoad = LoadOutcome::failed;
    std::optional<KnownVersion> known;
    QStringList lastLoadedOrSaved;
    QList<QuotesDocument::Member> otherMembers;
    qsizetype quotesPosition = -1;
    std::unique_ptr<FileWatcher> watcher;
};
