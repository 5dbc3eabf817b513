#include "StyledText.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Runs of text are cut after a blank once this long, and anywhere safe once twice as long:
// pieces stay short enough to lay out cheaply at every frame.
constexpr qsizetype softPieceLength = 48;
constexpr qsizetype hardPieceLength = 128;
constexpr qsizetype rightToLeftPieceLength = 2048;

char32_t codePointAt(const QString& text, qsizetype i, qsizetype* length) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    *length = 1;
    return c.unicode();
}

// Characters shown as emoji by default (Unicode's Emoji_Presentation), as ranges. Everything in
// the supplementary pictographic planes U+1F000..U+1FAFF counts too: close enough for choosing a
// font, since Qt falls back to other fonts for any glyph the emoji font lacks.
bool hasEmojiPresentation(char32_t c) {
    if (c < 0x231A)
        return false;
    static constexpr std::pair<char32_t, char32_t> ranges[] = {
        {0x231A, 0x231B}, {0x23E9, 0x23EC}, {0x23F0, 0x23F0}, {0x23F3, 0x23F3},   {0x25FD, 0x25FE},
        {0x2614, 0x2615}, {0x2648, 0x2653}, {0x267F, 0x267F}, {0x2693, 0x2693},   {0x26A1, 0x26A1},
        {0x26AA, 0x26AB}, {0x26BD, 0x26BE}, {0x26C4, 0x26C5}, {0x26CE, 0x26CE},   {0x26D4, 0x26D4},
        {0x26EA, 0x26EA}, {0x26F2, 0x26F3}, {0x26F5, 0x26F5}, {0x26FA, 0x26FA},   {0x26FD, 0x26FD},
        {0x2705, 0x2705}, {0x270A, 0x270B}, {0x2728, 0x2728}, {0x274C, 0x274C},   {0x274E, 0x274E},
        {0x2753, 0x2755}, {0x2757, 0x2757}, {0x2795, 0x2797}, {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
        {0x2B1B, 0x2B1C}, {0x2B50, 0x2B50}, {0x2B55, 0x2B55}, {0x1F000, 0x1FAFF},
    };
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [c](const auto& range) { return c >= range.first && c <= range.second; });
}

constexpr char32_t variationText = 0xFE0E;
constexpr char32_t variationEmoji = 0xFE0F;
constexpr char32_t zeroWidthJoiner = 0x200D;

// Code points that belong to the cluster before them: never cut in front of one.
bool extendsCluster(char32_t c) {
    return c == zeroWidthJoiner || c == 0x200C || (c >= 0xFE00 && c <= 0xFE0F) ||
           (c >= 0xE0100 && c <= 0xE01EF) || c == 0x20E3 || (c >= 0xE0020 && c <= 0xE007F) ||
           (c >= 0x1F3FB && c <= 0x1F3FF) || QChar::isMark(c);
}

char32_t codePointAfter(const QString& text, qsizetype i) {
    if (i >= text.size())
        return 0;
    qsizetype length = 0;
    return codePointAt(text, i, &length);
}

// Whether an emoji cluster starts at i: a character shown as emoji unless followed by U+FE0E,
// or any character followed by U+FE0F.
bool emojiStartsAt(const QString& text, qsizetype i) {
    // Most text is far below the first emoji and not followed by a selector.
    if (text.at(i).unicode() < 0x231A &&
        (i + 1 >= text.size() || text.at(i + 1).unicode() != variationEmoji))
        return false;
    qsizetype length = 0;
    const char32_t c = codePointAt(text, i, &length);
    if (extendsCluster(c))
        return false;
    const char32_t next = codePointAfter(text, i + length);
    if (next == variationEmoji)
        return true;
    return hasEmojiPresentation(c) && next != variationText;
}

// The end of the run of emoji clusters that starts at i, with their modifiers, selectors,
// keycaps, tags and joined sequences.
qsizetype endOfEmojiRun(const QString& text, qsizetype i) {
    qsizetype length = 0;
    codePointAt(text, i, &length);
    qsizetype end = i + length;
    while (end < text.size()) {
        const char32_t c = codePointAt(text, end, &length);
        if (c == zeroWidthJoiner && end + length < text.size()) {
            qsizetype joinedLength = 0;
            codePointAt(text, end + length, &joinedLength);
            end += length + joinedLength;
        } else if (extendsCluster(c) || emojiStartsAt(text, end)) {
            end += length;
        } else {
            break;
        }
    }
    return end;
}

// Whether the character reads right to left, or is an explicit bidirectional embedding, override
// or isolate, after which the order of what follows depends on what came before.
std::optional<bool> rightToLeftContext(char32_t c) {
    switch (QChar::direction(c)) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirPDF:
    case QChar::DirRLI:
    case QChar::DirLRI:
    case QChar::DirFSI:
    case QChar::DirPDI:
        return true;
    case QChar::DirL:
        return false;
    default:
        return std::nullopt;
    }
}

