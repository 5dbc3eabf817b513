#include "QuoteChange.h"

#include <QSet>

#include <algorithm>

QuoteChange QuoteChange::add(QStringList quotes, bool skipPresent) {
    QuoteChange change;
    change.kind = Kind::add;
    change.quotes = std::move(quotes);
    change.skipPresent = skipPresent;
    return change;
}

QuoteChange QuoteChange::replace(qsizetype row, QString was, QString now) {
    QuoteChange change;
    change.kind = Kind::replace;
    change.row = row;
    change.was = std::move(was);
    change.now = std::move(now);
    return change;
}

QuoteChange QuoteChange::remove(qsizetype row, QString was) {
    QuoteChange change;
    change.kind = Kind::remove;
    change.row = row;
    change.was = std::move(was);
    return change;
}

QuoteChange QuoteChange::replaceAll(QStringList quotes) {
    QuoteChange change;
    change.kind = Kind::replaceAll;
    change.quotes = std::move(quotes);
    return change;
}

namespace {

// The row that still reads the text: at its old position, else the only row holding it.
qsizetype findRow(const QStringList& list, qsizetype row, const QString& text) {
    if (row >= 0 && row < list.size() && list[row] == text)
        return row;
    const qsizetype first = list.indexOf(text);
    if (first >= 0 && list.indexOf(text, first + 1) < 0)
        return first;
    return -1;
}

} // namespace

AppliedChanges applyChanges(QStringList list, const QuoteChanges& changes,
                            const QStringList* replacedList) {
    AppliedChanges result;
    result.added.reserve(changes.size());
    // Built when the first addition that leaves out present quotes needs it, then kept up.
    std::optional<QSet<QString>> present;
    for (const QuoteChange& change : changes) {
        qsizetype added = 0;
        switch (change.kind) {
        case QuoteChange::Kind::add:
            if (change.skipPresent && !present)
                present.emplace(list.cbegin(), list.cend());
            for (const QString& quote : change.quotes) {
                if (change.skipPresent) {
                    if (present->contains(quote))
                        continue;
                }
                if (present)
                    present->insert(quote);
                list.append(quote);
                ++added;
            }
            break;
        case QuoteChange::Kind::replace:
            if (const qsizetype row = findRow(list, change.row, change.was); row >= 0) {
                list[row] = change.now;
            } else if (!list.contains(change.now)) {
                list.append(change.now);
                result.conflict = true;
            }
            present.reset();
            break;
        case QuoteChange::Kind::remove:
            if (const qsizetype row = findRow(list, change.row, change.was); row >= 0)
                list.removeAt(row);
            present.reset();
            break;
        case QuoteChange::Kind::replaceAll:
            if (replacedList && list != *replacedList)
                result.conflict = true;
            list = change.quotes;
            present.reset();
            break;
        }
        result.added.push_back(added);
    }
    result.list = std::move(list);
    return result;
}

QuoteChanges changesBetween(const QStringList& before, const QStringList& after) {
    QuoteChanges changes;
    const qsizetype common = std::min(before.size(), after.size());
    if (after.size() >= before.size()) {
        for (qsizetype i = 0; i < common; ++i) {
            if (before[i] != after[i])
                changes.push_back(QuoteChange::replace(i, before[i], after[i]));
        }
        if (after.size() > common)
            changes.push_back(QuoteChange::add(after.mid(common), false));
        return changes;
    }
    if (before.size() != after.size() + 1)
        return {QuoteChange::replaceAll(after)};
    // One row removed, perhaps beside edits of others: the removed row is the one that leaves
    // the fewest rows differing. Rows before it pair with the same position, rows after it
    // with the position one further on.
    std::vector<qsizetype> differingAfter(static_cast<size_t>(after.size()) + 1, 0);
    for (qsizetype i = after.size() - 1; i >= 0; --i)
        differingAfter[i] = differingAfter[i + 1] + (after[i] != before[i + 1]);
    qsizetype removed = 0;
    qsizetype fewest = differingAfter[0];
    qsizetype differingBefore = 0;
    for (qsizetype k = 1; k <= after.size(); ++k) {
        differingBefore += after[k - 1] != before[k - 1];
        if (differingBefore + differingAfter[k] < fewest) {
            fewest = differingBefore + differingAfter[k];
            removed = k;
        }
    }
    for (qsizetype i = 0; i < after.size(); ++i) {
        const qsizetype from = i < removed ? i : i + 1;
        if (before[from] != after[i])
            changes.push_back(QuoteChange::replace(from, before[from], after[i]));
    }
    changes.push_back(QuoteChange::remove(removed, before[removed]));
    return changes;
}
