#include "DirectPicture.h"
#include "StyledText.h"
#include "TextTape.h"

#include <QPainter>

#include <cmath>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Latin, Vietnamese, Chinese, colour emoji (one with a presentation selector) and a quote much
// longer than the strip, as a ticker shows them.
const QStringList segments = {
    u"Quote 17: never give up; Đừng bao giờ từ bỏ; 千里之行 始于足下"_s,
    u"  🌟  "_s,
    u"A long quote that keeps going well past the width of the strip, so that a frame is all "
    "of one quote: the journey of a thousand miles begins with one step."_s,
    u"  ☀️  "_s,
    u"Short"_s,
    u"  🚀  "_s,
};

struct Colours {
    const char* name;
    QColor background;
    QColor label;
    QColor shadow;
};
const Colours light{"light", QColor(0xf0, 0xf0, 0xf0), QColor(0x20, 0x20, 0x20),
                    QColor(255, 255, 255, 200)};
const Colours dark{"dark", QColor(0x30, 0x30, 0x30), QColor(0xf0, 0xf0, 0xf0),
                   QColor(0, 0, 0, 153)};
const Colours transparent{"transparent", QColor(Qt::transparent), QColor(Qt::white),
                          QColor(0, 0, 0, 200)};

// A strip's text with its tape, and the picture painted directly for comparison.
struct Strip {
    StyledText text;
    TextTape::Picture picture;
    TextTape tape;

    Strip(qreal ratio, const Colours& colours, const QStringList& shown = segments)
        : text(shown, stripFont(), nullptr) {
        picture = {&text,
                   text.width(),
                   QSize(250, 24),
                   ratio,
                   (24 - text.height()) * 0.5,
                   colours.background,
                   colours.label,
                   colours.shadow};
        tape.reset(picture);
    }
    QImage blank() const {
        QImage image(picture.size * picture.ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(picture.ratio);
        image.fill(QColor(12, 34, 56));
        return image;
    }
    QImage directly(double offset) const {
        return directPicture(text, picture.textWidth, picture.size, picture.ratio,
                             picture.background, picture.label, picture.shadow, offset);
    }
    QImage fromTape(double offset) {
        tape.prepare(offset, tape.layout().chunkWidth);
        QImage image = blank();
        QPainter painter(&image);
        EXPECT_TRUE(tape.paintFrame(painter, offset)) << "no frame at " << offset;
        return image;
    }
};

::testing::AssertionResult samePicture(const QImage& a, const QImage& b) {
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << std::hex << a.pixel(x, y)
                       << " against " << b.pixel(x, y);
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(TextTape, AFrameFromTheTapeIsThePictureDrawnDirectly) {
    for (const qreal ratio : {1.0, 2.0}) {
        for (const Colours& colours : {light, dark, transparent}) {
            Strip strip(ratio, colours);
            const double width = strip.picture.textWidth;
            // In the text, on a quarter pixel and between; with both copies in view, just before
            // the wrap and a round later; the second copy's shadow just reaching the right edge.
            for (const double offset : {-0.25, -0.3, -22.5, -139.5, -137.1, -(width - 9),
                                        -(width - 100.37), -(width - 252), -(width - 0.2)}) {
                EXPECT_TRUE(samePicture(strip.fromTape(offset), strip.directly(offset)))
                    << "ratio " << ratio << ", " << colours.name << ", offset " << offset;
            }
        }
    }
}

TEST(TextTape, ChunksLeaveTheTapeOnceTheFramesHavePassedThem) {
    Strip strip(1, dark);
    const double width = strip.picture.textWidth;
    const int chunk = strip.tape.layout().chunkWidth;
    ASSERT_GT(width, 1500);
    const qint64 lastChunk = static_cast<qint64>(width) / chunk;
    // Frame by frame at 0.75 pixels, round the wrap and 600 pixels into the next round: every
    // frame is on the tape, which never holds more than its slots.
    bool wrapped = false;
    for (double offset = -0.75; !wrapped || offset > -600; offset -= 0.75) {
        if (offset <= -width) {
            offset += width;
            wrapped = true;
        }
        strip.tape.prepare(offset, chunk);
        ASSERT_TRUE(strip.tape.layout().copiesAt(offset, 1).complete) << "offset " << offset;
        const QList<qint64> held = strip.tape.heldChunks();
        // (Well before the wrap: from about 600 pixels before it, the start is ahead again.)
        if (!wrapped && offset < -800 && offset > -(width - 600)) {
            ASSERT_FALSE(held.contains(0)) << "the start stays on the tape at " << offset;
        }
        if (wrapped && offset < -500) {
            ASSERT_FALSE(held.contains(lastChunk)) << "the last round's end stays at " << offset;
        }
    }
}
