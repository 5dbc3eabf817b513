#include "BarFeed.h"
#include "SampleQuotes.h"

#include <QStringList>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

QStringList barQuotes(int count) {
    const QStringList phrases = {
        u"Stay foolish, stay hungry."_s,
        u"Đừng bao giờ từ bỏ ước mơ của bạn."_s,
        u"千里之行，始于足下。"_s,
        u"What we think, we become; what we feel, we attract; what we imagine, we create."_s,
    };
    return numberedQuotes(phrases, count);
}

// One step of a waybar feed, all but the write: move a column, take the window and the quote
// under its middle, make the JSON line. Deep into the cycle, far from the last remembered cell.
void barFeedStep(benchmark::State& state) {
    BarTicker ticker(30);
    ticker.setQuotes(barQuotes(static_cast<int>(state.range(0))));
    for (int i = 0; i < 100'000; ++i)
        ticker.advance();
    for (auto _ : state) {
        ticker.advance();
        benchmark::DoNotOptimize(
            BarLines::line(BarFormat::waybar, ticker.text(), ticker.tooltip(), false));
    }
}
BENCHMARK(barFeedStep)->Arg(3)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

// What a change of the file costs the feed on top of the load: the display text and the walk
// that remembers where the columns are.
void barFeedSetQuotes(benchmark::State& state) {
    const QStringList quotes = barQuotes(static_cast<int>(state.range(0)));
    BarTicker ticker(30);
    for (auto _ : state)
        ticker.setQuotes(quotes);
}
BENCHMARK(barFeedSetQuotes)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace
