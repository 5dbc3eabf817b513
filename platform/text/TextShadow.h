#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>

#include <array>
#include <vector>

class QPainter;

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

private:
    const QImage& shadowInto(const QImage& layer) const;

    mutable std::vector<quint16> weights;
    mutable double kernelSigma = 0;
    mutable std::vector<quint8> alpha;
    mutable std::vector<quint16> across;
    mutable std::vector<quint32> sums;
    mutable std::vector<char> rowDrawn;
    mutable std::array<QRgb, 256> shades{};
    mutable QRgb shadeColour = 0;
    mutable QImage shadow;
};
