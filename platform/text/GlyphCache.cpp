#include "GlyphCache.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

void GlyphCache::draw(QPainter& painter, quint32 index, QStringView piecePart, double width,
                      double x, double baseline, const QFont& font, double lineHeight,
                      double lineAscent) {
    Slot* slot = nullptr;
    for (Slot& candidate : slots) {
        if (candidate.piece == index) {
            slot = &candidate;
            break;
        }
    }
    if (!slot) {
        slot = &slots[nextSlot];
        nextSlot = (nextSlot + 1) % slots.size();
        const QString part = piecePart.toString();
        QTextLayout layout(part, font);
        layout.setCacheEnabled(true);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        slot->piece = index;
        slot->ascent = line.isValid() ? line.ascent() : 0;
        slot->runs = layout.glyphRuns();
        for (const QImage& image : slot->images)
            imageBytes -= image.sizeInBytes();
        slot->images.clear();
    }
    // Placing glyphs costs by their number: a piece with many more glyphs than columns is
    // drawn from an image of itself, so that it costs what ordinary text costs.
    qsizetype glyphs = 0;
    for (const QGlyphRun& run : std::as_const(slot->runs))
        glyphs += run.glyphIndexes().size();
    constexpr qsizetype manyGlyphs = 64;
    if (glyphs > manyGlyphs && static_cast<double>(glyphs) > width / 4) {
        drawImage(painter, *slot, width, x, baseline, font, lineHeight, lineAscent);
        return;
    }
    const QPointF topLeft(x, baseline - slot->ascent);
    for (const QGlyphRun& run : std::as_const(slot->runs))
        painter.drawGlyphRun(topLeft, run);
}

void GlyphCache::drawImage(QPainter& painter, Slot& slot, double width, double x, double baseline,
                           const QFont& font, double lineHeight, double lineAscent) {
    constexpr int phases = 4;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRgb colour = painter.pen().color().rgba();
    // Marks stacked above or below the line reach a line's height beyond it at most before the
    // view cuts them off.
    const double reach = lineHeight;
    const QSize size(static_cast<int>(std::ceil(width * ratio)) + 4,
                     static_cast<int>(std::ceil((lineHeight + 2 * reach) * ratio)) + 2);
    // The images of all pieces together stay under a few megabytes; past that, glyphs again.
    constexpr qsizetype mostBytes = 8 * 1024 * 1024;
    const qsizetype bytes = qsizetype(size.width()) * size.height() * 4 * phases;
    if (slot.images.empty() && imageBytes + bytes > mostBytes) {
        const QPointF topLeft(x, baseline - slot.ascent);
        for (const QGlyphRun& run : std::as_const(slot.runs))
            painter.drawGlyphRun(topLeft, run);
        return;
    }
    if (slot.images.empty() || slot.colour != colour || slot.ratio != ratio) {
        if (slot.images.empty())
            imageBytes += bytes;
        slot.images.clear();
        slot.colour = colour;
        slot.ratio = ratio;
        for (int p = 0; p < phases; ++p) {
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            image.setDevicePixelRatio(ratio);
            QPainter imagePainter(&image);
            imagePainter.setPen(painter.pen());
            imagePainter.setFont(font);
            const QPointF topLeft(static_cast<double>(p) / phases / ratio,
                                  reach + lineAscent - slot.ascent);
            for (const QGlyphRun& run : std::as_const(slot.runs))
                imagePainter.drawGlyphRun(topLeft, run);
            slot.images.push_back(std::move(image));
        }
    }
    const double deviceX = x * ratio;
    const double whole = std::floor(deviceX);
    const int phase = std::min(phases - 1, static_cast<int>((deviceX - whole) * phases + 0.5));
    const bool carry = (deviceX - whole) * phases + 0.5 >= phases;
    const double left = (whole + (carry ? 1 : 0)) / ratio;
    const double top = std::round((baseline - lineAscent - reach) * ratio) / ratio;
    painter.drawImage(QPointF(left, top), slot.images[static_cast<size_t>(carry ? 0 : phase)]);
}
