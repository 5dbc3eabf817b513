#pragma once

#include "TextShadow.h"

#include <QColor>
#include <QImage>
#include <QSize>

#include <initializer_list>

class QPainter;
class StyledText;

// The picture of a strip of one line of styled text: copies of the text at given x positions,
// each with its shadow. The text goes into a transparent layer a little larger than the strip,
// so that the blur of the shadow sees the glyphs just outside the edges too; then the shadow
// and the layer are painted over what the painter already holds (the strip's background). The
// layer and the blur's buffers are kept from one picture to the next.
class TextStrip {
public:
    QColor label = Qt::black;
    TextShadow shadow;

    // Paints the copies whose left edges are at the x positions (logical pixels, from the
    // strip's left edge), the top of the text's box at y, into a strip of the given size whose
    // top left corner is at the painter's origin. Pieces are drawn where they reach the strip or
    // its margin, and nowhere else.
    void paint(QPainter& painter, const StyledText& text, QSize size, double y,
               std::initializer_list<double> origins);

    // Room the shadow needs around the strip, in logical pixels.
    int margin() const { return shadow.margin(); }

private:
    QImage layer;
};
