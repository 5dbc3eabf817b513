#pragma once

#include <QByteArray>
#include <QString>

// How the lines of a feed are written for the bar that reads them.
enum class BarFormat {
    plain,  // the window's text
    waybar, // a JSON object with Pango-escaped "text" and "tooltip", and "class"
    i3bar,  // the i3bar protocol: a header with click events, then an endless array of blocks
};

// The lines a feed writes, in each bar's format.
namespace BarLines {

// What goes before the first line (the i3bar protocol's header and the opening of its array).
QByteArray header(BarFormat format);
// The line for a window's text; first is the first line after the header.
QByteArray line(BarFormat format, const QString& text, const QString& tooltip, bool first);
// Text for Pango markup: the markup characters escaped, controls other than line breaks
// shown as spaces.
QString markupEscaped(const QString& text);

} // namespace BarLines
