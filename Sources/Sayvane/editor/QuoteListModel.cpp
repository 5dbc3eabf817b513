#include "QuoteListModel.h"

#include "QuoteManager.h"

#include <QMimeData>

using namespace Qt::StringLiterals;

namespace {

// A row of this list, dragged within it.
const QString rowMimeType = u"application/x-sayvane-quote-row"_s;

} // namespace

QuoteListModel::QuoteListModel(QuoteManager& manager, QObject* parent)
    : QAbstractListModel(parent)
    , manager(manager)
    , rows(static_cast<int>(manager.quotes->size())) {
    connect(&manager, &ObservableObject::objectWillChange, this, [this] {
        if (!changingList)
            changedElsewhere = true;
    });
}

int QuoteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows;
}

QVariant QuoteListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    // Between a change of the list and the next sync a row may be past its end.
    return manager.quotes->value(index.row());
}

bool QuoteListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    changingList = true;
    const bool replaced = manager.quotes.replace(index.row(), value.toString());
    changingList = false;
    // One keystroke, one row: the other rows' widgets are left alone.
    if (replaced && index.row() < rows)
        Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return replaced;
}

Qt::ItemFlags QuoteListModel::flags(const QModelIndex& index) const {
    // Rows are dropped between rows, never onto one.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled
                           : Qt::ItemIsDropEnabled;
}

QStringList QuoteListModel::mimeTypes() const {
    return {rowMimeType};
}

QMimeData* QuoteListModel::mimeDataOfRow(int row) {
    auto* data = new QMimeData;
    data->setData(rowMimeType, QByteArray::number(row));
    return data;
}

bool QuoteListModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                     const QModelIndex& parent) const {
    return data && data->hasFormat(rowMimeType) && action == Qt::MoveAction && !parent.isValid();
}

bool QuoteListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                  const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    bool ok = false;
    const int from = data->data(rowMimeType).toInt(&ok);
    if (!ok || from < 0 || from >= rows)
        return false;
    // Dropped before `row` (after the last row when none is given).
    const int before = row < 0 || row > rows ? rows : row;
    const int to = before > from ? before - 1 : before;
    if (to != from)
        Q_EMIT moveRequested(from, to);
    // The move, when made, moves the row; nothing is to be removed where the drag began.
    return false;
}

void QuoteListModel::sync() {
    const int count = static_cast<int>(manager.quotes->size());
    if (count > rows) {
        beginInsertRows({}, rows, count - 1);
        rows = count;
        endInsertRows();
    } else if (count < rows) {
        beginRemoveRows({}, count, rows - 1);
        rows = count;
        endRemoveRows();
    }
    const bool elsewhere = changedElsewhere;
    changedElsewhere = false;
    if (elsewhere && rows > 0)
        Q_EMIT dataChanged(index(0), index(rows - 1), {Qt::DisplayRole, Qt::EditRole});
    if (elsewhere)
        Q_EMIT listChangedElsewhere();
}

bool QuoteListModel::removeQuote(int row) {
    sync();
    if (row < 0 || row >= rows)
        return false;
    beginRemoveRows({}, row, row);
    changingList = true;
    manager.quotes.removeAt(row);
    changingList = false;
    rows = static_cast<int>(manager.quotes->size());
    endRemoveRows();
    return true;
}

bool QuoteListModel::insertQuote(int row, const QString& quote) {
    sync();
    if (row < 0 || row > rows)
        return false;
    beginInsertRows({}, row, row);
    changingList = true;
    manager.quotes.insert(row, quote);
    changingList = false;
    rows = static_cast<int>(manager.quotes->size());
    endInsertRows();
    return true;
}

bool QuoteListModel::moveQuote(int from, int to) {
    sync();
    if (from < 0 || from >= rows || to < 0 || to >= rows)
        return false;
    if (from == to)
        return true;
    // Qt names the row the moved one goes before, as it was before the move.
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    changingList = true;
    manager.quotes.move(from, to);
    changingList = false;
    endMoveRows();
    return true;
}

void QuoteListModel::appendQuote(const QString& quote) {
    sync();
    beginInsertRows({}, rows, rows);
    changingList = true;
    manager.quotes.append(quote);
    changingList = false;
    rows = static_cast<int>(manager.quotes->size());
    endInsertRows();
}
