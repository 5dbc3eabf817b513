#pragma once

#include <QSortFilterProxyModel>

#include <vector>

// The quotes that contain a search text, in the list's order. Case and accents do not count,
// so "duong" finds "Đường". The filter is applied when the search text changes and when the
// list changes elsewhere (a reload), not at every keystroke in a row: a row being typed into
// stays in view until the next search. Each quote is folded once and kept so until it changes:
// folding takes most of a search's time.
class QuoteFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit QuoteFilter(QObject* parent = nullptr);

    QString searchText() const { return search; }
    void setSearchText(const QString& text);
    void setSourceModel(QAbstractItemModel* model) override;
    bool isFiltering() const { return !folded.isEmpty(); }
    // Applies the search again to every row.
    void refilter() { invalidateFilter(); }

    // The text as it is compared: case-folded, without accents and other marks, and with the
    // letters that carry a stroke rather than a mark (đ, ø, ł...) put as their plain letter.
    static QString foldedForSearch(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString search;
    QString folded;
    // The folded quotes by row of the list, filled as the search needs them; empty while unknown.
    mutable std::vector<QString> foldedRows;
};
