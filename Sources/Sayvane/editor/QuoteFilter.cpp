#include "QuoteFilter.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Letters whose stroke or bar is part of the letter: Unicode gives them no decomposition, so
// taking the marks off leaves them as they are.
char16_t plainLetter(char16_t letter) {
    switch (letter) {
    case u'đ':
    case u'Đ':
        return u'd';
    case u'ø':
    case u'Ø':
        return u'o';
    case u'ł':
    case u'Ł':
        return u'l';
    case u'ħ':
    case u'Ħ':
        return u'h';
    case u'ŧ':
    case u'Ŧ':
        return u't';
    case u'ı':
        return u'i';
    default:
        return letter;
    }
}

bool isAscii(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

QuoteFilter::QuoteFilter(QObject* parent)
    : QSortFilterProxyModel(parent) {
    // Typing in a row must not take it out of view; a search and a reload filter again.
    setDynamicSortFilter(false);
}

void QuoteFilter::setSearchText(const QString& text) {
    search = text;
    folded = foldedForSearch(text.trimmed());
    invalidateFilter();
}

QString QuoteFilter::foldedForSearch(const QString& text) {
    // Most quotes are plain ASCII, where folding is lowering (and costs little over many rows).
    if (isAscii(text))
        return text.toLower();
    // Compatibility decomposition also puts full-width letters and ligatures as plain ones.
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString result;
    result.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
            category == QChar::Mark_Enclosing)
            continue;
        result.append(QChar(plainLetter(c.unicode())));
    }
    return result.toCaseFolded();
}

void QuoteFilter::setSourceModel(QAbstractItemModel* model) {
    QSortFilterProxyModel::setSourceModel(model);
    foldedRows.clear();
    // A row's text changed: its folding is out of date. Rows come, go or move: every one is.
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                for (int row = first.row(); row <= last.row() && size_t(row) < foldedRows.size();
                     ++row)
                    foldedRows[size_t(row)].clear();
            });
    // Before the filter itself follows the change, which may fold rows again.
    const auto forgetAll = [this] { foldedRows.clear(); };
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, forgetAll);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, forgetAll);
    connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this, forgetAll);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, forgetAll);
    connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, forgetAll);
}

bool QuoteFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (folded.isEmpty())
        return true;
    if (foldedRows.size() != size_t(sourceModel()->rowCount()))
        foldedRows.assign(size_t(sourceModel()->rowCount()), QString());
    QString& foldedQuote = foldedRows[size_t(sourceRow)];
    // A quote that folds to nothing is folded again each time; it is found by nothing either.
    if (foldedQuote.isEmpty())
        foldedQuote = foldedForSearch(
            sourceModel()->index(sourceRow, 0, sourceParent).data(Qt::EditRole).toString());
    return foldedQuote.contains(folded);
}
