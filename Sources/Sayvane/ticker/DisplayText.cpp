#include "DisplayText.h"

#include <QRandomGenerator>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

const std::array<QString, 15> DisplayText::emojis = {
    u"\U0001F31F"_s,   u"\U0001F680"_s, u"\U0001F4A1"_s, u"\u2728"_s,       u"\U0001F525"_s,
    u"\U0001F33F"_s,   u"\U0001F34E"_s, u"\U0001F308"_s, u"\u2600\uFE0F"_s, u"\U0001F319"_s,
    u"\u26A1\uFE0F"_s, u"\U0001F48E"_s, u"\U0001F3AF"_s, u"\U0001F3A8"_s,   u"\U0001F9E9"_s,
};

namespace {

// Uniform words for the emoji draw: a generator seeded from the system random source at each
// reset. The system source itself costs about a microsecond a word on x86 (it asks the CPU's
// hardware generator for each one), which a reset of 100,000 quotes would feel.
class SeededRandomWords {
public:
    using result_type = std::mt19937::result_type;
    static constexpr result_type min() { return std::mt19937::min(); }
    static constexpr result_type max() { return std::mt19937::max(); }

    SeededRandomWords() {
        std::array<quint32, 8> seed{};
        QRandomGenerator::system()->fillRange(seed.data(), seed.size());
        std::seed_seq sequence(seed.begin(), seed.end());
        engine.seed(sequence);
    }
    result_type operator()() { return engine(); }

private:
    std::mt19937 engine;
};

} // namespace

QString DisplayText::of(const QStringList& quotes) {
    return segments(quotes).join(QString());
}

QStringList DisplayText::segments(const QStringList& quotes, QuoteOrder order) {
    static const std::array<QString, 15> separators = [] {
        std::array<QString, 15> made;
        for (size_t i = 0; i < emojis.size(); ++i)
            made[i] = u"  "_s + emojis[i] + u"  "_s;
        return made;
    }();
    SeededRandomWords words;
    // libstdc++'s distribution rejects the words that would bias the draw.
    std::uniform_int_distribution<size_t> pick(0, emojis.size() - 1);
    QStringList segments;
    segments.reserve(quotes.size() * 2);
    const auto add = [&](const QString& quote) {
        segments.append(quote);
        segments.append(separators[pick(words)]);
    };
    if (order == QuoteOrder::written) {
        for (const QString& quote : quotes)
            add(quote);
        return segments;
    }
    std::vector<qsizetype> positions(static_cast<size_t>(quotes.size()));
    std::iota(positions.begin(), positions.end(), qsizetype(0));
    std::shuffle(positions.begin(), positions.end(), words);
    for (const qsizetype position : positions)
        add(quotes.at(position));
    return segments;
}
