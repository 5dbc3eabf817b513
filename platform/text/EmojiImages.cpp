#include "EmojiImages.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct EmojiImageKey {
    QString font;
    QString emoji;
    qreal ratio;
    QRgb colour;
    bool operator==(const EmojiImageKey&) const = default;
};

size_t qHash(const EmojiImageKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.font, key.emoji, key.ratio, key.colour);
}

struct Cache {
    QHash<EmojiImageKey, std::vector<QImage>> images;
    qsizetype bytes = 0;
};

Cache& emojiImages() {
    static Cache cache;
    return cache;
}

} // namespace

qsizetype EmojiImages::bytes() {
    return emojiImages().bytes;
}

void EmojiImages::draw(QPainter& painter, const QFont& emojiFont, const QString& emojiFontKey,
                       int emojiAbove, QStringView part, double x, double baseline) {
    constexpr int phases = 4;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const double deviceX = x * ratio;
    const double whole = std::floor(deviceX);
    const int phase = std::min(phases - 1, static_cast<int>((deviceX - whole) * phases + 0.5));
    const bool carry = (deviceX - whole) * phases + 0.5 >= phases;

    Cache& cache = emojiImages();
    const QRgb colour = painter.pen().color().rgba();
    const QString key = QString::fromRawData(part.data(), part.size());
    auto found = cache.images.find(EmojiImageKey{emojiFontKey, key, ratio, colour});
    if (found == cache.images.end()) {
        const QFontMetricsF metrics(emojiFont);
        const QSize size(static_cast<int>(std::ceil(metrics.horizontalAdvance(key) * ratio)) + 4,
                         static_cast<int>(std::ceil((emojiAbove + metrics.descent() + 1) * ratio)) +
                             2);
        std::vector<QImage> images;
        qsizetype bytes = 0;
        for (int p = 0; p < phases; ++p) {
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            image.setDevicePixelRatio(ratio);
            QPainter imagePainter(&image);
            imagePainter.setFont(emojiFont);
            imagePainter.setPen(painter.pen());
            imagePainter.drawText(QPointF(static_cast<double>(p) / phases / ratio, emojiAbove),
                                  key);
            bytes += image.sizeInBytes();
            images.push_back(std::move(image));
        }
        if (cache.bytes + bytes > ceiling) {
            cache.images.clear();
            cache.bytes = 0;
        }
        // A cluster too large for the cache at all is drawn from its images once and dropped.
        if (bytes > ceiling) {
            const double left = (whole + (carry ? 1 : 0)) / ratio;
            painter.drawImage(QPointF(left, std::round((baseline - emojiAbove) * ratio) / ratio),
                              images[static_cast<size_t>(carry ? 0 : phase)]);
            return;
        }
        cache.bytes += bytes;
        // The part points into this text's string; the cache outlives it, so it keeps a copy.
        found = cache.images.insert(
            EmojiImageKey{emojiFontKey, QString(part.data(), part.size()), ratio, colour},
            std::move(images));
    }
    const double left = (whole + (carry ? 1 : 0)) / ratio;
    const QPointF topLeft(left, std::round((baseline - emojiAbove) * ratio) / ratio);
    painter.drawImage(topLeft, (*found)[static_cast<size_t>(carry ? 0 : phase)]);
}
