#pragma once

#include <QStringList>

#include <vector>

// One change to the quote list, made to the list as the file holds it at the moment of saving
// rather than by writing a whole list kept in memory, so that changes other writers made in
// the meantime stay.
struct QuoteChange {
    enum class Kind {
        // Appends the quotes; with skipPresent, only those not in the list yet.
        add,
        // Row `row`, which read `was`, now reads `now`.
        replace,
        // Row `row`, which read `was`, is removed.
        remove,
        // `now` goes in at row `row`, before the row that read `was` (at the end when `was` is
        // empty and nothing follows).
        insert,
        // Row `row`, which read `was`, moves to become row `to`.
        move,
        // The list becomes `quotes`, whatever it holds.
        replaceAll,
    };
    Kind kind = Kind::add;
    QStringList quotes;
    qsizetype row = -1;
    QString was;
    QString now;
    qsizetype to = -1;
    bool skipPresent = false;

    static QuoteChange add(QStringList quotes, bool skipPresent);
    static QuoteChange replace(qsizetype row, QString was, QString now);
    static QuoteChange remove(qsizetype row, QString was);
    static QuoteChange insert(qsizetype row, QString now, QString before);
    static QuoteChange move(qsizetype row, QString was, qsizetype to);
    static QuoteChange replaceAll(QStringList quotes);

    friend bool operator==(const QuoteChange&, const QuoteChange&) = default;
};

using QuoteChanges = std::vector<QuoteChange>;

// What applying changes to a list came to.
struct AppliedChanges {
    QStringList list;
    // For each change, how many quotes it appended (additions; 0 for the others).
    std::vector<qsizetype> added;
    // An edit met a row that another writer changed too: the other version must be kept aside
    // before this list replaces it. The user's text is in the list all the same (appended).
    bool conflict = false;
};

// Applies the changes in order. An addition never conflicts. An edit, a removal or a move finds
// its row by position when it still reads what it read, else by that text where it occurs once;
// a removal or a move whose text is gone has nothing left to act on; an edit whose row cannot be
// found (another writer changed it) appends the new text and reports a conflict, unless the list
// has that text already. An insertion goes before the row it went before, found the same way,
// else at its position (or the end). replaceAll conflicts when the list is not the one it
// replaces.
AppliedChanges applyChanges(QStringList list, const QuoteChanges& changes,
                            const QStringList* replacedList = nullptr);

// The changes that turn `before` into `after`, as an editor makes them: rows edited in place,
// one row removed or put in, one row moved, quotes appended. Anything else is one replaceAll.
QuoteChanges changesBetween(const QStringList& before, const QStringList& after);
