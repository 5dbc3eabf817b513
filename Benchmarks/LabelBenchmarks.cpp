#include "DisplayController.h"
#include "LabelTicker.h"
#include "PanelIndicator.h"
#include "SampleQuotes.h"

#include <QStringList>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

QStringList labelSegments(int count) {
    const QStringList phrases = {
        u"Stay foolish, stay hungry."_s,
        u"Đừng bao giờ từ bỏ ước mơ của bạn."_s,
        u"千里之行，始于足下。"_s,
        u"What we think, we become; what we feel, we attract; what we imagine, we create."_s,
    };
    return DisplayText::segments(numberedQuotes(phrases, count));
}

// One step of the panel's label, all but the D-Bus signal: a column on, then the label, its
// guide and the quote for the tooltip. Deep into the cycle.
void labelStep(benchmark::State& state) {
    LabelTicker ticker;
    ticker.setSegments(labelSegments(static_cast<int>(state.range(0))), u"No quotes"_s);
    for (int i = 0; i < 100'000; ++i)
        ticker.step();
    for (auto _ : state) {
        ticker.step();
        benchmark::DoNotOptimize(ticker.label());
        benchmark::DoNotOptimize(ticker.guide());
        benchmark::DoNotOptimize(ticker.tooltip());
    }
}
BENCHMARK(labelStep)->Arg(3)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

// A turn of the wheel over the label: the next quote's start, then the label.
void labelJump(benchmark::State& state) {
    LabelTicker ticker;
    ticker.setSegments(labelSegments(static_cast<int>(state.range(0))), u"No quotes"_s);
    for (auto _ : state) {
        ticker.jumpQuotes(1);
        benchmark::DoNotOptimize(ticker.label());
    }
}
BENCHMARK(labelJump)->Arg(100'000)->Unit(benchmark::kMicrosecond);

// What a reset costs the label: the column walk over the strip's segments.
void labelSetSegments(benchmark::State& state) {
    const QStringList segments = labelSegments(static_cast<int>(state.range(0)));
    LabelTicker ticker;
    for (auto _ : state)
        ticker.setSegments(segments, u"No quotes"_s);
}
BENCHMARK(labelSetSegments)->Arg(100'000)->Unit(benchmark::kMillisecond);

// What a reset holds the main thread for: a long list's walk goes to the indicator's worker.
void panelIndicatorShow(benchmark::State& state) {
    const QStringList segments = labelSegments(static_cast<int>(state.range(0)));
    PanelIndicator indicator(QDBusConnection(u"no bus"_s), LabelSettings{});
    for (auto _ : state)
        indicator.show(segments, u"No quotes"_s);
}
BENCHMARK(panelIndicatorShow)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

} // namespace
