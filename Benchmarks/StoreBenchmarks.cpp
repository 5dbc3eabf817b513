#include "QuoteManager.h"
#include "QuotesDocument.h"
#include "TestSupport.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

QStringList storeQuotes(int count) {
    QStringList quotes;
    quotes.reserve(count);
    for (int i = 0; i < count; ++i)
        quotes << u"Quote %1: what we think, we become; Đừng bao giờ từ bỏ; 千里之行 🌟"_s.arg(i);
    return quotes;
}

// A manager in a home of its own, with a file of the given number of quotes.
struct Store {
    TempHome home;
    QuoteManager manager{home.path()};
    qsizetype fileSize = 0;

    explicit Store(const benchmark::State& state) {
        manager.quotes = storeQuotes(static_cast<int>(state.range(0)));
        manager.saveQuotes();
        runMainQueue();
        fileSize = readBytes(manager.quotesFileURL).size();
    }
};

// A whole load as the program does it: read the file, decode it, and deliver the list.
void loadQuotes(benchmark::State& state) {
    Store store(state);
    for (auto _ : state) {
        store.manager.loadQuotes();
        runMainQueue();
    }
    state.SetBytesProcessed(state.iterations() * store.fileSize);
    state.counters["file_KB"] = static_cast<double>(store.fileSize) / 1024.0;
}
BENCHMARK(loadQuotes)->Arg(10)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// A whole save, flushes to disk included.
void saveQuotes(benchmark::State& state) {
    Store store(state);
    for (auto _ : state) {
        store.manager.saveQuotes();
        runMainQueue();
    }
    state.SetBytesProcessed(state.iterations() * store.fileSize);
}
BENCHMARK(saveQuotes)->Arg(10)->Arg(1000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Decoding alone, without the file system.
void decodeDocument(benchmark::State& state) {
    const QByteArray document =
        QuotesDocument::encode(storeQuotes(static_cast<int>(state.range(0))));
    QString error;
    for (auto _ : state)
        benchmark::DoNotOptimize(QuotesDocument::decode(document, &error));
    state.SetBytesProcessed(state.iterations() * document.size());
}
BENCHMARK(decodeDocument)->Arg(100'000)->Unit(benchmark::kMillisecond);

void encodeDocument(benchmark::State& state) {
    const QStringList quotes = storeQuotes(static_cast<int>(state.range(0)));
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray document = QuotesDocument::encode(quotes);
        size = document.size();
        benchmark::DoNotOptimize(document.data());
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(encodeDocument)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace
