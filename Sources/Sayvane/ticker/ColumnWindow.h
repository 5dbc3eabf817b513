#pragma once

#include <QString>

#include <vector>

// A window of a fixed number of terminal columns over a text that repeats without end, as a
// ticker shows it: the text is laid end to end with itself and the window may start at any
// column. A wide character that the window's edge would cut in half is replaced by a space, and
// control characters and line breaks are shown as blanks, so every window is exactly as wide
// as asked.
//
// Finding a column costs the same however long the text is: the text is walked once when it is
// set, keeping the column of a cell start every few hundred characters.
class ColumnWindow {
public:
    explicit ColumnWindow(QString text = {});

    void setText(QString text);
    const QString& text() const { return source; }
    // The columns of the whole text, once round.
    qsizetype totalColumns() const { return total; }

    // The columns wide view whose left edge is at column start (taken round the text).
    QString window(qsizetype start, int columns) const;
    // The index in the text of the cell that covers the column (taken round the text); -1 for
    // an empty text.
    qsizetype indexAtColumn(qsizetype column) const;
    // The first column of the cell that covers the index in the text (the other way round).
    qsizetype columnAtIndex(qsizetype index) const;

    // The text from its start, cut or padded to exactly the columns, not repeated.
    static QString fitted(QStringView text, int columns);

private:
    struct Mark {
        qsizetype index;
        qsizetype column;
    };
    // The start of the cell that covers the column, and that cell's first column.
    Mark cellCovering(qsizetype column) const;

    QString source;
    qsizetype total = 0;
    std::vector<Mark> marks;
};