qsizetype endOfTextRun(const QString& text, qsizetype start) {
    qsizetype end = start;
    qsizetype length = 0;
    // Each piece is laid out on its own, so a cut inside right-to-left text would show its two
    // halves in the wrong order: such text is cut only when it is very long.
    bool rightToLeft = false;
    while (end < text.size()) {
        if (end > start && emojiStartsAt(text, end))
            return end;
        const qsizetype run = end - start;
        const char32_t c = codePointAt(text, end, &length);
        const bool afterBlank =
            end > start && text.at(end - 1).isSpace() && !text.at(end).isSpace();
        if (!rightToLeft && run >= softPieceLength && afterBlank)
            return end;
        const qsizetype hardLimit = rightToLeft ? rightToLeftPieceLength : hardPieceLength;
        if (run >= hardLimit && !extendsCluster(c) && !text.at(end).isLowSurrogate())
            return end;
        if (const auto context = rightToLeftContext(c))
            rightToLeft = *context;
        end += length;
    }
    return end;
}

// The text as drawn: one line, control characters and line breaks as blanks.
QString asOneLine(const QString& text) {
    auto isBreak = [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || u == 0x7F || u == 0x85 || u == 0x2028 || u == 0x2029;
    };
    if (std::none_of(text.cbegin(), text.cend(), isBreak))
        return text;
    QString line = text;
    for (QChar& c : line) {
        if (isBreak(c))
            c = u' ';
    }
    return line;
}

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

} // namespace

QString StyledText::emojiFamily() {
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

StyledText::StyledText(const QString& text, const QFont& font)
    : shown(asOneLine(text))
    , font(font)
    , emojiFont(font) {
    if (const QString family = emojiFamily(); !family.isEmpty())
        emojiFont.setFamilies({family, font.family()});
    const QFontMetricsF textMetrics(font);
    const QFontMetricsF emojiMetrics(emojiFont);
    emojiFontKey = emojiFont.key();
    emojiAbove = static_cast<int>(std::ceil(emojiMetrics.ascent())) + 1;
    const PlainAdvances& plainAdvances = PlainAdvances::of(font);
    lineHeight = textMetrics.height();
    lineAscent = textMetrics.ascent();

    // The same few emoji come back again and again, and measuring one unpacks its bitmap:
    // measure each once per font, for every text.
    static QHash<QString, QHash<QString, double>> emojiWidthsByFont;
    QHash<QString, double>& emojiWidths = emojiWidthsByFont[emojiFontKey];
    if (emojiWidths.size() > 4096)
        emojiWidths.clear();
    double x = 0;
    for (qsizetype start = 0; start < shown.size();) {
        Piece piece;
        piece.start = start;
        piece.emoji = emojiStartsAt(shown, start);
        const qsizetype end =
            piece.emoji ? endOfEmojiRun(shown, start) : endOfTextRun(shown, start);
        piece.length = end - start;
        const QString part = QString::fromRawData(shown.constData() + start, piece.length);
        if (piece.emoji) {
            auto known = emojiWidths.constFind(part);
            if (known == emojiWidths.cend())
                known = emojiWidths.insert(QString(part.constData(), part.size()),
                                           emojiMetrics.horizontalAdvance(part));
            piece.width = *known;
        } else if (const auto plain = plainAdvances.width(part)) {
            piece.width = *plain;
        } else {
            piece.width = textMetrics.horizontalAdvance(part);
        }
        piece.x = x;
        x += piece.width;
        pieces.push_back(piece);
        start = end;
    }
    totalWidth = x;
}

void StyledText::draw(QPainter& painter, QPointF origin, double clipLeft, double clipRight) const {
    // The first piece whose right end reaches into the clip.
    auto piece = std::partition_point(pieces.begin(), pieces.end(), [&](const Piece& p) {
        return origin.x() + p.x + p.width <= clipLeft;
    });
    const double baseline = origin.y() + lineAscent;
    painter.setFont(font);
    for (; piece != pieces.end() && origin.x() + piece->x < clipRight; ++piece) {
        const QString part = QString::fromRawData(shown.constData() + piece->start, piece->length);
        const double x = origin.x() + piece->x;
        if (piece->emoji)
            drawEmoji(painter, part, x, baseline);
        else
            painter.drawText(QPointF(x, baseline), part);
    }
}

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

} // namespace

