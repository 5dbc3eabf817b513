#include "ColumnWindow.h"

#include "TerminalColumns.h"

#include <algorithm>

namespace {

// How far apart, in characters, the remembered cell starts lie: a lookup walks at most this far.
constexpr qsizetype markSpacing = 256;
// How much of the next segments a cell that goes on into them is read with: any cell (a
// character with its marks, or an emoji sequence) is far shorter.
constexpr qsizetype crossingReach = 64;
constexpr char16_t zeroWidthJoiner = 0x200D;

// Appends the cell's characters, with a blank for each control character or line break and a
// replacement character for a broken surrogate, so that what is shown takes the cell's columns.
void appendCell(QString& out, QStringView cell) {
    // A mark with nothing before it sits on a blank, the column it is counted as.
    if (TerminalColumns::codePointWidth(TerminalColumns::codePointAt(cell, 0)) == 0)
        out += u' ';
    for (qsizetype i = 0; i < cell.size(); ++i) {
        const QChar c = cell[i];
        if (c.isHighSurrogate() && i + 1 < cell.size() && cell[i + 1].isLowSurrogate()) {
            out += c;
            out += cell[++i];
        } else if (c.isSurrogate()) {
            out += QChar(QChar::ReplacementCharacter);
        } else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                   c == QChar::ParagraphSeparator) {
            out += u' ';
        } else {
            out += c;
        }
    }
}

void pad(QString& out, qsizetype columns) {
    if (columns > 0)
        out.append(QString(columns, u' '));
}

} // namespace

ColumnWindow::ColumnWindow(QString text) {
    setText(std::move(text));
}

ColumnWindow::ColumnWindow(QStringList segments) {
    setSegments(std::move(segments));
}

void ColumnWindow::setText(QString text) {
    setSegments(QStringList{std::move(text)});
}

void ColumnWindow::setSegments(QStringList segments) {
    parts = std::move(segments);
    marks.clear();
    QString scratch;
    Place at = start();
    qsizetype lastMark = -markSpacing;
    while (!atEnd(at)) {
        if (at.textIndex - lastMark >= markSpacing) {
            marks.push_back(at);
            lastMark = at.textIndex;
        }
        at = cellAt(at, scratch).next;
    }
    total = at.column;
}

ColumnWindow::Place ColumnWindow::start() const {
    Place first;
    while (first.segment < parts.size() && parts.at(first.segment).isEmpty())
        ++first.segment;
    return first;
}

ColumnWindow::Cell ColumnWindow::cellAt(const Place& place, QString& scratch) const {
    const QStringView segment(parts.at(place.segment));
    const TerminalColumns::Cell cell = TerminalColumns::cellAt(segment, place.index);
    qsizetype following = place.segment + 1;
    while (following < parts.size() && parts.at(following).isEmpty())
        ++following;
    // A cell ends inside its segment, or at its end unless the next segment may go on with it:
    // it starts with something other than plain ASCII (a mark, a joiner, a selector), or this
    // one ends with a joiner. Separators start with blanks, so this is rare.
    bool goesOn = false;
    if (cell.end == segment.size() && following < parts.size()) {
        const char16_t first = parts.at(following).front().unicode();
        goesOn = first < 0x20 || first >= 0x7F || segment.back() == QChar(zeroWidthJoiner);
    }
    Cell result;
    if (!goesOn) {
        result.text = segment.mid(place.index, cell.end - place.index);
        result.width = cell.width;
        result.next = {place.segment, cell.end, place.textIndex + cell.end - place.index,
                       place.column + cell.width};
        if (cell.end == segment.size())
            result.next = {following, 0, result.next.textIndex, result.next.column};
        return result;
    }
    // The cell read from the text as joined: its rest of this segment and the start of the next.
    scratch = segment.mid(place.index).toString();
    for (qsizetype s = following; s < parts.size() && scratch.size() < crossingReach * 2; ++s)
        scratch += QStringView(parts.at(s)).left(crossingReach);
    const TerminalColumns::Cell joined = TerminalColumns::cellAt(scratch, 0);
    result.text = QStringView(scratch).left(joined.end);
    result.width = joined.width;
    Place next = place;
    for (qsizetype left = joined.end; left > 0;) {
        const qsizetype step = std::min(parts.at(next.segment).size() - next.index, left);
        next.index += step;
        next.textIndex += step;
        left -= step;
        while (next.segment < parts.size() && next.index == parts.at(next.segment).size()) {
            ++next.segment;
            next.index = 0;
        }
    }
    next.column = place.column + joined.width;
    result.next = next;
    return result;
}

