#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QImage>
#include <QList>
#include <QStringView>

#include <array>
#include <limits>
#include <vector>

class QPainter;

// The glyphs of the pieces of a text drawn lately. Shaping a piece is most of what drawing it
// costs: the pieces in view keep their glyphs, and a frame only places them. A piece leaves the
// cache when newer ones need its slot. A piece with far more glyphs than its width suggests (a
// letter under a stack of combining marks) is drawn from images of itself at four sub-pixel
// phases, so that it costs what ordinary text costs; those images stay under a few megabytes
// a text. Main thread only, like painting.
class GlyphCache {
public:
    // Draws the piece (known by its index in its text, its characters and its width) with the
    // painter's pen, its left edge at x on the baseline, in the font of a line of the given
    // height and ascent.
    void draw(QPainter& painter, quint32 piece, QStringView part, double width, double x,
              double baseline, const QFont& font, double lineHeight, double lineAscent);

private:
    // The glyphs of a piece, with the ascent of the line they were laid out in.
    struct Slot {
        quint32 piece = std::numeric_limits<quint32>::max();
        double ascent = 0;
        QList<QGlyphRun> runs;
        // The piece drawn at four sub-pixel phases, for this colour and pixel ratio.
        std::vector<QImage> images;
        QRgb colour = 0;
        qreal ratio = 0;
    };
    void drawImage(QPainter& painter, Slot& slot, double width, double x, double baseline,
                   const QFont& font, double lineHeight, double lineAscent);

    std::array<Slot, 64> slots;
    size_t nextSlot = 0;
    qsizetype imageBytes = 0;
};
