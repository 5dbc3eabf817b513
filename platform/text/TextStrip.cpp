#include "TextStrip.h"

#include "StyledText.h"

#include <QPaintDevice>
#include <QPainter>

void TextStrip::paint(QPainter& painter, const StyledText& text, QSize size, double y,
                      std::initializer_list<double> origins) {
    const int margin = shadow.margin();
    const QSize layerSize = size + QSize(2 * margin, 2 * margin);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (layer.size() != layerSize * ratio || layer.devicePixelRatio() != ratio) {
        layer = QImage(layerSize * ratio, QImage::Format_ARGB32_Premultiplied);
        layer.setDevicePixelRatio(ratio);
    }
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        layerPainter.setRenderHint(QPainter::TextAntialiasing);
        layerPainter.translate(margin, margin);
        layerPainter.setPen(label);
        const double clipLeft = -margin;
        const double clipRight = size.width() + margin;
        for (const double x : origins)
            text.draw(layerPainter, QPointF(x, y), clipLeft, clipRight);
    }
    shadow.paint(painter, QPointF(-margin, -margin), layer);
}
