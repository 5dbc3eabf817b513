#include "TextTape.h"

#include "StyledText.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// The chunks of a few frames: a handful, kept without allocating (frames are cut on a thread
// that must not allocate).
struct ChunkList {
    static constexpr int capacity = 32;
    std::array<qint64, capacity> items{};
    int count = 0;

    bool contains(qint64 chunk) const {
        return std::find(items.begin(), items.begin() + count, chunk) != items.begin() + count;
    }
    // The chunks that frames starting from `from` to `to` show.
    void addFrames(qint64 from, qint64 to, int viewWidth, int chunkWidth) {
        for (qint64 chunk = from / chunkWidth; chunk <= (to + viewWidth - 1) / chunkWidth;
             ++chunk) {
            if (count < capacity && !contains(chunk))
                items[static_cast<size_t>(count++)] = chunk;
        }
    }
};

ChunkList framesAhead(qint64 start, int ahead, int viewWidth, int chunkWidth, double textWidth) {
    ChunkList list;
    const qint64 end = start + ahead;
    if (!std::isfinite(textWidth)) {
        list.addFrames(start, end, viewWidth, chunkWidth);
        return list;
    }
    // The frames of one round start below the text's width (an eighth of a pixel more, by the
    // rounding of offsets); the next round starts again from the text's first copy.
    const auto lastStart = static_cast<qint64>(std::ceil(textWidth)) + 1;
    list.addFrames(start, std::min(end, lastStart), viewWidth, chunkWidth);
    if (end > static_cast<qint64>(std::floor(textWidth)))
        list.addFrames(0, std::min(end - static_cast<qint64>(std::floor(textWidth)) + 1, lastStart),
                       viewWidth, chunkWidth);
    return list;
}

int slotOf(const std::vector<qint64>& chunkInSlot, qint64 chunk) {
    const auto found = std::find(chunkInSlot.begin(), chunkInSlot.end(), chunk);
    return found == chunkInSlot.end() ? -1 : static_cast<int>(found - chunkInSlot.begin());
}

} // namespace

bool TextTape::canShow(const Picture& picture) {
    return picture.text && picture.textWidth > 0 && !picture.size.isEmpty() && picture.ratio >= 1 &&
           picture.ratio == std::floor(picture.ratio);
}

TextTape::Frame TextTape::frameAt(double offset, qreal ratio) {
    const auto quarters = static_cast<qint64>(std::round(offset * ratio * phases));
    // The whole pixel at or left of the offset, and the quarters past it.
    const qint64 whole = quarters >= 0 ? quarters / phases : -((-quarters + phases - 1) / phases);
    return {-whole, static_cast<int>(quarters - whole * phases)};
}

double TextTape::drawnOffset(double offset, qreal ratio) {
    return std::round(offset * ratio * phases) / (ratio * phases);
}

std::vector<qint64> TextTape::chunksNeeded(qint64 start, int ahead, int viewWidth, int chunkWidth,
                                           double textWidth) {
    const ChunkList list = framesAhead(start, ahead, viewWidth, chunkWidth, textWidth);
    return {list.items.begin(), list.items.begin() + list.count};
}

bool TextTape::isOnTape(double offset, qreal ratio) {
    return drawnOffset(offset, ratio) < 0;
}

TextTape::Copies TextTape::Layout::copiesAt(double offset, qreal ratio) const {
    Copies result;
    if (!isOnTape(offset, ratio) || chunkWidth <= 0)
        return result;
    const Frame frame = frameAt(offset, ratio);
    result.phase = frame.phase;
    const qint64 end = frame.start + viewWidth;
    for (qint64 chunk = frame.start / chunkWidth; chunk * chunkWidth < end; ++chunk) {
        const int slot = slotOf(chunkInSlot, chunk);
        if (slot < 0 || result.count == mostCopies) {
            result.count = 0;
            return result;
        }
        const qint64 from = std::max(frame.start, chunk * chunkWidth);
        const qint64 to = std::min(end, (chunk + 1) * chunkWidth);
        result.copies[static_cast<size_t>(result.count++)] = {
            slot, static_cast<int>(from - chunk * chunkWidth), static_cast<int>(from - frame.start),
            static_cast<int>(to - from)};
    }
    result.complete = true;
    const ChunkList ahead = framesAhead(frame.start, chunkWidth, viewWidth, chunkWidth, textWidth);
    result.aheadReady =
        std::all_of(ahead.items.begin(), ahead.items.begin() + ahead.count,
                    [this](qint64 chunk) { return slotOf(chunkInSlot, chunk) >= 0; });
    return result;
}

