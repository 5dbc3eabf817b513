#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// A window of a fixed number of terminal columns over a text that repeats without end, as a
// ticker shows it: the text is laid end to end with itself and the window may start at any
// column. A wide character that the window's edge would cut in half is replaced by a space, and
// control characters and line breaks are shown as blanks, so every window is exactly as wide
// as asked.
//
// The text may be given as segments laid end to end (a ticker's quotes and separators), which
// the window shares rather than joins: a list of 100,000 quotes is then not held twice. It reads
// as the joined text would, also where a character's marks or joined parts begin the next
// segment.
//
// Finding a column costs the same however long the text is: the text is walked once when it is
// set, keeping the column of a cell start every few hundred characters.
class ColumnWindow {
public:
    explicit ColumnWindow(QString text = {});
    explicit ColumnWindow(QStringList segments);

    void setText(QString text);
    void setSegments(QStringList segments);
    const QStringList& segments() const { return parts; }
    // The columns of the whole text, once round.
    qsizetype totalColumns() const { return total; }

    // The columns wide view whose left edge is at column start (taken round the text).
    QString window(qsizetype start, int columns) const;
    // The index in the (joined) text of the cell that covers the column (taken round the
    // text); -1 for an empty text.
    qsizetype indexAtColumn(qsizetype column) const;
    // The first column of the cell that covers the index in the text (the other way round).
    qsizetype columnAtIndex(qsizetype index) const;
    // The segment that holds the start of the cell covering the column; -1 for an empty text.
    qsizetype segmentAtColumn(qsizetype column) const;
    // The first column of the segment's first cell (of the next one's, for an empty segment).
    qsizetype columnOfSegment(qsizetype segment) const;

    // The text from its start, cut or padded to exactly the columns, not repeated.
    static QString fitted(QStringView text, int columns);

private:
    // A cell start: where in the segments, where in the joined text, and its first column.
    struct Place {
        qsizetype segment = 0;
        qsizetype index = 0;
        qsizetype textIndex = 0;
        qsizetype column = 0;
    };
    // The cell at a place: its characters, its width, and the place after it.
    struct Cell {
        QStringView text;
        int width = 0;
        Place next;
    };
    Place start() const;
    // `scratch` holds the characters of a cell that goes on into the next segment.
    Cell cellAt(const Place& place, QString& scratch) const;
    bool atEnd(const Place& place) const { return place.segment >= parts.size(); }
    // The cell start at or before the column, from the marks.
    Place markBefore(qsizetype column) const;
    // The start of the cell that covers the column (taken round).
    Place cellCovering(qsizetype column) const;

    QStringList parts;
    qsizetype total = 0;
    std::vector<Place> marks;
};
