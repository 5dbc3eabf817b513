#pragma once

#include <QAbstractListModel>

class QuoteManager;

// The quote manager's list as rows of a list view. The model keeps no copy of the quotes: it
// reads and writes the manager's list, and only its row count is its own, brought up to date
// after each change of the list (the list announces a change before it happens). A change the
// model makes itself (a keystroke in a row, a removal, an addition) is signalled for its own
// rows only; any other change of the list, such as a reload, for every row at the next sync.
class QuoteListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit QuoteListModel(QuoteManager& manager, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Brings the rows up to the manager's list as it is now.
    void sync();
    // Removes row i from the list, moving the rows after it up. False if there is no row i.
    bool removeQuote(int row);
    void appendQuote(const QString& quote);

Q_SIGNALS:
    // A sync found the list changed by someone else (a reload, an outside change).
    void listChangedElsewhere();

private:
    QuoteManager& manager;
    int rows = 0;
    bool changingList = false;
    bool changedElsewhere = false;
};
