#include "TextMeasurer.h"

#include <QFontDatabase>
#include <QRawFont>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

// Widths of runs of "plain" characters, added up from each character's advance instead of
// shaped: shaping every piece of a long text with HarfBuzz is what makes measuring slow, and for
// letters, digits and punctuation of the Latin, Greek and Cyrillic scripts in the main font it
// changes nothing unless the font kerns or forms ligatures. A probe checks that once per font;
// a font that fails it is always shaped.
class PlainAdvances {
public:
    static const PlainAdvances& of(const QFont& font) {
        static QHash<QString, std::shared_ptr<PlainAdvances>> known;
        auto& entry = known[font.key()];
        if (!entry)
            entry = std::make_shared<PlainAdvances>(font);
        return *entry;
    }

    explicit PlainAdvances(const QFont& font)
        : metrics(font)
        , raw(QRawFont::fromFont(font))
        , advances(limit, unknown) {
        QString sample;
        for (char16_t c = 0x20; c < 0x7F; ++c)
            sample += QChar(c);
        sample += u"fi fl ffi ffl -> => != == <= >= :: www AV To Ta Việt Ελληνικά Кириллица"_s;
        QString probe;
        for (const QChar c : sample) {
            if (isPlain(c.unicode()))
                probe += c;
        }
        enabled = true;
        const auto sum = width(probe);
        enabled = sum && *sum == metrics.horizontalAdvance(probe);
    }

    // The width of a run of plain characters, or nothing when the run needs shaping.
    std::optional<double> width(QStringView run) const {
        if (!enabled)
            return std::nullopt;
        double sum = 0;
        for (const QChar c : run) {
            const char16_t u = c.unicode();
            if (u >= limit)
                return std::nullopt;
            float& advance = advances[u];
            if (advance == unknown)
                advance = isPlain(u) ? static_cast<float>(metrics.horizontalAdvance(c)) : notPlain;
            if (advance == notPlain)
                return std::nullopt;
            sum += advance;
        }
        return sum;
    }

private:
    static constexpr char16_t limit = 0x2070;
    static constexpr float unknown = -1;
    static constexpr float notPlain = -2;

    bool isPlain(char16_t c) const {
        const bool inRanges = (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c < 0x250 && c != 0xAD) ||
                              (c >= 0x370 && c < 0x500) || (c >= 0x1E00 && c < 0x2000) ||
                              (c >= 0x2010 && c < 0x2028) || (c >= 0x2030 && c < 0x205F);
        return inRanges && !QChar::isMark(c) && raw.supportsCharacter(QChar(c));
    }

    QFontMetricsF metrics;
    QRawFont raw;
    mutable std::vector<float> advances;
    bool enabled = false;
};

namespace {

// The same few emoji come back again and again: their widths are kept per font.
QHash<QString, double>& emojiWidthsFor(const QString& fontKey) {
    static QHash<QString, QHash<QString, double>> emojiWidthsByFont;
    QHash<QString, double>& widths = emojiWidthsByFont[fontKey];
    if (widths.size() > 4096)
        widths.clear();
    return widths;
}

} // namespace

TextMeasurer::TextMeasurer(const QFont& font, const QFont& emojiFont)
    : textMetrics(font)
    , plainAdvances(PlainAdvances::of(font))
    , emojiWidths(emojiWidthsFor(emojiFont.key()))
    , emojiFont(emojiFont) {}

double TextMeasurer::emojiWidth(const QString& cluster) {
    auto known = emojiWidths.constFind(cluster);
    if (known == emojiWidths.cend()) {
        if (!emojiMetrics)
            emojiMetrics.emplace(emojiFont);
        known = emojiWidths.insert(QString(cluster.constData(), cluster.size()),
                                   emojiMetrics->horizontalAdvance(cluster));
    }
    return *known;
}

double TextMeasurer::runWidth(const QString& run) const {
    if (const auto plain = plainAdvances.width(run))
        return *plain;
    return textMetrics.horizontalAdvance(run);
}

QString TextMeasurer::emojiFamily() {
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        for (const QString& preferred :
             {u"Noto Color Emoji"_s, u"Twemoji"_s, u"JoyPixels"_s, u"EmojiOne Color"_s}) {
            if (families.contains(preferred))
                return preferred;
        }
        for (const QString& family : families) {
            if (family.contains(u"Emoji"_s, Qt::CaseInsensitive))
                return family;
        }
        return QString();
    }();
    return family;
}
