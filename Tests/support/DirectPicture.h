#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>

class StyledText;

// The strip's font, as the marquee view sets it up.
QFont stripFont();

// The picture of a strip painted directly, without a tape: the background, then the text's
// first copy at the offset (rounded to a quarter of a device pixel, as frames are) and its
// second copy right after it where that reaches the strip, each with its shadow.
QImage directPicture(const StyledText& text, double textWidth, QSize size, qreal ratio,
                     const QColor& background, const QColor& label, const QColor& shadow,
                     double offset);
