#include "DisplayController.h"
#include "MarqueeView.h"
#include "SampleQuotes.h"
#include "StatusItem.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QImage>

#include <chrono>

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
    return numberedQuotes(phrases, count);
}

struct Ticker {
    ManualTiming manual;
    StatusItem item{250};
    DisplayController controller{manual.timing()};

    explicit Ticker(int quotes) {
        controller.statusItem = &item;
        controller.quotes = sampleQuotes(quotes);
        controller.startDisplay();
        finishMeasuring();
    }
    MarqueeView& marquee() const { return *item.button()->findChild<MarqueeView*>(); }
    // A long text is measured a slice at a time between events: lets the slices run.
    void finishMeasuring() const {
        while (!marquee().isTextComplete())
            QCoreApplication::processEvents();
    }
};

// A reset as the user meets it: the call blocks the main thread (the time measured), then the
// rest of a long text is measured in slices between events ("complete_ms" is the whole).
template <typename Change> void timeReset(benchmark::State& state, Ticker& ticker, Change change) {
    double completeMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        change();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        ticker.controller.resetDisplay();
        state.PauseTiming();
        ticker.finishMeasuring();
        completeMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        state.ResumeTiming();
    }
    state.counters["complete_ms"] = completeMs / static_cast<double>(state.iterations());
}

void resetDisplay(benchmark::State& state) {
    Ticker ticker(static_cast<int>(state.range(0)));
    timeReset(state, ticker, [] {});
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
        benchmark::DoNotOptimize(DisplayText::of(quotes));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(displayText)->Arg(3)->Arg(1000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Frames of the ticker's marquee, each a sixtieth of a second after the last.
void drawFrames(benchmark::State& state, Ticker& ticker) {
    MarqueeView& marquee = ticker.marquee();
    QImage frame(marquee.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        ticker.manual.clock->advance(1.0 / 60);
        ticker.manual.link().fire();
        marquee.render(&frame);
    }
    runMainQueue();
}

// One frame as the screen sees it: a tick, then the whole view painted, with the text deep into
// its cycle so that long texts are drawn from far inside.
void drawFrame(benchmark::State& state) {
    Ticker ticker(static_cast<int>(state.range(0)));
    const double width = ticker.marquee().measuredTextWidth();
    ticker.manual.clock->advance(width * 0.7 / MarqueeView::scrollSpeed);
    ticker.manual.link().fire();
    drawFrames(state, ticker);
}
BENCHMARK(drawFrame)->Arg(3)->Arg(1000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {
void styledText(benchmark::State& state) {
    const QString text = DisplayText::of(sampleQuotes(static_cast<int>(state.range(0))));
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(14);
    for (auto _ : state)
        benchmark::DoNotOptimize(StyledText(text, font).width());
}
BENCHMARK(styledText)->Arg(10'000)->Unit(benchmark::kMillisecond);
} // namespace

// What a user's actions cost the display at 100,000 quotes: a save after one quote was edited,
// a reload (the same quotes, read into new strings) and a change of language (the same list).
namespace {

void resetAfterEdit(benchmark::State& state) {
    Ticker ticker(static_cast<int>(state.range(0)));
    int round = 0;
    timeReset(state, ticker,
              [&] { ticker.controller.quotes[7] = u"An edited quote, round %1"_s.arg(++round); });
}
BENCHMARK(resetAfterEdit)->Arg(100'000)->Unit(benchmark::kMillisecond);

void resetAfterReload(benchmark::State& state) {
    Ticker ticker(static_cast<int>(state.range(0)));
    timeReset(state, ticker, [&] {
        QStringList reloaded;
        reloaded.reserve(ticker.controller.quotes.size());
        for (const QString& quote : std::as_const(ticker.controller.quotes))
            reloaded << QString(quote.constData(), quote.size());
        ticker.controller.quotes = reloaded;
    });
}
BENCHMARK(resetAfterReload)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Hostile quotes: one of 20,000 or 200,000 emoji, one letter with 1,000 combining marks. The
// set-up measures the text; each iteration is a frame deep inside it.
QString hostileQuote(int kind, int count) {
    QString quote;
    if (kind == 0) {
        const char32_t faces[] = {0x1F600, 0x1F680, 0x1F33F, 0x1F9E9, 0x1F48E};
        for (int i = 0; i < count; ++i)
            quote += QString::fromUcs4(&faces[i % 5], 1);
    } else {
        quote = u"a"_s;
        for (int i = 0; i < count; ++i)
            quote += QChar(0x0300 + i % 0x70);
        quote += u" tail"_s;
    }
    return quote;
}

void hostileSetText(benchmark::State& state) {
    const QString quote =
        hostileQuote(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        Ticker ticker(0);
        ticker.controller.quotes = {quote};
        ticker.controller.resetDisplay();
        ticker.finishMeasuring();
        benchmark::DoNotOptimize(ticker.marquee().measuredTextWidth());
    }
}
BENCHMARK(hostileSetText)
    ->Args({0, 20'000})
    ->Args({0, 200'000})
    ->Args({1, 1'000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void hostileFrame(benchmark::State& state) {
    Ticker ticker(0);
    ticker.controller.quotes = {
        hostileQuote(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))};
    ticker.controller.resetDisplay();
    drawFrames(state, ticker);
}
BENCHMARK(hostileFrame)->Args({0, 20'000})->Args({1, 1'000})->Unit(benchmark::kMicrosecond);

} // namespace
