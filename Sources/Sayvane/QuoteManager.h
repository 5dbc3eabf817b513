#pragma once

#include "ObservableObject.h"
#include "Published.h"

#include <QDir>
#include <QStringList>

#include <functional>
#include <optional>

// The quote list in memory and the quotes file ~/.config/Sayvane/quotes.json, the only code
// that reads or writes it. File work happens at once on the calling (main) thread; the loaded
// list and every change notice reach the rest of the system later, through the main queue.
class QuoteManager : public ObservableObject {
    Q_OBJECT

public:
    static const QStringList defaultQuotes;
    static const QString noQuotesPlaceholder;
    static const QString loadErrorPlaceholder;

    // Computes the file's location under the home folder and makes the quotes folder when
    // nothing at all is at its path. Reads and writes no file.
    explicit QuoteManager(const QString& homeFolder = QDir::homePath());

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
    // later on the main queue; a failure prints one line and changes nothing.
    void saveQuotes();

    // What a load makes of the file's bytes: the list it assigns (the file's quotes, or a
    // placeholder), or nothing for a valid document without "quotes". A document that cannot be
    // decoded gives the load-error placeholder and a description in error.
    static std::optional<QStringList> listFromFile(QByteArrayView bytes, QString* error);

private:
    void createDefaultQuotes();
    void deliver(QStringList list);

    // Set when a load failed on a file that is there; the save that would replace that file
    // first keeps a copy of it, so a hand-edited file is never lost to the error placeholder.
    bool keepFailedFileBeforeSave = false;
};
