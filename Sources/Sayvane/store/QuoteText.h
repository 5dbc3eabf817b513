#pragma once

#include <QString>

// Trims the characters of the whitespace-and-newline set from both ends: the space,
// line and paragraph separators (Zs, Zl, Zp), tab, U+000A to U+000D and U+0085. Every quote that
// comes in (typed, added from a script, imported) is trimmed so.
QString trimmedWhitespaceAndNewlines(const QString& text);

// Whether the quote shows nothing: once trimmed, nothing is left but characters that have no
// glyph of their own (format characters such as U+200B and U+FEFF, control characters). Such a
// quote is refused as blank wherever quotes come in.
bool isBlankQuote(const QString& text);
