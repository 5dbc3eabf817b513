#include "BarTicker.h"

#include "DisplayText.h"

#include <algorithm>

void BarTicker::setQuotes(const QStringList& list, QuoteOrder order) {
    setSegments(DisplayText::segments(list, order));
}

void BarTicker::setSegments(const QStringList& segments) {
    window.setSegments(segments);
    column = 0;
}

void BarTicker::advance() {
    if (window.totalColumns() > 0)
        column = (column + 1) % window.totalColumns();
}

void BarTicker::jumpQuotes(int steps) {
    if (window.totalColumns() == 0 || steps == 0)
        return;
    // The quote whose piece (the quote and its separator) is under the left edge.
    const qsizetype count = quoteCount();
    qsizetype at = window.segmentAtColumn(column) / 2;
    auto startColumn = [this](qsizetype quote) { return window.columnOfSegment(quote * 2); };
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
    const qsizetype segment = window.segmentAtColumn(column + columns / 2);
    return segment < 0 ? QString() : quote(segment / 2);
}
