#include "TextShadow.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

int TextShadow::margin() const {
    return static_cast<int>(
               std::ceil(std::abs(offset.x()) + std::abs(offset.y()) + 2 * blurRadius)) +
           1;
}

QImage TextShadow::shadowOf(const QImage& layer) const {
    return shadowInto(layer);
}

// The buffers and the image persist from frame to frame: a frame of the same size allocates
// nothing. The blur runs at every frame, so it works on the 8-bit alpha in integers, with weights
// in 256ths: within one level of 255 of the same blur in floating point.
// Where the processor has AVX2, its loops take twice as many pixels at a time (function clones
// chosen at load time: x86 with glibc only; elsewhere the one plain version). The
// AddressSanitizer build has them too, so that the wide loops are checked where they run; not a
// ThreadSanitizer build: the clones' resolvers run before its runtime is set up, and crash.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SAYVANE_THREAD_SANITIZED
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define SAYVANE_THREAD_SANITIZED
#endif
#if defined(__x86_64__) && defined(__GLIBC__) && !defined(SAYVANE_THREAD_SANITIZED)
#define SAYVANE_WIDE_VERSIONS __attribute__((target_clones("avx2", "default")))
#else
#define SAYVANE_WIDE_VERSIONS
#endif
SAYVANE_WIDE_VERSIONS const QImage& TextShadow::shadowInto(const QImage& layer) const {
    const QImage source = layer.format() == QImage::Format_ARGB32_Premultiplied
                              ? layer
                              : layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = source.width();
    const int height = source.height();
    // A blur radius of r spreads about like a Gaussian with a standard deviation of r / 2.
    const double sigma = std::max(0.01, blurRadius * source.devicePixelRatio() / 2.0);
    if (kernelSigma != sigma || weights.empty()) {
        const int reach = static_cast<int>(std::ceil(3 * sigma));
        std::vector<double> kernel;
        double sum = 0;
        for (int k = -reach; k <= reach; ++k) {
            kernel.push_back(std::exp(-(k * k) / (2 * sigma * sigma)));
            sum += kernel.back();
        }
        // Taps that round to nothing are left out; the centre takes what rounding left over, so
        // that the weights add up to exactly 256.
        int kept = reach;
        while (kept > 0 && std::lround(kernel[static_cast<size_t>(reach - kept)] / sum * 256) == 0)
            --kept;
        weights.clear();
        int total = 0;
        for (int k = -kept; k <= kept; ++k) {
            weights.push_back(static_cast<quint16>(
                std::lround(kernel[static_cast<size_t>(k + reach)] / sum * 256)));
            total += weights.back();
        }
        weights[static_cast<size_t>(kept)] =
            static_cast<quint16>(weights[static_cast<size_t>(kept)] + 256 - total);
        kernelSigma = sigma;
    }
    const int reach = static_cast<int>(weights.size() / 2);
    const int taps = static_cast<int>(weights.size());

    // The alpha of what was drawn, each row with `reach` transparent pixels on either side; rows
    // without any are skipped from here on (a line of text leaves most rows of its layer empty).
    const auto padded = static_cast<size_t>(width + 2 * reach);
    alpha.resize(padded * static_cast<size_t>(height));
    rowDrawn.assign(static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        quint8* out = &alpha[padded * static_cast<size_t>(y)];
        // Without a branch in it, the loop runs several pixels at a time.
        QRgb any = 0;
        for (int x = 0; x < width; ++x) {
            const QRgb a = line[x] >> 24;
            any |= a;
            out[x + reach] = static_cast<quint8>(a);
        }
        rowDrawn[static_cast<size_t>(y)] = any != 0 ? 1 : 0;
        if (any) {
            std::fill(out, out + reach, quint8(0));
            std::fill(out + reach + width, out + padded, quint8(0));
        }
    }
    // Two passes of the same one-dimensional kernel; beyond the edges counts as transparent.
    // Across: at most 255 × 256, which fits 16 bits.
    const auto rowLength = static_cast<size_t>(width);
    across.resize(rowLength * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        if (!rowDrawn[static_cast<size_t>(y)])
            continue;
        const quint8* in = &alpha[padded * static_cast<size_t>(y)];
        quint16* out = &across[rowLength * static_cast<size_t>(y)];
        std::fill(out, out + width, quint16(0));
        for (int k = 0; k < taps; ++k) {
            const quint16 weight = weights[static_cast<size_t>(k)];
            const quint8* from = in + k;
            for (int x = 0; x < width; ++x)
                out[x] = static_cast<quint16>(out[x] + weight * from[x]);
        }
    }
    if (shadow.size() != source.size())
        shadow = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    shadow.setDevicePixelRatio(source.devicePixelRatio());
    if (shadeColour != color.rgba()) {
        for (int a = 0; a < 256; ++a)
            shades[static_cast<size_t>(a)] =
                qPremultiply(qRgba(color.red(), color.green(), color.blue(), a));
        shadeColour = color.rgba();
    }
    // Down: at most 255 × 256 × 256; times the shadow's opacity (at most 255), still 32 bits.
    const auto opacity = static_cast<quint32>(color.alpha());
    constexpr quint32 full = 255u * 256u * 256u;
    sums.resize(rowLength);
    for (int y = 0; y < height; ++y) {
        bool any = false;
        std::fill(sums.begin(), sums.end(), 0u);
        for (int k = -reach; k <= reach; ++k) {
            const int from = y + k;
            if (from < 0 || from >= height || !rowDrawn[static_cast<size_t>(from)])
                continue;
            any = true;
            const quint32 weight = weights[static_cast<size_t>(k + reach)];
            const quint16* row = &across[rowLength * static_cast<size_t>(from)];
            for (size_t x = 0; x < rowLength; ++x)
                sums[x] += weight * row[x];
        }
        auto* line = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        if (!any) {
            std::fill(line, line + width, QRgb(0));
            continue;
        }
        for (size_t x = 0; x < rowLength; ++x)
            line[x] = shades[(sums[x] * opacity + full / 2) / full];
    }
    return shadow;
}

void TextShadow::paint(QPainter& painter, QPointF topLeft, const QImage& layer) const {
    painter.drawImage(topLeft + offset, shadowInto(layer));
    painter.drawImage(topLeft, layer);
}
