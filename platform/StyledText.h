#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QString>

#include <vector>

class QPainter;

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

    double width() const { return totalWidth; }
    // The height and ascent of the line box of the main font.
    double height() const { return lineHeight; }
    double ascent() const { return lineAscent; }
    qsizetype pieceCount() const { return static_cast<qsizetype>(pieces.size()); }

    // Draws, with the painter's pen, the pieces that reach into [clipLeft, clipRight) of the
    // painter's x axis, with the top left corner of the text's box at origin.
    void draw(QPainter& painter, QPointF origin, double clipLeft, double clipRight) const;

    // The family used for emoji, or an empty string when no colour emoji font is installed.
    static QString emojiFamily();

private:
    struct Piece {
        qsizetype start = 0;
        qsizetype length = 0;
        double x = 0;
        double width = 0;
        bool emoji = false;
    };

    void drawEmoji(QPainter& painter, const QString& part, double x, double baseline) const;

    QString shown;
    QFont font;
    QFont emojiFont;
    QString emojiFontKey;
    // From the top of an emoji's image to its baseline.
    int emojiAbove = 0;
    std::vector<Piece> pieces;
    double totalWidth = 0;
    double lineHeight = 0;
    double lineAscent = 0;
};

// The drop shadow of drawn text: the alpha of what was drawn, blurred, in the shadow colour,
// offset; painted under it. Qt's own blur is private API, hence a small Gaussian blur here.
struct TextShadow {
    QColor color = QColor(0, 0, 0, 153);
    QPointF offset = QPointF(1, 1);
    double blurRadius = 1.5;

    // Room the blur needs around drawn text, in logical pixels.
    int margin() const;
    // Paints the layer's shadow and then the layer, with the layer's top left corner at topLeft.
    void paint(QPainter& painter, QPointF topLeft, const QImage& layer) const;
    QImage shadowOf(const QImage& layer) const;
};
