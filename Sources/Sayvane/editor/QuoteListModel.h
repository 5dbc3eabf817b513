#pragma once

#include <QAbstractListModel>

class QuoteManager;

// The quote manager's list as rows of a list view. The model keeps no copy of the quotes: it
// reads and writes the manager's list, and only its row count is its own, brought up to date
// after each change of the list (the list announces a change before it happens). A change the
// model makes itself (a keystroke in a row, a removal, an insertion, a move) is signalled for
// its own rows only; any other change of the list, such as a reload, for every row at the next
// sync. A row dropped at a new place is not moved here: the model asks for the move
// (moveRequested), so that it can be made as a step that can be undone.
class QuoteListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit QuoteListModel(QuoteManager& manager, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    // What a drag of row i carries.
    static QMimeData* mimeDataOfRow(int row);

    // Brings the rows up to the manager's list as it is now.
    void sync();
    // Removes row i from the list, moving the rows after it up. False if there is no row i.
    bool removeQuote(int row);
    void appendQuote(const QString& quote);
    // Puts the quote at row i (0 to the row count). False if there is no such place.
    bool insertQuote(int row, const QString& quote);
    // Moves row `from` so that it becomes row `to`. False if either is not a row.
    bool moveQuote(int from, int to);

Q_SIGNALS:
    // A sync found the list changed by someone else (a reload, an outside change).
    void listChangedElsewhere();
    // Row `from` was dropped so that it would become row `to`.
    void moveRequested(int from, int to);

private:
    QuoteManager& manager;
    int rows = 0;
    bool changingList = false;
    bool changedElsewhere = false;
};
