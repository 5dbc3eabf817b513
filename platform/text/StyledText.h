#pragma once

#include "GlyphCache.h"

#include <QFont>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <array>
#include <limits>
#include <memory>
#include <vector>

class QPainter;
class TextMeasurer;

// One line of text in one font that measures itself once and then draws only what shows.
//
// It stands in for a platform styled string, for texts of any length: a ticker of 100,000
// quotes is tens of millions of pixels wide, beyond the range of Qt's 26.6 fixed-point text
// positions and far too long to lay out at every frame. So the text is cut into pieces (at
// emoji, and in long runs at blanks or else at grapheme boundaries), each piece is measured
// once and keeps its origin as a double, and a draw touches only the pieces inside its clip.
//
// Emoji are drawn with the colour emoji font where one is installed, also characters such as
// U+2600 that ask for emoji presentation with U+FE0F, which Qt's font fallback would otherwise
// draw from the monospaced font in black and white. Line breaks, tabs and other control
// characters are shown as blanks: the text is always one line. Made and drawn on the main
// thread, like every widget.
class StyledText {
public:
    StyledText() = default;
    StyledText(const QString& text, const QFont& font);
    // The segments laid end to end. Each segment is cut and measured on its own, so a segment
    // that `previous` (made with the same font) also had is taken over from it unmeasured: a
    // text rebuilt after a small change costs a lookup per segment, not a measure.
    //
    // Measuring stops after about budgetSeconds, between two segments; measureMore() then goes
    // on. Until the text is complete, it draws what has been measured and its width is that of
    // the measured part. `previous` must live until then, or be forgotten.
    StyledText(const QStringList& segments, const QFont& font, const StyledText* previous,
               double budgetSeconds = std::numeric_limits<double>::infinity());
    ~StyledText();
    StyledText(StyledText&&) noexcept;
    StyledText& operator=(StyledText&&) noexcept;

    bool isComplete() const { return !building; }
    // Measures for about budgetSeconds more; returns whether the text is complete.
    bool measureMore(double budgetSeconds);
    // Lets the previous text go: what is left is measured without it.
    void forgetPrevious();

    // The whole text as drawn, one line.
    QString text() const { return shown.join(QString()); }
    double width() const { return totalWidth; }
    // The height and ascent of the line box of the main font.
    double height() const { return lineHeight; }
    double ascent() const { return lineAscent; }
    qsizetype pieceCount() const { return drawnPieces; }
    // How many segments were measured when the text was made, rather than taken over.
    qsizetype measuredSegmentCount() const { return measuredSegments; }

    // The segment under x (from the text's left edge): the last one measured for an x past
    // the measured part, the first for an x before it; -1 for a text without segments.
    qsizetype segmentAt(double x) const;
    // Where a segment begins (from the text's left edge); the width of what is measured for one
    // past the last measured.
    double segmentStart(qsizetype segment) const;

    // Draws, with the painter's pen, the pieces that reach into [clipLeft, clipRight) of the
    // painter's x axis, with the top left corner of the text's box at origin.
    void draw(QPainter& painter, QPointF origin, double clipLeft, double clipRight) const;

private:
    // A piece's place is kept per segment and added up from the widths of the pieces before
    // it: a list of 100,000 quotes has some 700,000 pieces, so each costs 12 bytes, not 32.
    // The widths are multiples of 1/64 pixel, which a float holds exactly.
    struct Piece {
        float width = 0;
        quint32 start = 0;
        quint32 length : 31 = 0;
        quint32 emoji : 1 = 0;
    };
    // Segments with the same short content (the separators of a ticker) share their pieces.
    struct Segment {
        double x = 0;
        quint32 firstPiece = 0;
        quint32 pieceCount = 0;
    };

    void setUp(const QFont& font);
    struct Building;
    // Cuts and measures one segment, appending its pieces.
    void measureSegment(quint32 segment, TextMeasurer& measurer);
    QStringView partOf(quint32 segment, const Piece& piece) const {
        return QStringView(shown.at(segment)).mid(piece.start, piece.length);
    }
    // The segments as shown (one line each); list and strings are shared with those given.
    QStringList shown;
    // Where each segment begins and which pieces it has.
    std::vector<Segment> segmentSpans;
    // The sum of the widths of all pieces before every 64th piece: inside a segment of many
    // pieces (a quote of thousands of emoji) a draw finds its first piece by these.
    std::vector<double> pieceMarks;
    double piecesWidth = 0;
    // Where piece i starts, counted from the start of the piece list.
    double pieceOffset(quint32 i) const;
    QFont font;
    QFont emojiFont;
    QString emojiFontKey;
    // From the top of an emoji's image to its baseline.
    int emojiAbove = 0;
    std::vector<Piece> pieces;
    qsizetype drawnPieces = 0;
    double totalWidth = 0;
    double lineHeight = 0;
    double lineAscent = 0;
    qsizetype measuredSegments = 0;
    std::unique_ptr<Building> building;
    mutable GlyphCache glyphs;
};
