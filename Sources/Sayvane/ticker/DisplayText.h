#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The order the quotes pass in: as written in the list, or shuffled afresh at each new text.
enum class QuoteOrder { written, shuffled };

// The line the ticker shows for a list: every quote, each followed by two spaces, an emoji drawn
// at random from a fixed set and two spaces. Made apart from any view, so that the strip, the
// panel's label and a bar's feed show the same quotes with the same emojis.
namespace DisplayText {

// The set each quote's emoji is drawn from.
extern const std::array<QString, 15> emojis;

// The display text for a list, each emoji drawn afresh and uniformly from the set.
QString of(const QStringList& quotes);
// The same text as segments: each quote, then two spaces, its emoji and two spaces. The
// quotes share their data with the list, and each separator with one of a fixed set. Shuffled,
// the quotes come in an order drawn afresh, every order as likely as any other.
QStringList segments(const QStringList& quotes, QuoteOrder order = QuoteOrder::written);

} // namespace DisplayText
