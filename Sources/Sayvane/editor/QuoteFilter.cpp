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

bool QuoteFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (folded.isEmpty())
        return true;
    const QString quote =
        sourceModel()->index(sourceRow, 0, sourceParent).data(Qt::EditRole).toString();
    return foldedForSearch(quote).contains(folded);
}
