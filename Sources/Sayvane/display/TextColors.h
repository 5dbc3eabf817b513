#pragma once

#include <QColor>

// The colours of the ticker's text for the background it is drawn on: light text on a dark
// background, dark text on a light one, and a shadow that keeps the glyphs apart from it. A
// transparent background (a compositing manager shows the desktop through) may be anything, so
// it gets light text with a strong shadow, which reads on both.
struct TextColors {
    QColor label;
    QColor shadow;

    static TextColors on(const QColor& background);
    // Whether the colour counts as dark: its relative luminance is below the middle grey's.
    static bool isDark(const QColor& color);

    bool operator==(const TextColors&) const = default;
};
