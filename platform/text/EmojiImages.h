#pragma once

#include <QFont>
#include <QString>
#include <QStringView>

class QPainter;

// Colour emoji drawn from images. Qt rasterises colour emoji (bitmaps scaled down from a large
// size) afresh at every draw, which would cost more than the rest of a frame together; so each
// emoji cluster is drawn once into an image, at four sub-pixel phases, and the images are
// reused by every text (a new text is mostly the same few emoji again). Whatever the text, the
// images together stay under a fixed number of bytes; past it the cache starts afresh (the
// clusters in view come back at once). Main thread only, like painting.
namespace EmojiImages {

constexpr qsizetype ceiling = 4 * 1024 * 1024;

// Draws the cluster with the painter's pen colour, its left edge at x and the top of its image
// `above` pixels over the baseline, in the emoji font (whose key names it in the cache).
void draw(QPainter& painter, const QFont& emojiFont, const QString& fontKey, int above,
          QStringView cluster, double x, double baseline);

// What the images kept take together.
qsizetype bytes();

} // namespace EmojiImages
