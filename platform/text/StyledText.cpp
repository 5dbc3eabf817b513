#include "StyledText.h"

#include "EmojiImages.h"
#include "TextMeasurer.h"
#include "TextRuns.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>

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
    std::optional<TextMeasurer> measurer;
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
        if (QString line = TextRuns::asOneLine(shown.at(b.next));
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
                b.measurer.emplace(font, emojiFont);
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
    if (const QString family = TextMeasurer::emojiFamily(); !family.isEmpty())
        emojiFont.setFamilies({family, font.family()});
    const QFontMetricsF textMetrics(font);
    const QFontMetricsF emojiMetrics(emojiFont);
    emojiFontKey = emojiFont.key();
    emojiAbove = static_cast<int>(std::ceil(emojiMetrics.ascent())) + 1;
    lineHeight = textMetrics.height();
    lineAscent = textMetrics.ascent();
}

void StyledText::measureSegment(quint32 segment, TextMeasurer& measurer) {
    const QString& text = shown.at(segment);
    for (qsizetype start = 0; start < text.size();) {
        Piece piece;
        piece.start = static_cast<quint32>(start);
        piece.emoji = TextRuns::emojiStartsAt(text, start);
        const qsizetype end = piece.emoji ? TextRuns::endOfEmojiCluster(text, start)
                                          : TextRuns::endOfTextRun(text, start);
        piece.length = static_cast<quint32>(end - start);
        const QString part = QString::fromRawData(text.constData() + start, end - start);
        piece.width =
            static_cast<float>(piece.emoji ? measurer.emojiWidth(part) : measurer.runWidth(part));
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

double StyledText::segmentStart(qsizetype segment) const {
    if (segment >= 0 && size_t(segment) < segmentSpans.size())
        return segmentSpans[size_t(segment)].x;
    return segment < 0 ? 0 : width();
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
                    EmojiImages::draw(painter, emojiFont, emojiFontKey, emojiAbove,
                                      partOf(index, piece), x, baseline);
                else
                    glyphs.draw(painter, i, partOf(index, piece), piece.width, x, baseline, font,
                                lineHeight, lineAscent);
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
