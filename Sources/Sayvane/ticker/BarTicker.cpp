#include "BarTicker.h"

#include "DisplayText.h"

#include <algorithm>

void BarTicker::setQuotes(const QStringList& list, QuoteOrder order) {
    setSegments(DisplayText::segments(list, order));
}

void BarTicker::setSegments(const QStringList& segments) {
    quotes.clear();
    pieceStarts.clear();
    const auto count = static_cast<size_t>((segments.size() + 1) / 2);
    quotes.reserve(static_cast<qsizetype>(count));
    pieceStarts.reserve(count);
    qsizetype at = 0;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (i % 2 == 0) {
            quotes.append(segments[i]);
            pieceStarts.push_back(at);
        }
        at += segments[i].size();
    }
    window.setText(segments.join(QString()));
    column = 0;
}

void BarTicker::advance() {
    if (window.totalColumns() > 0)
        column = (column + 1) % window.totalColumns();
}

void BarTicker::jumpQuotes(int steps) {
    if (window.totalColumns() == 0 || pieceStarts.empty() || steps == 0)
        return;
    // The quote whose piece is under the left edge.
    const auto after =
        std::upper_bound(pieceStarts.begin(), pieceStarts.end(), window.indexAtColumn(column));
    const auto count = static_cast<qsizetype>(pieceStarts.size());
    qsizetype at = std::max<qsizetype>(after - pieceStarts.begin() - 1, 0);
    auto startColumn = [this](qsizetype piece) {
        return window.columnAtIndex(pieceStarts[static_cast<size_t>(piece)]);
    };
    // Back from the middle of a quote goes first to its own start.
    if (steps < 0 && startColumn(at) != column)
        ++steps;
    at = ((at + steps) % count + count) % count;
    column = startColumn(at);
}

QString BarTicker::text() const {
    return window.window(column, columns);
}

QString BarTicker::tooltip() const {
    const qsizetype index = window.indexAtColumn(column + columns / 2);
    if (index < 0)
        return {};
    const auto after = std::upper_bound(pieceStarts.begin(), pieceStarts.end(), index);
    return quotes.at(after - pieceStarts.begin() - 1);
}
