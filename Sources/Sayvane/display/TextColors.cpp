#include "TextColors.h"

#include <cmath>

namespace {

double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

} // namespace

bool TextColors::isDark(const QColor& color) {
    const QColor rgb = color.toRgb();
    const double luminance =
        0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
    // The luminance of sRGB grey 50 %, where black and white text have about equal contrast.
    return luminance < 0.18;
}

TextColors TextColors::on(const QColor& background) {
    if (!background.isValid() || background.alphaF() < 0.5)
        return {QColor(255, 255, 255), QColor(0, 0, 0, 230)};
    if (isDark(background))
        return {QColor(242, 242, 242), QColor(0, 0, 0, 204)};
    return {QColor(30, 30, 30), QColor(0, 0, 0, 153)};
}
