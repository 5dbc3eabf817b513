#include "DisplayController.h"
#include "StatusItem.h"
#include "TestSupport.h"
#include "TextColors.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(TextColors, LightTextOnDarkAndTransparentDarkTextOnLight) {
    for (const QColor dark :
         {QColor(0x2b, 0x2b, 0x2b), QColor(0x30, 0x30, 0x60), QColor(0x75, 0x75, 0x75)}) {
        EXPECT_TRUE(TextColors::isDark(dark)) << dark.name().toStdString();
        EXPECT_FALSE(TextColors::isDark(TextColors::on(dark).label)) << dark.name().toStdString();
    }
    for (const QColor light :
         {QColor(0xef, 0xef, 0xef), QColor(0xf6, 0xd3, 0x2d), QColor(0x8a, 0x8a, 0x8a)}) {
        EXPECT_FALSE(TextColors::isDark(light)) << light.name().toStdString();
        EXPECT_TRUE(TextColors::isDark(TextColors::on(light).label)) << light.name().toStdString();
    }
    // The desktop may be anything behind a transparent strip: light text, a stronger shadow.
    const TextColors behindGlass = TextColors::on(Qt::transparent);
    EXPECT_FALSE(TextColors::isDark(behindGlass.label));
    EXPECT_GT(behindGlass.shadow.alpha(), TextColors::on(Qt::white).shadow.alpha());
}

namespace {

// The darkest and the brightest grey in the image.
std::pair<int, int> greyRange(const QImage& image) {
    std::pair<int, int> range{255, 0};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            range.first = std::min(range.first, qGray(image.pixel(x, y)));
            range.second = std::max(range.second, qGray(image.pixel(x, y)));
        }
    return range;
}

} // namespace

// The ticker in the strip follows what the strip is filled with: a dark panel's colour, and
// the palette's window colour when the theme changes.
TEST(TextColors, TheTickerFollowsTheStripsBackground) {
    ManualTiming manual;
    StatusItem item(250);
    DisplayController controller(manual.timing());
    controller.statusItem = &item;
    // Long enough that the emoji after it stays out of the strip.
    controller.quotes = {u"Readable whatever the panel is and wherever it sits on the screen"_s};
    controller.startDisplay();

    item.button()->setBackground(QColor(0x22, 0x22, 0x22));
    const auto [darkestOnDark, brightestOnDark] = greyRange(item.strip()->grab().toImage());
    EXPECT_GT(brightestOnDark, 200) << "light text on the dark panel";
    EXPECT_LT(darkestOnDark, 0x30);

    item.button()->setBackground(QColor());
    QPalette light = item.button()->palette();
    light.setColor(QPalette::Window, QColor(0xf0, 0xf0, 0xf0));
    item.button()->setPalette(light);
    const auto [darkestOnLight, brightestOnLight] = greyRange(item.strip()->grab().toImage());
    EXPECT_LT(darkestOnLight, 80) << "dark text on a light theme";
    EXPECT_GE(brightestOnLight, 0xf0);
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    item.button()->setPalette(dark);
    EXPECT_GT(greyRange(item.strip()->grab().toImage()).second, 200)
        << "light text after the change";
}
