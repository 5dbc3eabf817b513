#pragma once

#include <QStringView>

// Columns as a terminal counts them. East Asian wide and full-width characters and emoji shown
// as pictures take two columns; combining marks, joiners and other format characters take none
// and stay with the character before them; everything else takes one.
namespace TerminalColumns {

// The code point at the index; a broken surrogate reads as U+FFFD.
char32_t codePointAt(QStringView text, qsizetype index);

// The columns of one code point on its own: 0, 1 or 2.
int codePointWidth(char32_t codePoint);

// One cell of text: a character with the marks, joiners and selectors that belong to it, which
// a window never cuts apart.
struct Cell {
    qsizetype end = 0; // index just past the cell in the text
    int width = 0;     // 1 or 2
};

// The cell that starts at index begin (which must be a cell's start and inside the text). A
// sequence joined by zero-width joiners, a flag (two regional indicators) and an emoji with its
// skin-tone modifier are one picture; a character followed by U+FE0F is shown as a picture,
// two columns wide. A mark with nothing before it counts as one column of its own.
Cell cellAt(QStringView text, qsizetype begin);

// The columns of the whole text.
qsizetype width(QStringView text);

} // namespace TerminalColumns
