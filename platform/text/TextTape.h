#pragma once

#include "TextStrip.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QPainter;
class StyledText;

// The picture of a scrolling strip of text drawn once, as a tape, so that a frame only moves a
// window over it. The tape holds the strip's background with the text and its shadow over it,
// in chunks of a fixed width, each at four sub-pixel phases; a frame at any offset is cut from
// the chunks by whole device pixels, at the phase of its offset. A frame from the tape is the
// very picture that TextStrip paints directly at that offset (with the offset rounded to a
// quarter of a device pixel, the step in which glyphs are placed): the chunks are drawn by the
// same code, each with the text that reaches into it and its margin.
//
// The tape's columns count device pixels from the left edge of the text's first copy, and its
// second copy follows at the text's width, so a frame of any offset in (-width, 0) is on it.
// Chunks are drawn for the frames in view and those about to come (across the wrap, the start
// of the text again) and leave the tape once the frames have passed them. Main thread only.
class TextTape {
public:
    static constexpr int phases = 4;
    // A chunk is this many logical pixels wide: about three seconds of scrolling.
    static constexpr int chunkLogicalWidth = 128;

    // Everything the picture depends on; a change of any of it starts a new tape.
    struct Picture {
        const StyledText* text = nullptr;
        // The text's width, logical pixels; infinite while it is still being measured.
        double textWidth = 0;
        QSize size;
        qreal ratio = 1;
        // The top of the text's box.
        double y = 0;
        // What the strip is filled with under the text; transparent where the desktop shows.
        QColor background;
        QColor label;
        QColor shadow;
        // Changes whenever the text's content does (a text still being measured grows).
        quint64 version = 0;
        bool operator==(const Picture&) const = default;
    };

    // The window of the tape that makes a frame: its first column and its phase.
    struct Frame {
        qint64 start = 0;
        int phase = 0;
    };
    // One rectangle of a frame, taken from a slot's chunk (columns counted from the chunk's
    // left edge) to the strip (columns from its left edge); device pixels.
    struct Copy {
        int slot = 0;
        int sourceX = 0;
        int targetX = 0;
        int width = 0;
    };
    static constexpr int mostCopies = 4;
    struct Copies {
        std::array<Copy, mostCopies> copies{};
        int count = 0;
        int phase = 0;
        // Whether every chunk of the frame is on the tape; no copies otherwise.
        bool complete = false;
        // Whether the chunks of the frames about to come are there too.
        bool aheadReady = false;
    };

    // Which chunks a tape holds, slot by slot (-1 for none): what a frame is cut from.
    struct Layout {
        int chunkWidth = 0;
        int viewWidth = 0;
        // The text's width in device pixels; infinite while it is measured.
        double textWidth = 0;
        std::vector<qint64> chunkInSlot;

        // The copies that make the frame at the offset.
        Copies copiesAt(double offset, qreal ratio) const;
    };

    // Whether a tape can show the picture: a text and a whole pixel ratio (1, 2, ...), so that
    // chunks meet without a seam.
    static bool canShow(const Picture& picture);
    // The frame at an offset (logical pixels, below 0): the offset rounded to a quarter of a
    // device pixel.
    static Frame frameAt(double offset, qreal ratio);
    // The offset at which a frame is drawn for an offset: rounded to a quarter of a device
    // pixel. A picture painted directly at it is what the tape shows.
    static double drawnOffset(double offset, qreal ratio);
    // Whether the frame at an offset is on a tape: its drawn offset is below 0. (At 0 the text
    // stands at the left edge alone, without the second copy that follows it on the tape.)
    static bool isOnTape(double offset, qreal ratio);

    // Starts a new tape for the picture (nothing drawn yet); a tape that cannot show it stays
    // empty.
    void reset(const Picture& picture);
    const Picture& picture() const { return current; }
    bool usable() const { return canShow(current); }

    // Draws the chunks that the frames from the offset over the next `ahead` device pixels need
    // (across the wrap), and lets go of those that frames have passed, keeping one behind for a
    // frame already under way. Returns how many chunks it drew.
    int prepare(double offset, int ahead);
    // The frame at the offset, from the chunks; false, painting nothing, when one is missing or
    // the frame is not on a tape. The painter's origin is the strip's top left corner.
    bool paintFrame(QPainter& painter, double offset) const;

    const Layout& layout() const { return chunks; }
    int slotCount() const { return static_cast<int>(slots.size()); }
    // A slot's chunk at its four phases, one above the other.
    const QImage& slotImage(int slot) const { return slots[static_cast<size_t>(slot)]; }
    // The chunks on the tape, in slot order, for tests.
    QList<qint64> heldChunks() const;

    // Called after a chunk has been drawn into a slot, for a copy of the tape elsewhere.
    std::function<void(int slot)> onSlotDrawn;

    // The chunks that the frames from `start` over the next `ahead` columns show.
    static std::vector<qint64> chunksNeeded(qint64 start, int ahead, int viewWidth, int chunkWidth,
                                            double textWidth);

private:
    void drawChunk(qint64 chunk, int slot);

    Picture current;
    Layout chunks;
    std::vector<QImage> slots;
    TextStrip strip;
};
