#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QString>

#include <optional>

class PlainAdvances;

// Measures the pieces of a text in one font: emoji clusters in the emoji font, each measured
// once per font for every text (measuring one unpacks its bitmap), and runs of other text by
// the sum of their characters' advances where the font allows (see PlainAdvances), else shaped.
// Made when a text first needs measuring; main thread only.
class TextMeasurer {
public:
    TextMeasurer(const QFont& font, const QFont& emojiFont);

    double emojiWidth(const QString& cluster);
    double runWidth(const QString& run) const;

    // The family used for emoji, or an empty string when no colour emoji font is installed.
    static QString emojiFamily();

private:
    QFontMetricsF textMetrics;
    const PlainAdvances& plainAdvances;
    QHash<QString, double>& emojiWidths;
    QFont emojiFont;
    std::optional<QFontMetricsF> emojiMetrics;
};
