#pragma once

#include "Files.h"
#include "QuoteChange.h"
#include "QuotesDocument.h"

#include <QByteArray>
#include <QStringList>

#include <optional>

// The one door to the quotes file: every change, from every writer in every process, goes
// through change(), one transaction each:
//   take the exclusive lock beside the file (every Sayvane process takes it),
//   read the file as it is now,
//   apply the changes to that list,
//   write a temporary file, flush it, swap it into place, flush the folder,
//   compare what was swapped out with what was read: another writer that took no lock and
//   got in between is merged (its file read again and the changes applied to it),
//   release the lock.
// A copy of the earlier file is kept beside it (a conflict, a file that could not be loaded, a
// file naming a member twice) only when the save goes ahead, and it is the earlier file itself,
// renamed, byte for byte.
namespace QuotesFile {

// A copy of the earlier file that a save kept, and why.
struct KeptCopy {
    enum class Reason { conflict, unreadable, repeatedNames, stillOpen };
    Reason reason = Reason::conflict;
    QString path;
};

struct Options {
    // The list a missing file stands for: the default quotes for the command line, the list
    // last loaded for the running program (a sync tool may be swapping the file).
    QStringList whenMissing;
    // Whether a file that cannot be decoded may be replaced (it is kept beside first): the
    // editor, whose user saw that it could not be loaded; never an addition from outside.
    bool replaceUnreadable = false;
    // The list such a file stands for when it is replaced: the list the user last saw.
    QStringList whenUnreadable;
    // Writes even when the changes leave the list as it is (an explicit save).
    bool writeUnchanged = false;
    // The list a replaceAll change replaces, to tell a conflict.
    std::optional<QStringList> replacedList;
    // How long to wait for another process's transaction.
    int lockMilliseconds = 10000;
};

struct Outcome {
    enum class Kind {
        // The changed list is in the file.
        saved,
        // The changes left the list as it was; nothing was written.
        unchanged,
        // The file cannot be decoded and may not be replaced; nothing was written.
        notLoaded,
        // Something failed; error says what. Nothing was changed.
        failed,
    };
    Kind kind = Kind::failed;
    // The list the file holds now (as read when nothing was written).
    QStringList list;
    // Per change, how many quotes it appended.
    std::vector<qsizetype> added;
    QList<KeptCopy> kept;
    QString error;
    // The bytes now in the file, and their stamp: the version the caller knows from now on.
    QByteArray bytes;
    std::optional<Files::Stamp> stamp;
    // Members other than "quotes", and where "quotes" stands among them.
    QList<QuotesDocument::Member> others;
    qsizetype quotesPosition = -1;
};

// The lock file beside the quotes file.
QString lockPath(const QString& quotesFile);

Outcome change(const QString& path, const QuoteChanges& changes, const Options& options);

// Removes what saves that were cut short left beside the file, under the lock (skipped when
// another process holds it: its save is in progress).
void removeLeftovers(const QString& path);

// The file as it is now, without writing anything: for readers that must never write (the
// command line's --print, --list and --bar).
struct Reading {
    // Nothing was at the path.
    bool missing = false;
    // The file's quotes; nothing when it cannot be read or decoded (error says why), or holds
    // no member "quotes" (error empty).
    std::optional<QStringList> quotes;
    QString error;
};
Reading read(const QString& path);

} // namespace QuotesFile
