#include "StyledText.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <chrono>
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

bool isRegionalIndicator(char32_t c) {
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}

// The end of the emoji cluster that starts at i, with its modifiers, selectors, keycaps, tags
// and joined sequences; two regional indicators make one flag. Each cluster is a piece of its
// own, so that a run of any length is measured and drawn a cluster at a time.
qsizetype endOfEmojiCluster(const QString& text, qsizetype i) {
    qsizetype length = 0;
    const char32_t first = codePointAt(text, i, &length);
    qsizetype end = i + length;
    if (isRegionalIndicator(first) && end < text.size() &&
        isRegionalIndicator(codePointAt(text, end, &length)))
        end += length;
    while (end < text.size()) {
        const char32_t c = codePointAt(text, end, &length);
        if (c == zeroWidthJoiner && end + length < text.size()) {
            qsizetype joinedLength = 0;
            codePointAt(text, end + length, &joinedLength);
            end += length + joinedLength;
        } else if (extendsCluster(c)) {
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

struct StyledText::Measurer {
    explicit Measurer(const StyledText& text)
        : textMetrics(text.font)
        , plainAdvances(PlainAdvances::of(text.font))
        , emojiWidths(emojiWidthsFor(text.emojiFontKey))
        , emojiFont(text.emojiFont) {}

    // The same few emoji come back again and again, and measuring one unpacks its bitmap:
    // each is measured once per font, for every text.
    static QHash<QString, double>& emojiWidthsFor(const QString& fontKey) {
        static QHash<QString, QHash<QString, double>> emojiWidthsByFont;
        QHash<QString, double>& widths = emojiWidthsByFont[fontKey];
        if (widths.size() > 4096)
            widths.clear();
        return widths;
    }

    double emojiWidth(const QString& part) {
        auto known = emojiWidths.constFind(part);
        if (known == emojiWidths.cend()) {
            if (!emojiMetrics)
                emojiMetrics.emplace(emojiFont);
            known = emojiWidths.insert(QString(part.constData(), part.size()),
                                       emojiMetrics->horizontalAdvance(part));
        }
        return *known;
    }

    QFontMetricsF textMetrics;
    const PlainAdvances& plainAdvances;
    QHash<QString, double>& emojiWidths;
    QFont emojiFont;
    std::optional<QFontMetricsF> emojiMetrics;
};

StyledText::StyledText(const QString& text, const QFont& font)
    : StyledText(QStringList{text}, font, nullptr) {}

// What a text being built keeps until every segment is measured.
struct StyledText::Building {
    qsizetype next = 0;
    const StyledText* previous = nullptr;
    // Short segments (the separators of a ticker, above all) come back again and again: each
    // is measured once per text and copied after that.
    QHash<QStringView, quint32> shortSegments;
    // Unchanged quotes keep their strings, and with them their data: they are found in the
    // previous text at their own place, or after an addition or removal a few places away. Only
    // after many misses (a reload, which reads every quote into a new string) are the previous
    // text's segments looked up by content.
    QHash<QStringView, quint32> previousByContent;
    qsizetype shift = 0;
    int misses = 0;
    double x = 0;
    // How many pieces are summed into the marks.
    size_t marked = 0;
    std::optional<Measurer> measurer;
};

StyledText::StyledText(const QStringList& segments, const QFont& font, const StyledText* previous,
                       double budgetSeconds) {
    setUp(font);
    // The list itself is shared with the caller's too: only a segment shown otherwise than given
    // (with a line break in it) is replaced.
    shown = segments;
    segmentSpans.reserve(static_cast<size_t>(segments.size()));
    if (previous && previous->font != font)
        previous = nullptr;
    if (previous)
        pieces.reserve(previous->pieces.size() + 16);
    building = std::make_unique<Building>();
    building->previous = previous;
    measureMore(budgetSeconds);
}

StyledText::~StyledText() = default;
StyledText::StyledText(StyledText&&) noexcept = default;
StyledText& StyledText::operator=(StyledText&&) noexcept = default;

void StyledText::forgetPrevious() {
    if (building) {
        building->previous = nullptr;
        building->previousByContent.clear();
    }
}

bool StyledText::measureMore(double budgetSeconds) {
    if (!building)
        return true;
    Building& b = *building;
    constexpr qsizetype shortSegment = 16;
    constexpr int missesBeforeLookup = 64;
    constexpr qsizetype nearby = 8;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        budgetSeconds >= 3600 ? Clock::time_point::max()
                              : Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(budgetSeconds));
    // Every call measures some segments, however short its time; the clock is read every few
    // segments only.
    const qsizetype first = b.next;
    for (; b.next < shown.size(); ++b.next) {
        if ((b.next & 63) == 0 && b.next > first && Clock::now() >= deadline) {
            totalWidth = b.x;
            return false;
        }
        const auto index = static_cast<quint32>(segmentSpans.size());
        if (QString line = asOneLine(shown.at(b.next));
            line.constData() != shown.at(b.next).constData())
            shown[b.next] = std::move(line);
        segmentSpans.push_back(Segment{b.x, static_cast<quint32>(pieces.size()), 0});
        const QString& current = shown.at(b.next);
        const QStringView content(current);
        const StyledText* source = nullptr;
        quint32 from = 0;
        const bool isShort = current.size() <= shortSegment;
        if (isShort) {
            if (const auto found = b.shortSegments.constFind(content);
                found != b.shortSegments.cend()) {
                source = this;
                from = *found;
            }
        }
        if (!source && b.previous) {
            const auto sameData = [&](qsizetype j) {
                return j >= 0 && j < static_cast<qsizetype>(b.previous->segmentSpans.size()) &&
                       b.previous->shown.at(j).constData() == current.constData() &&
                       b.previous->shown.at(j).size() == current.size();
            };
            const qsizetype guess = static_cast<qsizetype>(index) + b.shift;
            if (sameData(guess)) {
                source = b.previous;
                from = static_cast<quint32>(guess);
            }
            for (qsizetype d = 1; !source && !isShort && d <= nearby; ++d) {
                for (const qsizetype j : {guess - d, guess + d}) {
                    if (!source && sameData(j)) {
                        source = b.previous;
                        from = static_cast<quint32>(j);
                        b.shift = j - static_cast<qsizetype>(index);
                    }
                }
            }
            if (!source && !isShort && ++b.misses > missesBeforeLookup) {
                if (b.previousByContent.isEmpty()) {
                    const auto measured = static_cast<qsizetype>(b.previous->segmentSpans.size());
                    b.previousByContent.reserve(measured / 2);
                    for (qsizetype i = 0; i < measured; ++i) {
                        if (b.previous->shown.at(i).size() > shortSegment)
                            b.previousByContent.emplace(QStringView(b.previous->shown.at(i)),
                                                        static_cast<quint32>(i));
                    }
                }
                if (const auto found = b.previousByContent.constFind(content);
                    found != b.previousByContent.cend()) {
                    source = b.previous;
                    from = *found;
                }
            }
        }
        Segment& added = segmentSpans.back();
        if (source == this) {
            added.firstPiece = segmentSpans[from].firstPiece;
            added.pieceCount = segmentSpans[from].pieceCount;
        } else if (source) {
            const Segment& taken = source->segmentSpans[from];
            pieces.insert(pieces.end(), source->pieces.begin() + taken.firstPiece,
                          source->pieces.begin() + taken.firstPiece + taken.pieceCount);
            added.pieceCount = taken.pieceCount;
        } else {
            if (!b.measurer)
                b.measurer.emplace(*this);
            measureSegment(index, *b.measurer);
            added.pieceCount = static_cast<quint32>(pieces.size()) - added.firstPiece;
            ++measuredSegments;
        }
        if (isShort && source != this)
            b.shortSegments.insert(content, index);

        for (size_t i = b.marked; i < pieces.size(); ++i) {
            if (i % 64 == 0)
                pieceMarks.push_back(piecesWidth);
            piecesWidth += pieces[i].width;
        }
        b.marked = pieces.size();
        drawnPieces += added.pieceCount;
        for (quint32 i = added.firstPiece; i < added.firstPiece + added.pieceCount; ++i)
            b.x += pieces[i].width;
    }
    totalWidth = b.x;
    building.reset();
    // Room reserved for a text like the previous one goes back once the text is complete.
    pieces.shrink_to_fit();
    return true;
}

void StyledText::setUp(const QFont& textFont) {
    font = textFont;
    emojiFont = textFont;
    if (const QString family = emojiFamily(); !family.isEmpty())
        emojiFont.setFamilies({family, font.family()});
    const QFontMetricsF textMetrics(font);
    const QFontMetricsF emojiMetrics(emojiFont);
    emojiFontKey = emojiFont.key();
    emojiAbove = static_cast<int>(std::ceil(emojiMetrics.ascent())) + 1;
    lineHeight = textMetrics.height();
    lineAscent = textMetrics.ascent();
}

void StyledText::measureSegment(quint32 segment, Measurer& measurer) {
    const QString& text = shown.at(segment);
    for (qsizetype start = 0; start < text.size();) {
        Piece piece;
        piece.start = static_cast<quint32>(start);
        piece.emoji = emojiStartsAt(text, start);
        const qsizetype end =
            piece.emoji ? endOfEmojiCluster(text, start) : endOfTextRun(text, start);
        piece.length = static_cast<quint32>(end - start);
        const QString part = QString::fromRawData(text.constData() + start, end - start);
        if (piece.emoji)
            piece.width = static_cast<float>(measurer.emojiWidth(part));
        else if (const auto plain = measurer.plainAdvances.width(part))
            piece.width = static_cast<float>(*plain);
        else
            piece.width = static_cast<float>(measurer.textMetrics.horizontalAdvance(part));
        pieces.push_back(piece);
        start = end;
    }
}

qsizetype StyledText::segmentAt(double x) const {
    if (segmentSpans.empty())
        return -1;
    // The last segment that begins at or left of x; an empty one gives way to the next.
    const auto after = std::partition_point(segmentSpans.begin(), segmentSpans.end(),
                                            [x](const Segment& s) { return s.x <= x; });
    return after == segmentSpans.begin() ? 0 : after - segmentSpans.begin() - 1;
}

void StyledText::draw(QPainter& painter, QPointF origin, double clipLeft, double clipRight) const {
    // The last segment that begins at or left of the clip (or the first), then its pieces and
    // those after it up to the clip's right end.
    auto segment =
        std::partition_point(segmentSpans.begin(), segmentSpans.end(),
                             [&](const Segment& s) { return origin.x() + s.x <= clipLeft; });
    if (segment != segmentSpans.begin())
        --segment;
    const double baseline = origin.y() + lineAscent;
    painter.setFont(font);
    for (; segment != segmentSpans.end() && origin.x() + segment->x < clipRight; ++segment) {
        const auto index = static_cast<quint32>(segment - segmentSpans.begin());
        const quint32 end = segment->firstPiece + segment->pieceCount;
        quint32 i = segment->firstPiece;
        double x = origin.x() + segment->x;
        if (segment->pieceCount > 64) {
            // Skip by the marks to within 64 pieces of the clip.
            const double start = pieceOffset(i);
            auto mark = static_cast<size_t>(i / 64 + 1);
            const auto lastMark = static_cast<size_t>((end - 1) / 64);
            const auto at = [&](size_t m) { return x + (pieceMarks[m] - start); };
            auto found =
                std::partition_point(pieceMarks.begin() + static_cast<qsizetype>(mark),
                                     pieceMarks.begin() + static_cast<qsizetype>(lastMark + 1),
                                     [&](const double& m) { return x + (m - start) <= clipLeft; });
            if (found != pieceMarks.begin() + static_cast<qsizetype>(mark)) {
                mark = static_cast<size_t>(found - pieceMarks.begin()) - 1;
                x = at(mark);
                i = static_cast<quint32>(mark * 64);
            }
        }
        for (; i < end; ++i) {
            const Piece& piece = pieces[i];
            if (x >= clipRight)
                return;
            if (x + piece.width > clipLeft) {
                if (piece.emoji)
                    drawEmoji(painter, partOf(index, piece), x, baseline);
                else
                    drawShaped(painter, index, i, x, baseline);
            }
            x += piece.width;
        }
    }
}

double StyledText::pieceOffset(quint32 i) const {
    const size_t mark = i / 64;
    if (mark >= pieceMarks.size())
        return piecesWidth;
    double offset = pieceMarks[mark];
    for (auto j = static_cast<quint32>(mark * 64); j < i; ++j)
        offset += pieces[j].width;
    return offset;
}

// Shaping a piece is most of what drawing it costs: the pieces in view keep their glyphs, and
// a frame only places them. A piece leaves the cache when newer ones need its slot.
void StyledText::drawShaped(QPainter& painter, quint32 segment, quint32 index, double x,
                            double baseline) const {
    ShapedPiece* slot = nullptr;
    for (ShapedPiece& candidate : shaped) {
        if (candidate.piece == index) {
            slot = &candidate;
            break;
        }
    }
    if (!slot) {
        slot = &shaped[nextShapedSlot];
        nextShapedSlot = (nextShapedSlot + 1) % shaped.size();
        const QString part = partOf(segment, pieces[index]).toString();
        QTextLayout layout(part, font);
        layout.setCacheEnabled(true);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        slot->piece = index;
        slot->ascent = line.isValid() ? line.ascent() : 0;
        slot->runs = layout.glyphRuns();
        for (const QImage& image : slot->images)
            pieceImageBytes -= image.sizeInBytes();
        slot->images.clear();
    }
    // Placing glyphs costs by their number: a piece with many more glyphs than columns is
    // drawn from an image of itself, so that it costs what ordinary text costs.
    qsizetype glyphs = 0;
    for (const QGlyphRun& run : std::as_const(slot->runs))
        glyphs += run.glyphIndexes().size();
    const double width = pieces[index].width;
    constexpr qsizetype manyGlyphs = 64;
    if (glyphs > manyGlyphs && static_cast<double>(glyphs) > width / 4) {
        drawPieceImage(painter, *slot, width, x, baseline);
        return;
    }
    const QPointF topLeft(x, baseline - slot->ascent);
    for (const QGlyphRun& run : std::as_const(slot->runs))
        painter.drawGlyphRun(topLeft, run);
}

void StyledText::drawPieceImage(QPainter& painter, ShapedPiece& slot, double width, double x,
                                double baseline) const {
    constexpr int phases = 4;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRgb colour = painter.pen().color().rgba();
    // Marks stacked above or below the line reach a line's height beyond it at most before the
    // view cuts them off.
    const double reach = lineHeight;
    const QSize size(static_cast<int>(std::ceil(width * ratio)) + 4,
                     static_cast<int>(std::ceil((lineHeight + 2 * reach) * ratio)) + 2);
    // The images of all pieces together stay under a few megabytes; past that, glyphs again.
    constexpr qsizetype mostBytes = 8 * 1024 * 1024;
    const qsizetype bytes = qsizetype(size.width()) * size.height() * 4 * phases;
    if (slot.images.empty() && pieceImageBytes + bytes > mostBytes) {
        const QPointF topLeft(x, baseline - slot.ascent);
        for (const QGlyphRun& run : std::as_const(slot.runs))
            painter.drawGlyphRun(topLeft, run);
        return;
    }
    if (slot.images.empty() || slot.colour != colour || slot.ratio != ratio) {
        if (slot.images.empty())
            pieceImageBytes += bytes;
        slot.images.clear();
        slot.colour = colour;
        slot.ratio = ratio;
        for (int p = 0; p < phases; ++p) {
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            image.setDevicePixelRatio(ratio);
            QPainter imagePainter(&image);
            imagePainter.setPen(painter.pen());
            imagePainter.setFont(font);
            const QPointF topLeft(static_cast<double>(p) / phases / ratio,
                                  reach + lineAscent - slot.ascent);
            for (const QGlyphRun& run : std::as_const(slot.runs))
                imagePainter.drawGlyphRun(topLeft, run);
            slot.images.push_back(std::move(image));
        }
    }
    const double deviceX = x * ratio;
    const double whole = std::floor(deviceX);
    const int phase = std::min(phases - 1, static_cast<int>((deviceX - whole) * phases + 0.5));
    const bool carry = (deviceX - whole) * phases + 0.5 >= phases;
    const double left = (whole + (carry ? 1 : 0)) / ratio;
    const double top = std::round((baseline - lineAscent - reach) * ratio) / ratio;
    painter.drawImage(QPointF(left, top), slot.images[static_cast<size_t>(carry ? 0 : phase)]);
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

// Images of emoji clusters, shared by every text: a new text is mostly the same few emoji
// again. Whatever the text, the images together stay under a fixed number of bytes; past it the
// cache starts afresh (the clusters in view come back at once).
struct EmojiImages {
    static constexpr qsizetype ceiling = 4 * 1024 * 1024;
    QHash<EmojiImageKey, std::vector<QImage>> images;
    qsizetype bytes = 0;
};

EmojiImages& emojiImages() {
    static EmojiImages cache;
    return cache;
}

} // namespace

qsizetype StyledText::emojiCacheBytes() {
    return emojiImages().bytes;
}

qsizetype StyledText::emojiCacheCeiling() {
    return EmojiImages::ceiling;
}

// Qt rasterises colour emoji (bitmaps scaled down from a large size) afresh at every draw, which
// would cost more than the rest of a frame together; so each emoji cluster is drawn once into an
// image, at four sub-pixel phases, and the images are reused. Main thread only, like painting.
void StyledText::drawEmoji(QPainter& painter, QStringView part, double x, double baseline) const {
    constexpr int phases = 4;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const double deviceX = x * ratio;
    const double whole = std::floor(deviceX);
    const int phase = std::min(phases - 1, static_cast<int>((deviceX - whole) * phases + 0.5));
    const bool carry = (deviceX - whole) * phases + 0.5 >= phases;

    EmojiImages& cache = emojiImages();
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
        if (cache.bytes + bytes > EmojiImages::ceiling) {
            cache.images.clear();
            cache.bytes = 0;
        }
        // A cluster too large for the cache at all is drawn from its images once and dropped.
        if (bytes > EmojiImages::ceiling) {
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
// chosen at load time: x86 with glibc only; elsewhere the one plain version). Not in sanitizer
// builds: the clones' resolvers run before the sanitizer's runtime is set up, and crash.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SAYVANE_SANITIZED
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SAYVANE_SANITIZED
#endif
#if defined(__x86_64__) && defined(__GLIBC__) && !defined(SAYVANE_SANITIZED)
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