void TextTape::reset(const Picture& picture) {
    current = picture;
    chunks = {};
    if (!canShow(picture)) {
        slots.clear();
        return;
    }
    const auto ratio = static_cast<int>(picture.ratio);
    chunks.chunkWidth = chunkLogicalWidth * ratio;
    chunks.viewWidth = picture.size.width() * ratio;
    chunks.textWidth = picture.textWidth * ratio;
    // The chunks of the frames in view and of those ahead, at the end of a round and at the
    // start of the next one at once.
    const int perView = (chunks.viewWidth + chunks.chunkWidth - 1) / chunks.chunkWidth + 2;
    chunks.chunkInSlot.assign(static_cast<size_t>(2 * perView), -1);
    const QSize slotSize(chunks.chunkWidth, picture.size.height() * ratio * phases);
    slots.resize(chunks.chunkInSlot.size());
    for (QImage& image : slots) {
        if (image.size() != slotSize || image.devicePixelRatio() != picture.ratio) {
            image = QImage(slotSize, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(picture.ratio);
        }
    }
    strip.label = picture.label;
    strip.shadow.color = picture.shadow;
}

int TextTape::prepare(double offset, int ahead) {
    if (!usable() || !isOnTape(offset, current.ratio))
        return 0;
    const Frame frame = frameAt(offset, current.ratio);
    const ChunkList needed =
        framesAhead(frame.start, ahead, chunks.viewWidth, chunks.chunkWidth, chunks.textWidth);
    // The chunk just behind stays for a frame that another thread may still be cutting.
    const qint64 behind = frame.start / chunks.chunkWidth - 1;
    for (qint64& chunk : chunks.chunkInSlot) {
        if (chunk >= 0 && chunk != behind && !needed.contains(chunk))
            chunk = -1;
    }
    int drawn = 0;
    for (int i = 0; i < needed.count; ++i) {
        const qint64 chunk = needed.items[static_cast<size_t>(i)];
        if (slotOf(chunks.chunkInSlot, chunk) >= 0)
            continue;
        // Right after the chunk before it where that slot is free: a frame over neighbouring
        // chunks is then one stretch of the slots, which a copy elsewhere may take at once.
        int slot = -1;
        if (const int before = slotOf(chunks.chunkInSlot, chunk - 1); before >= 0) {
            const int next = (before + 1) % slotCount();
            if (chunks.chunkInSlot[static_cast<size_t>(next)] < 0)
                slot = next;
        }
        if (slot < 0)
            slot = slotOf(chunks.chunkInSlot, -1);
        if (slot < 0)
            slot = slotOf(chunks.chunkInSlot, behind);
        if (slot < 0)
            break;
        drawChunk(chunk, slot);
        ++drawn;
        if (onSlotDrawn)
            onSlotDrawn(slot);
    }
    return drawn;
}

void TextTape::drawChunk(qint64 chunk, int slot) {
    QImage& image = slots[static_cast<size_t>(slot)];
    const double ratio = current.ratio;
    const int width = chunkLogicalWidth;
    const int height = current.size.height();
    QPainter painter(&image);
    for (int phase = 0; phase < phases; ++phase) {
        painter.save();
        painter.translate(0, phase * height);
        painter.setClipRect(0, 0, width, height);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(0, 0, width, height, current.background);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        // The text's first copy starts `phase` quarters of a device pixel into the tape's
        // column 0, as a frame at that phase shows it.
        const double first =
            (static_cast<double>(phase) / phases - static_cast<double>(chunk * chunks.chunkWidth)) /
            ratio;
        if (std::isfinite(current.textWidth))
            strip.paint(painter, *current.text, QSize(width, height), current.y,
                        {first, first + current.textWidth});
        else
            strip.paint(painter, *current.text, QSize(width, height), current.y, {first});
        painter.restore();
    }
    chunks.chunkInSlot[static_cast<size_t>(slot)] = chunk;
}

bool TextTape::paintFrame(QPainter& painter, double offset) const {
    if (!usable())
        return false;
    const Copies copies = chunks.copiesAt(offset, current.ratio);
    if (!copies.complete)
        return false;
    const double ratio = current.ratio;
    const int height = current.size.height() * static_cast<int>(ratio);
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int i = 0; i < copies.count; ++i) {
        const Copy& copy = copies.copies[static_cast<size_t>(i)];
        painter.drawImage(QPointF(copy.targetX / ratio, 0), slotImage(copy.slot),
                          QRectF(copy.sourceX, copies.phase * height, copy.width, height));
    }
    painter.restore();
    return true;
}

QList<qint64> TextTape::heldChunks() const {
    QList<qint64> held;
    for (const qint64 chunk : chunks.chunkInSlot) {
        if (chunk >= 0)
            held.append(chunk);
    }
    return held;
}
