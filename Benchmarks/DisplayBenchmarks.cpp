#include "DisplayController.h"
#include "MarqueeView.h"
#include "StatusItem.h"
#include "TestSupport.h"

#include <QFontDatabase>
#include <QImage>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

// Quotes of everyday length (40 to 90 characters), a few of them with other scripts.
QStringList sampleQuotes(int count) {
    const QStringList phrases = {
        u"Stay foolish, stay hungry."_s,
        u"Simplicity is the ultimate sophistication."_s,
        u"The best way out is always through."_s,
        u"Đừng bao giờ từ bỏ ước mơ của bạn."_s,
        u"千里之行，始于足下。"_s,
        u"What we think, we become; what we feel, we attract; what we imagine, we create."_s,
    };
    QStringList quotes;
    quotes.reserve(count);
    for (int i = 0; i < count; ++i)
        quotes << u"%1 (#%2)"_s.arg(phrases[i % phrases.size()]).arg(i);
    return quotes;
}

struct Ticker {
    ManualTiming manual;
    StatusItem item{250};
    DisplayController controller{manual.timing()};

    explicit Ticker(int quotes) {
        controller.statusItem = &item;
        controller.quotes = sampleQuotes(quotes);
        controller.startDisplay();
    }
    MarqueeView& marquee() const { return *item.button()->findChild<MarqueeView*>(); }
};

void resetDisplay(benchmark::State& state) {
    Ticker ticker(static_cast<int>(state.range(0)));
    for (auto _ : state)
        ticker.controller.resetDisplay();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(resetDisplay)
    ->Arg(3)
    ->Arg(1000)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond);

void displayText(benchmark::State& state) {
    const QStringList quotes = sampleQuotes(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(DisplayController::displayText(quotes));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(displayText)->Arg(3)->Arg(1000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// One frame as the screen sees it: a tick, then the whole view painted, with the text deep into
// its cycle so that long texts are drawn from far inside.
void drawFrame(benchmark::State& state) {
    Ticker ticker(static_cast<int>(state.range(0)));
    MarqueeView& marquee = ticker.marquee();
    const double width = marquee.measuredTextWidth();
    ticker.manual.clock->advance(width * 0.7 / MarqueeView::scrollSpeed);
    ticker.manual.link().fire();
    QImage frame(marquee.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        ticker.manual.clock->advance(1.0 / 60);
        ticker.manual.link().fire();
        marquee.render(&frame);
    }
    runMainQueue();
}
BENCHMARK(drawFrame)->Arg(3)->Arg(1000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {
void styledText(benchmark::State& state) {
    const QString text =
        DisplayController::displayText(sampleQuotes(static_cast<int>(state.range(0))));
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(14);
    for (auto _ : state)
        benchmark::DoNotOptimize(StyledText(text, font).width());
}
BENCHMARK(styledText)->Arg(10'000)->Unit(benchmark::kMillisecond);
} // namespace
