#include "EmojiImages.h"
#include "StyledText.h"
#include "TestSupport.h"
#include "TextMeasurer.h"
#include "TextShadow.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QFont monospace() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(14);
    return font;
}

QImage draw(const StyledText& text, double x = 0, int width = 120) {
    QImage image(width, 24, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    text.draw(painter, QPointF(x, 2), 0, width);
    return image;
}

// The text as Qt's own painter draws it in one go, on the same image as draw() uses.
QImage drawnByQt(const QString& text, const QFont& font, const StyledText& styled, double x,
                 int width) {
    QImage image(width, 24, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(x, 2 + styled.ascent()), text);
    return image;
}

// Pixels whose colour is not a shade of grey.
int colourfulPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) > 64 &&
                (std::abs(qRed(p) - qGreen(p)) > 40 || std::abs(qGreen(p) - qBlue(p)) > 40))
                ++count;
        }
    }
    return count;
}

} // namespace

TEST(StyledText, TheWidthIsTheSumOfWhatItIsMadeOf) {
    const QFont font = monospace();
    const double advance = QFontMetricsF(font).horizontalAdvance(u"a"_s);
    EXPECT_DOUBLE_EQ(StyledText(u"Stay foolish"_s, font).width(), 12 * advance);
    EXPECT_DOUBLE_EQ(StyledText(QString(5000, u'x'), font).width(), 5000 * advance);
    const StyledText words(QString(u"word "_s).repeated(1000), font);
    EXPECT_DOUBLE_EQ(words.width(), 5000 * advance);
    EXPECT_GT(words.pieceCount(), 50) << "a long run is cut into pieces";
    EXPECT_EQ(StyledText(QString(), font).width(), 0.0);
    EXPECT_EQ(StyledText(QString(), font).pieceCount(), 0);
}

TEST(StyledText, LineBreaksAndControlsAreShownAsBlanks) {
    const QFont font = monospace();
    const double oneLine = StyledText(u"a b c d"_s, font).width();
    EXPECT_DOUBLE_EQ(StyledText(u"a\nb\tc\u2028d"_s, font).width(), oneLine);
    EXPECT_EQ(draw(StyledText(u"a\nb\tc\u2028d"_s, font)), draw(StyledText(u"a b c d"_s, font)));
}

TEST(StyledText, LongRunsAreNeverCutInsideACharacter) {
    const QFont font = monospace();
    // Decomposed letters and astral characters: a cut between the parts would draw them apart.
    const QString accents = QString(u"e\u0301"_s).repeated(300);
    const QString astral = QString(u"\U0001D400"_s).repeated(300);
    for (const QString& text : {accents, astral}) {
        const StyledText styled(text, font);
        EXPECT_GT(styled.pieceCount(), 1);
        EXPECT_NEAR(styled.width(),
                    300 * QFontMetricsF(font).horizontalAdvance(text.left(text.size() / 300)),
                    1e-6);
    }
}

TEST(StyledText, RightToLeftTextIsLaidOutWhole) {
    const QFont font = monospace();
    const QString hebrew = QString(u"שלום עולם, זהו משפט ארוך בעברית. "_s).repeated(6);
    const QString arabic = QString(u"مرحبا بالعالم، هذه جملة طويلة. "_s).repeated(6);
    for (const QString& text : {hebrew, arabic, QString(u"English then "_s + hebrew)}) {
        ASSERT_GT(text.size(), 150);
        const StyledText styled(text, font);
        const int width = static_cast<int>(std::ceil(styled.width())) + 4;
        EXPECT_EQ(draw(styled, 0, width), drawnByQt(text, font, styled, 0, width))
            << "the words come out in another order";
    }
}

TEST(StyledText, EmojiShowInColourAlsoWithThePresentationSelector) {
    SAYVANE_REQUIRE_TOOL(!TextMeasurer::emojiFamily().isEmpty(), "a colour emoji font");
    const QFont font = monospace();
    for (const QString& emoji :
         {u"\U0001F31F"_s, u"\u2728"_s, u"\u2600\uFE0F"_s, u"\u26A1\uFE0F"_s}) {
        EXPECT_GT(colourfulPixels(draw(StyledText(emoji, font))), 20) << emoji.toStdString();
    }
    EXPECT_EQ(colourfulPixels(draw(StyledText(u"\u2600\uFE0E"_s, font))), 0)
        << "the text presentation selector keeps the black and white glyph";
    EXPECT_EQ(colourfulPixels(draw(StyledText(u"\u2600"_s, font))), 0);
}