ColumnWindow::Place ColumnWindow::markBefore(qsizetype column) const {
    const auto after =
        std::upper_bound(marks.begin(), marks.end(), column,
                         [](qsizetype c, const Place& mark) { return c < mark.column; });
    return *(after - 1);
}

ColumnWindow::Place ColumnWindow::cellCovering(qsizetype column) const {
    column %= total;
    if (column < 0)
        column += total;
    QString scratch;
    Place at = markBefore(column);
    for (;;) {
        const Cell cell = cellAt(at, scratch);
        if (column < at.column + cell.width)
            return at;
        at = cell.next;
    }
}

qsizetype ColumnWindow::indexAtColumn(qsizetype column) const {
    return total == 0 ? -1 : cellCovering(column).textIndex;
}

qsizetype ColumnWindow::segmentAtColumn(qsizetype column) const {
    return total == 0 ? -1 : cellCovering(column).segment;
}

qsizetype ColumnWindow::columnAtIndex(qsizetype index) const {
    if (marks.empty())
        return 0;
    auto after =
        std::upper_bound(marks.begin(), marks.end(), index,
                         [](qsizetype i, const Place& mark) { return i < mark.textIndex; });
    QString scratch;
    Place at = *(after - 1);
    for (;;) {
        const Cell cell = cellAt(at, scratch);
        if (index < cell.next.textIndex || atEnd(cell.next))
            return at.column;
        at = cell.next;
    }
}

qsizetype ColumnWindow::columnOfSegment(qsizetype segment) const {
    if (marks.empty())
        return 0;
    // From the last mark in an earlier segment on, to the cell that covers the segment's start
    // in the joined text (one that begins before it and goes on into it, as a mark's does).
    const auto from =
        std::lower_bound(marks.begin(), marks.end(), segment,
                         [](const Place& mark, qsizetype s) { return mark.segment < s; });
    Place at = from == marks.begin() ? marks.front() : *(from - 1);
    qsizetype segmentStart = at.textIndex - at.index;
    for (qsizetype s = at.segment; s < segment && s < parts.size(); ++s)
        segmentStart += parts.at(s).size();
    QString scratch;
    while (!atEnd(at) && at.textIndex < segmentStart) {
        const Place next = cellAt(at, scratch).next;
        if (next.textIndex > segmentStart)
            return at.column;
        at = next;
    }
    return at.column;
}

QString ColumnWindow::window(qsizetype start, int columns) const {
    QString out;
    if (total == 0 || columns <= 0) {
        pad(out, columns);
        return out;
    }
    out.reserve(columns * 2 + 8);
    QString scratch;
    Place at = cellCovering(start);
    qsizetype column = start % total;
    if (column < 0)
        column += total;
    qsizetype filled = 0;
    const auto onward = [this](const Place& next) { return atEnd(next) ? this->start() : next; };
    if (at.column < column) {
        // The window's edge falls inside a wide character: a space stands for what is left of it.
        const Cell cell = cellAt(at, scratch);
        const qsizetype rest = std::min<qsizetype>(at.column + cell.width - column, columns);
        pad(out, rest);
        filled = rest;
        at = onward(cell.next);
    }
    while (filled < columns) {
        const Cell cell = cellAt(at, scratch);
        if (filled + cell.width > columns) {
            pad(out, columns - filled);
            break;
        }
        appendCell(out, cell.text);
        filled += cell.width;
        at = onward(cell.next);
    }
    return out;
}

QString ColumnWindow::fitted(QStringView text, int columns) {
    QString out;
    qsizetype filled = 0;
    for (qsizetype i = 0; i < text.size();) {
        const TerminalColumns::Cell cell = TerminalColumns::cellAt(text, i);
        if (filled + cell.width > columns)
            break;
        appendCell(out, text.mid(i, cell.end - i));
        filled += cell.width;
        i = cell.end;
    }
    pad(out, columns - filled);
    return out;
}
