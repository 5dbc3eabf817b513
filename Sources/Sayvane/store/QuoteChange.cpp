#include "QuoteChange.h"

#include <QSet>

#include <algorithm>
#include <optional>

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

QuoteChange QuoteChange::insert(qsizetype row, QString now, QString before) {
    QuoteChange change;
    change.kind = Kind::insert;
    change.row = row;
    change.now = std::move(now);
    change.was = std::move(before);
    return change;
}

QuoteChange QuoteChange::move(qsizetype row, QString was, qsizetype to) {
    QuoteChange change;
    change.kind = Kind::move;
    change.row = row;
    change.was = std::move(was);
    change.to = to;
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
        case QuoteChange::Kind::insert: {
            const qsizetype next =
                change.row < list.size() ? findRow(list, change.row, change.was) : -1;
            list.insert(next >= 0 ? next : std::min(change.row, list.size()), change.now);
            present.reset();
            break;
        }
        case QuoteChange::Kind::move:
            if (const qsizetype row = findRow(list, change.row, change.was); row >= 0)
                list.move(row, std::clamp(change.to, qsizetype(0), list.size() - 1));
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

namespace {

// Where one row of `shorter` is missing from `longer` (one more row), chosen so that the fewest
// other rows differ: rows before it pair with the same position, rows after it with the
// position one further on in `longer`.
qsizetype oddRowOut(const QStringList& longer, const QStringList& shorter) {
    std::vector<qsizetype> differingAfter(static_cast<size_t>(shorter.size()) + 1, 0);
    for (qsizetype i = shorter.size() - 1; i >= 0; --i)
        differingAfter[i] = differingAfter[i + 1] + (shorter[i] != longer[i + 1]);
    qsizetype odd = 0;
    qsizetype fewest = differingAfter[0];
    qsizetype differingBefore = 0;
    for (qsizetype k = 1; k <= shorter.size(); ++k) {
        differingBefore += shorter[k - 1] != longer[k - 1];
        if (differingBefore + differingAfter[k] < fewest) {
            fewest = differingBefore + differingAfter[k];
            odd = k;
        }
    }
    return odd;
}

// One row taken out and put back elsewhere, the rest as they were: that move, if it is one.
std::optional<QuoteChange> movedRow(const QStringList& before, const QStringList& after) {
    qsizetype first = 0;
    while (first < before.size() && before[first] == after[first])
        ++first;
    qsizetype last = before.size() - 1;
    while (last > first && before[last] == after[last])
        --last;
    if (last <= first)
        return std::nullopt;
    const qsizetype span = last - first;
    // Moved down: the first row of the span went to its end.
    if (after[last] == before[first] &&
        std::equal(before.cbegin() + first + 1, before.cbegin() + last + 1, after.cbegin() + first))
        return QuoteChange::move(first, before[first], last);
    // Moved up: the last row went to the front.
    if (after[first] == before[last] &&
        std::equal(before.cbegin() + first, before.cbegin() + first + span,
                   after.cbegin() + first + 1))
        return QuoteChange::move(last, before[last], first);
    return std::nullopt;
}

} // namespace

QuoteChanges changesBetween(const QStringList& before, const QStringList& after) {
    QuoteChanges changes;
    const qsizetype common = std::min(before.size(), after.size());
    if (after.size() == before.size()) {
        if (const std::optional<QuoteChange> move = movedRow(before, after))
            return {*move};
    }
    if (after.size() == before.size() + 1 && after.first(before.size()) != before) {
        // One row put in (a removal undone), elsewhere than on the end.
        const qsizetype inserted = oddRowOut(after, before);
        if (inserted < before.size()) {
            for (qsizetype i = 0; i < before.size(); ++i) {
                const qsizetype to = i < inserted ? i : i + 1;
                if (before[i] != after[to])
                    changes.push_back(QuoteChange::replace(i, before[i], after[to]));
            }
            changes.push_back(QuoteChange::insert(inserted, after[inserted], before[inserted]));
            return changes;
        }
    }
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
    // One row removed, perhaps beside edits of others.
    const qsizetype removed = oddRowOut(before, after);
    for (qsizetype i = 0; i < after.size(); ++i) {
        const qsizetype from = i < removed ? i : i + 1;
        if (before[from] != after[i])
            changes.push_back(QuoteChange::replace(from, before[from], after[i]));
    }
    changes.push_back(QuoteChange::remove(removed, before[removed]));
    return changes;
}