TEST(StyledText, DrawsOnlyWhatReachesIntoTheClip) {
    const QFont font = monospace();
    const StyledText text(QString(u"ab "_s).repeated(2000), font);
    QImage image(100, 24, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    // Drawing far outside the clip leaves nothing behind, drawing inside does.
    text.draw(painter, QPointF(-text.width() - 10, 2), 0, 100);
    text.draw(painter, QPointF(200, 2), 0, 100);
    painter.end();
    EXPECT_EQ(image, [] {
        QImage empty(100, 24, QImage::Format_ARGB32);
        empty.fill(Qt::transparent);
        return empty;
    }());
}

TEST(TextShadow, ABlurredOffsetShadowOfWhatWasDrawn) {
    QImage layer(20, 20, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    layer.setPixel(10, 10, qRgba(255, 0, 0, 255));
    const TextShadow shadow;
    const QImage blurred = shadow.shadowOf(layer);
    const int centre = qAlpha(blurred.pixel(10, 10));
    EXPECT_GT(centre, 0);
    EXPECT_LT(centre, 153) << "a single pixel spreads out";
    EXPECT_GT(qAlpha(blurred.pixel(11, 10)), 0);
    EXPECT_EQ(qAlpha(blurred.pixel(15, 10)), 0);
    EXPECT_EQ(qRed(blurred.pixel(10, 10)), 0) << "black";
    int total = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            total += qAlpha(blurred.pixel(x, y));
    EXPECT_NEAR(total, 153, 10) << "the blur keeps the shadow's weight at alpha 0.6";
}

namespace {

// The shadow's alpha as a Gaussian blur in floating point would give it, rounded.
std::vector<int> gaussianShadowAlpha(const QImage& layer, double sigma, double opacity) {
    const int w = layer.width();
    const int h = layer.height();
    const int reach = static_cast<int>(std::ceil(3 * sigma));
    std::vector<double> kernel;
    double sum = 0;
    for (int k = -reach; k <= reach; ++k)
        sum += kernel.emplace_back(std::exp(-(k * k) / (2 * sigma * sigma)));
    const auto blur = [&](const std::vector<double>& in, int dx, int dy) {
        std::vector<double> out(in.size(), 0.0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = -reach; k <= reach; ++k) {
                    const int fx = x + k * dx;
                    const int fy = y + k * dy;
                    if (fx >= 0 && fx < w && fy >= 0 && fy < h)
                        out[size_t(y * w + x)] +=
                            kernel[size_t(k + reach)] / sum * in[size_t(fy * w + fx)];
                }
        return out;
    };
    std::vector<double> alpha;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            alpha.push_back(qAlpha(layer.pixel(x, y)) / 255.0);
    std::vector<int> result;
    for (const double a : blur(blur(alpha, 1, 0), 0, 1))
        result.push_back(static_cast<int>(std::floor(a * opacity * 255 + 0.5)));
    return result;
}

} // namespace

TEST(TextShadow, TheShadowOfALineOfTextIsWithinOneLevelOfAnExactGaussianBlur) {
    const StyledText text(u"Stay foolish; Đừng bao giờ từ bỏ; 千里之行 \U0001F31F"_s, monospace());
    for (const qreal ratio : {1.0, 2.0}) {
        QImage layer(QSize(140, 36) * ratio, QImage::Format_ARGB32_Premultiplied);
        layer.setDevicePixelRatio(ratio);
        layer.fill(Qt::transparent);
        QPainter painter(&layer);
        painter.setPen(Qt::white);
        text.draw(painter, QPointF(-3.4, 6), 0, 140);
        painter.end();
        const TextShadow shadow;
        const QImage blurred = shadow.shadowOf(layer);
        const std::vector<int> expected = gaussianShadowAlpha(layer, 0.75 * ratio, 0.6);
        int worst = 0;
        for (int y = 0; y < layer.height(); ++y)
            for (int x = 0; x < layer.width(); ++x)
                worst = std::max(worst, std::abs(qAlpha(blurred.pixel(x, y)) -
                                                 expected[size_t(y * layer.width() + x)]));
        EXPECT_LE(worst, 1) << "at pixel ratio " << ratio;
    }
}

namespace {

QStringList segmentsOf(const QStringList& quotes) {
    QStringList segments;
    for (const QString& quote : quotes)
        segments << quote << u"  \U0001F31F  "_s;
    return segments;
}

// Every piece of a text, drawn one view-width at a time across its whole length.
std::vector<QImage> strips(const StyledText& text) {
    std::vector<QImage> images;
    for (double x = 0; x < text.width(); x += 120)
        images.push_back(draw(text, -x));
    return images;
}

} // namespace

TEST(StyledText, ARebuiltTextMeasuresOnlyNewSegmentsAndDrawsLikeAFreshOne) {
    const QFont font = monospace();
    QStringList quotes = {u"Stay foolish, stay hungry."_s, u"Đừng bao giờ từ bỏ ước mơ."_s,
                          u"千里之行，始于足下。"_s, u"مرحبا بالعالم"_s,
                          u"A line\nbreak, and \U0001F680\U0001F33F emoji inside"_s};
    for (int i = 0; i < 95; ++i)
        quotes << u"Quote %1: what we think, we become."_s.arg(i);
    const StyledText first(segmentsOf(quotes), font, nullptr);
    EXPECT_EQ(first.measuredSegmentCount(), 101) << "each quote, and the separator once";
    EXPECT_EQ(first.text(), segmentsOf(quotes).join(QString()).replace(u'\n', u' '));

    // An edit, a removal that moves every later quote, and a reload into new strings.
    QStringList edited = quotes;
    edited[1] = u"An edited quote"_s;
    QStringList removed = quotes;
    removed.removeAt(0);
    QStringList reloaded;
    for (const QString& quote : quotes)
        reloaded << QString(quote.constData(), quote.size());
    const struct {
        QStringList list;
        qsizetype measured;
    } cases[] = {{edited, 2}, {removed, 1}, {reloaded, 70}};
    for (const auto& [list, measured] : cases) {
        const StyledText rebuilt(segmentsOf(list), font, &first);
        const StyledText fresh(segmentsOf(list), font, nullptr);
        // The quote with a line break is shown from a copy and always measured again; a reload
        // measures some quotes before it looks the rest up.
        EXPECT_LE(rebuilt.measuredSegmentCount(), measured) << list.first().toStdString();
        EXPECT_EQ(rebuilt.width(), fresh.width());
        EXPECT_EQ(rebuilt.pieceCount(), fresh.pieceCount());
        EXPECT_EQ(rebuilt.text(), fresh.text());
        EXPECT_EQ(strips(rebuilt), strips(fresh)) << "the rebuilt text is drawn differently";
    }
    QFont bigger = font;
    bigger.setPixelSize(20);
    EXPECT_EQ(StyledText(segmentsOf(quotes), bigger, &first).measuredSegmentCount(), 101)
        << "widths in another font are measured anew";
}

TEST(StyledText, ShapedPiecesDrawAsQtDrawsTheTextAgainAndAgain) {
    const QFont font = monospace();
    const QString text = u"Stay foolish; Đừng bao giờ từ bỏ; 千里之行 a\u0301\u0302 end"_s;
    const StyledText styled(text, font);
    const int width = static_cast<int>(std::ceil(styled.width())) + 4;
    const QImage whole = drawnByQt(text, font, styled, 0.25, width);
    EXPECT_EQ(draw(styled, 0.25, width), whole);
    EXPECT_EQ(draw(styled, 0.25, width), whole) << "a second draw from the kept glyphs differs";
}

TEST(StyledText, EmojiRunsAreCutPerClusterAndTheirImagesStayUnderTheCeiling) {
    const QFont font = monospace();
    // Flags, skin tones and joined families stay whole; everything else is one piece each.
    const StyledText clusters(
        u"\U0001F1FB\U0001F1F3\U0001F44D\U0001F3FD\U0001F468\u200D\U0001F469\u200D\U0001F467"
        "\u2600\uFE0F\U0001F31F"_s,
        font);
    EXPECT_EQ(clusters.pieceCount(), 5);

    // Thousands of different emoji in one quote, drawn across their whole length.
    QString many;
    for (char32_t c = 0x1F300; c < 0x1F300 + 1505; ++c) {
        if (c < 0x1F3FB || c > 0x1F3FF) // not the skin tones, which join the emoji before them
            many += QString::fromUcs4(&c, 1);
    }
    const StyledText text(many, font);
    EXPECT_EQ(text.pieceCount(), 1500);
    QImage image(250, 24, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    qsizetype most = 0;
    for (double x = 0; x < text.width(); x += 250) {
        text.draw(painter, QPointF(-x, 2), 0, 250);
        most = std::max(most, EmojiImages::bytes());
    }
    EXPECT_GT(most, 0);
    EXPECT_LE(most, EmojiImages::ceiling);
}

TEST(StyledText, AQuoteOfManyPiecesDrawsAsTheSamePiecesInSegmentsOfTheirOwn) {
    // One segment of hundreds of pieces is entered by its marks; the same emoji, one segment
    // each, by a walk over segments that share their pieces. Both must place every piece alike.
    QStringList single;
    for (int i = 0; i < 700; ++i) {
        const char32_t c = 0x1F300 + static_cast<char32_t>(i % 37);
        single << QString::fromUcs4(&c, 1);
    }
    const StyledText whole(QStringList{single.join(QString())}, monospace(), nullptr);
    const StyledText parts(single, monospace(), nullptr);
    ASSERT_EQ(whole.pieceCount(), 700);
    ASSERT_EQ(parts.pieceCount(), 700);
    EXPECT_EQ(whole.width(), parts.width());
    int differing = 0;
    for (double x = 0; x < whole.width(); x += 97.3) {
        if (draw(whole, -x) != draw(parts, -x))
            ++differing;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(colourfulPixels(draw(whole, -whole.width() + 100)), 0) << "the last emoji are drawn";
}

TEST(StyledText, ATextMeasuredInSlicesEndsAsOneMeasuredAtOnce) {
    const QFont font = monospace();
    QStringList quotes;
    for (int i = 0; i < 3000; ++i)
        quotes << u"Quote %1: Đừng bao giờ từ bỏ; 千里之行 \U0001F31F"_s.arg(i);
    const StyledText whole(segmentsOf(quotes), font, nullptr);
    ASSERT_TRUE(whole.isComplete());

    // No time at all: one slice of segments per call, and the text grows meanwhile.
    StyledText sliced(segmentsOf(quotes), font, nullptr, 0);
    EXPECT_FALSE(sliced.isComplete());
    double grown = sliced.width();
    int calls = 0;
    while (!sliced.measureMore(0)) {
        EXPECT_GT(sliced.width(), grown);
        grown = sliced.width();
        ++calls;
    }
    EXPECT_GT(calls, 10);
    EXPECT_EQ(sliced.width(), whole.width());
    EXPECT_EQ(sliced.pieceCount(), whole.pieceCount());
    EXPECT_EQ(strips(sliced).back(), strips(whole).back());

    // A text rebuilt from one still being measured, which is then let go.
    quotes[2000] = u"An edited quote"_s;
    StyledText unfinished(segmentsOf(quotes), font, &whole, 0);
    auto rebuilt = std::make_unique<StyledText>(segmentsOf(quotes), font, &unfinished, 0);
    unfinished.forgetPrevious();
    while (!rebuilt->measureMore(0)) {
    }
    const StyledText fresh(segmentsOf(quotes), font, nullptr);
    EXPECT_EQ(rebuilt->width(), fresh.width());
    EXPECT_EQ(strips(*rebuilt), strips(fresh));
}

TEST(StyledText, APieceOfManyMarksIsDrawnFromItsImageInThePensColour) {
    const QFont font = monospace();
    QString text = u"a"_s;
    for (int i = 0; i < 1000; ++i)
        text += QChar(0x0300 + i % 0x70);
    const StyledText styled(text, font);
    const auto drawIn = [&](QColor colour) {
        QImage image(250, 24, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setPen(colour);
        styled.draw(painter, QPointF(-100.25, 2), 0, 250);
        return image;
    };
    const auto countOf = [](const QImage& image, auto isColour) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qAlpha(image.pixel(x, y)) > 128 && isColour(image.pixel(x, y)) ? 1 : 0;
        return count;
    };
    const QImage red = drawIn(Qt::red);
    const QImage blue = drawIn(Qt::blue);
    const int redInk = countOf(red, [](QRgb p) { return qRed(p) > 200 && qBlue(p) < 50; });
    EXPECT_GT(redInk, 50);
    EXPECT_EQ(countOf(blue, [](QRgb p) { return qBlue(p) > 200 && qRed(p) < 50; }), redInk);
    EXPECT_EQ(drawIn(Qt::red), red);
}
