#include "ColumnWindow.h"

#include "TerminalColumns.h"

#include <algorithm>

namespace {

// How far apart, in characters, the remembered cell starts lie: a lookup walks at most this far.
constexpr qsizetype markSpacing = 256;

// Appends the cell's characters, with a blank for each control character or line break and a
// replacement character for a broken surrogate, so that what is shown takes the cell's columns.
void appendCell(QString& out, QStringView text, qsizetype begin, qsizetype end) {
    // A mark with nothing before it sits on a blank, the column it is counted as.
    if (TerminalColumns::codePointWidth(TerminalColumns::codePointAt(text, begin)) == 0)
        out += u' ';
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < end && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
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

void ColumnWindow::setText(QString text) {
    source = std::move(text);
    marks.clear();
    total = 0;
    qsizetype lastMark = -markSpacing;
    for (qsizetype i = 0; i < source.size();) {
        if (i - lastMark >= markSpacing) {
            marks.push_back({i, total});
            lastMark = i;
        }
        const TerminalColumns::Cell cell = TerminalColumns::cellAt(source, i);
        total += cell.width;
        i = cell.end;
    }
}

ColumnWindow::Mark ColumnWindow::cellCovering(qsizetype column) const {
    column %= total;
    if (column < 0)
        column += total;
    auto after = std::upper_bound(marks.begin(), marks.end(), column,
                                  [](qsizetype c, const Mark& mark) { return c < mark.column; });
    Mark at = *(after - 1);
    for (;;) {
        const TerminalColumns::Cell cell = TerminalColumns::cellAt(source, at.index);
        if (column < at.column + cell.width)
            return at;
        at = {cell.end, at.column + cell.width};
    }
}

qsizetype ColumnWindow::indexAtColumn(qsizetype column) const {
    return total == 0 ? -1 : cellCovering(column).index;
}

qsizetype ColumnWindow::columnAtIndex(qsizetype index) const {
    if (marks.empty())
        return 0;
    auto after = std::upper_bound(marks.begin(), marks.end(), index,
                                  [](qsizetype i, const Mark& mark) { return i < mark.index; });
    Mark at = *(after - 1);
    for (;;) {
        const TerminalColumns::Cell cell = TerminalColumns::cellAt(source, at.index);
        if (index < cell.end || cell.end >= source.size())
            return at.column;
        at = {cell.end, at.column + cell.width};
    }
}

QString ColumnWindow::window(qsizetype start, int columns) const {
    QString out;
    if (total == 0 || columns <= 0) {
        pad(out, columns);
        return out;
    }
    out.reserve(columns * 2 + 8);
    const Mark first = cellCovering(start);
    qsizetype column = start % total;
    if (column < 0)
        column += total;
    qsizetype index = first.index;
    qsizetype filled = 0;
    if (first.column < column) {
        // The window's edge falls inside a wide character: a space stands for what is left of it.
        const TerminalColumns::Cell cell = TerminalColumns::cellAt(source, index);
        const qsizetype rest = std::min<qsizetype>(first.column + cell.width - column, columns);
        pad(out, rest);
        filled = rest;
        index = cell.end == source.size() ? 0 : cell.end;
    }
    while (filled < columns) {
        const TerminalColumns::Cell cell = TerminalColumns::cellAt(source, index);
        if (filled + cell.width > columns) {
            pad(out, columns - filled);
            break;
        }
        appendCell(out, source, index, cell.end);
        filled += cell.width;
        index = cell.end == source.size() ? 0 : cell.end;
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
        appendCell(out, text, i, cell.end);
        filled += cell.width;
        i = cell.end;
    }
    pad(out, columns - filled);
    return out;
}
