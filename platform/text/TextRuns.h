#pragma once

#include <QString>

// How a line of text is cut into pieces that are measured and drawn on their own: each emoji
// cluster is a piece, and a run of other text is cut after a blank once it grows long, or
// anywhere safe once it is very long, so that a text of any length is laid out a piece at a
// time. Right-to-left text is cut only when very long, since each piece is laid out alone.
namespace TextRuns {

// The text as drawn: one line, control characters and line breaks as blanks. The same string
// (shared) when there is nothing to replace.
QString asOneLine(const QString& text);

// Whether an emoji cluster starts at i: a character shown as emoji unless followed by U+FE0E,
// or any character followed by U+FE0F.
bool emojiStartsAt(const QString& text, qsizetype i);

// The end of the emoji cluster that starts at i, with its modifiers, selectors, keycaps, tags
// and joined sequences; two regional indicators make one flag.
qsizetype endOfEmojiCluster(const QString& text, qsizetype i);

// The end of the run of other text that starts at start: before the next emoji, or where a long
// run is cut.
qsizetype endOfTextRun(const QString& text, qsizetype start);

} // namespace TextRuns
