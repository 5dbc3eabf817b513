#include "DirectPicture.h"

#include "StyledText.h"
#include "TextStrip.h"
#include "TextTape.h"

#include <QFontDatabase>
#include <QPainter>

QFont stripFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(14);
    font.setWeight(QFont::Normal);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

QImage directPicture(const StyledText& text, double textWidth, QSize size, qreal ratio,
                     const QColor& background, const QColor& label, const QColor& shadow,
                     double offset) {
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(QPoint(), size), background);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    TextStrip strip;
    strip.label = label;
    strip.shadow.color = shadow;
    const double y = (size.height() - text.height()) * 0.5;
    const double drawn = TextTape::drawnOffset(offset, ratio);
    if (drawn < 0 && drawn + textWidth < size.width() + strip.margin())
        strip.paint(painter, text, size, y, {drawn, drawn + textWidth});
    else
        strip.paint(painter, text, size, y, {drawn});
    return image;
}
