#pragma once

#include "ColumnWindow.h"
#include "DisplayText.h"

#include <QString>
#include <QStringList>

// What a feed shows at each step, apart from its input and output: the display text of a list
// (fresh emojis) seen through a window that moves one column a step, and the quote under the
// window's middle. A step costs the same however long the list is.
class BarTicker {
public:
    explicit BarTicker(int columns = 30)
        : columns(columns) {}

    // Builds the display text of a non-empty list and puts the window at its start.
    void setQuotes(const QStringList& quotes, QuoteOrder order = QuoteOrder::written);
    // The same for a display text already made, as segments: each quote followed by its
    // separator (DisplayText::segments), so that the emojis are the ones shown
    // elsewhere.
    void setSegments(const QStringList& segments);
    // One column on, round the text without a seam.
    void advance();
    // Puts the window's left edge at the start of the next quote (steps > 0) or of an earlier
    // one (steps < 0), round the list.
    void jumpQuotes(int steps);
    // The window's text, exactly the columns wide.
    QString text() const;
    // The whole quote whose piece is under the middle of the window.
    QString tooltip() const;

    int width() const { return columns; }
    void setWidth(int width) { columns = width; }
    qsizetype position() const { return column; }
    // The quotes shown, each the segment before its separator.
    qsizetype quoteCount() const { return (window.segments().size() + 1) / 2; }
    const QString& quote(qsizetype index) const { return window.segments().at(index * 2); }
    const ColumnWindow& columnWindow() const { return window; }

private:
    int columns;
    // Over the segments themselves, shared with whoever gave them: a long list is held once.
    ColumnWindow window;
    qsizetype column = 0;
};