// Qt rasterises colour emoji (bitmaps scaled down from a large size) afresh at every draw, which
// would cost more than the rest of a frame together; so each emoji run is drawn once into an
// image, at four sub-pixel phases, and the images are reused. Main thread only, like painting.
void StyledText::drawEmoji(QPainter& painter, const QString& part, double x,
                           double baseline) const {
    constexpr int phases = 4;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const double deviceX = x * ratio;
    const double whole = std::floor(deviceX);
    const int phase = std::min(phases - 1, static_cast<int>((deviceX - whole) * phases + 0.5));
    const bool carry = (deviceX - whole) * phases + 0.5 >= phases;

    // Shared by every text: a new text is mostly the same few emoji again.
    static QHash<EmojiImageKey, std::vector<QImage>> cache;
    if (cache.size() > 512)
        cache.clear();
    const QRgb colour = painter.pen().color().rgba();
    auto found = cache.find(EmojiImageKey{emojiFontKey, part, ratio, colour});
    if (found == cache.end()) {
        // The part points into this text's string; the cache outlives it, so it keeps a copy.
        found = cache.insert(
            EmojiImageKey{emojiFontKey, QString(part.constData(), part.size()), ratio, colour}, {});
        std::vector<QImage>& images = *found;
        const QFontMetricsF metrics(emojiFont);
        const QSize size(static_cast<int>(std::ceil(metrics.horizontalAdvance(part) * ratio)) + 4,
                         static_cast<int>(std::ceil((emojiAbove + metrics.descent() + 1) * ratio)) +
                             2);
        for (int p = 0; p < phases; ++p) {
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            image.setDevicePixelRatio(ratio);
            QPainter imagePainter(&image);
            imagePainter.setFont(emojiFont);
            imagePainter.setPen(painter.pen());
            imagePainter.drawText(QPointF(static_cast<double>(p) / phases / ratio, emojiAbove),
                                  part);
            images.push_back(std::move(image));
        }
    }
    const double left = (whole + (carry ? 1 : 0)) / ratio;
    const QPointF topLeft(left, std::round((baseline - emojiAbove) * ratio) / ratio);
    painter.drawImage(topLeft, (*found)[static_cast<size_t>(carry ? 0 : phase)]);
}

int TextShadow::margin() const {
    return static_cast<int>(
               std::ceil(std::abs(offset.x()) + std::abs(offset.y()) + 2 * blurRadius)) +
           1;
}

QImage TextShadow::shadowOf(const QImage& layer) const {
    const QImage source = layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = source.width();
    const int height = source.height();
    // A blur radius of r spreads about like a Gaussian with a standard deviation of r / 2.
    const double sigma = std::max(0.01, blurRadius * source.devicePixelRatio() / 2.0);
    const int reach = static_cast<int>(std::ceil(3 * sigma));
    std::vector<float> kernel(static_cast<size_t>(2 * reach + 1));
    float sum = 0;
    for (int k = -reach; k <= reach; ++k) {
        const auto weight = static_cast<float>(std::exp(-(k * k) / (2 * sigma * sigma)));
        kernel[static_cast<size_t>(k + reach)] = weight;
        sum += weight;
    }
    for (float& weight : kernel)
        weight /= sum;

    const auto at = [width](int x, int y) {
        return static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
    };
    // The alpha of what was drawn; rows without any are skipped from here on (a line of text
    // leaves most rows of its layer empty).
    std::vector<float> alpha(static_cast<size_t>(width) * static_cast<size_t>(height));
    std::vector<bool> rowDrawn(static_cast<size_t>(height), false);
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const int a = qAlpha(line[x]);
            alpha[at(x, y)] = static_cast<float>(a) * (1.0f / 255.0f);
            if (a != 0)
                rowDrawn[static_cast<size_t>(y)] = true;
        }
    }
    // Two passes of the same one-dimensional kernel; beyond the edges counts as transparent.
    std::vector<float> across(alpha.size(), 0.0f);
    for (int y = 0; y < height; ++y) {
        if (!rowDrawn[static_cast<size_t>(y)])
            continue;
        const float* in = &alpha[at(0, y)];
        float* out = &across[at(0, y)];
        for (int k = -reach; k <= reach; ++k) {
            const float weight = kernel[static_cast<size_t>(k + reach)];
            const int first = std::max(0, -k);
            const int last = std::min(width, width - k);
            for (int x = first; x < last; ++x)
                out[x] += weight * in[x + k];
        }
    }
    QImage shadow(width, height, QImage::Format_ARGB32_Premultiplied);
    shadow.setDevicePixelRatio(source.devicePixelRatio());
    shadow.fill(Qt::transparent);
    const float opacity = static_cast<float>(color.alphaF()) * 255.0f;
    std::array<QRgb, 256> shades{};
    for (int a = 0; a < 256; ++a)
        shades[static_cast<size_t>(a)] =
            qPremultiply(qRgba(color.red(), color.green(), color.blue(), a));
    std::vector<const float*> rows;
    std::vector<float> weights;
    std::vector<float> sums(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        rows.clear();
        weights.clear();
        for (int k = -reach; k <= reach; ++k) {
            const int from = y + k;
            if (from >= 0 && from < height && rowDrawn[static_cast<size_t>(from)]) {
                rows.push_back(&across[at(0, from)]);
                weights.push_back(kernel[static_cast<size_t>(k + reach)] * opacity);
            }
        }
        if (rows.empty())
            continue;
        std::fill(sums.begin(), sums.end(), 0.5f);
        for (size_t r = 0; r < rows.size(); ++r) {
            const float weight = weights[r];
            const float* row = rows[r];
            for (int x = 0; x < width; ++x)
                sums[static_cast<size_t>(x)] += weight * row[x];
        }
        auto* line = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = shades[static_cast<size_t>(std::min(255.0f, sums[static_cast<size_t>(x)]))];
    }
    return shadow;
}

void TextShadow::paint(QPainter& painter, QPointF topLeft, const QImage& layer) const {
    painter.drawImage(topLeft + offset, shadowOf(layer));
    painter.drawImage(topLeft, layer);
}
