#include "QuoteListModel.h"

#include "QuoteManager.h"

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
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsEditable : Qt::NoItemFlags;
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

void QuoteListModel::appendQuote(const QString& quote) {
    sync();
    beginInsertRows({}, rows, rows);
    changingList = true;
    manager.quotes.append(quote);
    changingList = false;
    rows = static_cast<int>(manager.quotes->size());
    endInsertRows();
}
