#include "DisplayController.h"

#include "Localization.h"

#include <QLayout>
#include <QRandomGenerator>

#include <random>

using namespace Qt::StringLiterals;

const std::array<QString, 15> DisplayController::emojis = {
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

DisplayController::DisplayController(MarqueeTiming timing)
    : timing(std::move(timing)) {}

DisplayController::~DisplayController() = default;

void DisplayController::startDisplay() {
    setupMarquee();
    resetDisplay();
}

void DisplayController::setupMarquee() {
    StatusItem* item = statusItem;
    if (!item)
        return;
    StatusBarButton* button = item->button();
    if (!button)
        return;
    auto* view = new MarqueeView(QRect(0, 0, 250, button->height()), button, timing);
    // The button's layout pins every hosted view to its four edges.
    if (button->layout())
        button->layout()->addWidget(view);
    // The text's colours follow what the button is filled with.
    view->setTextColors(TextColors::on(button->background()));
    QObject::connect(button, &StatusBarButton::backgroundChanged, view,
                     [view](const QColor& color) { view->setTextColors(TextColors::on(color)); });
    view->setPaused(paused);
    view->show();
    marqueeView = view;
}

void DisplayController::resetDisplay() {
    if (quotes.isEmpty()) {
        shownSegments.clear();
        if (marqueeView) {
            marqueeView->stop();
            marqueeView->setText(LocalizationManager::shared().localizedString(u"NoQuotes"_s));
        }
    } else {
        shownSegments = displaySegments(quotes);
        if (marqueeView) {
            // Quotes the list still has keep their strings, and the view measures only the
            // others.
            marqueeView->setSegments(shownSegments);
            marqueeView->start();
        }
    }
    if (onDisplayReset)
        onDisplayReset();
}

void DisplayController::setPaused(bool pause) {
    const bool changed = pause != paused;
    paused = pause;
    if (marqueeView)
        marqueeView->setPaused(pause);
    if (changed && onPausedChanged)
        onPausedChanged();
}

QString DisplayController::currentQuote() const {
    if (shownSegments.isEmpty())
        return {};
    const qsizetype segment = marqueeView ? marqueeView->segmentAtMiddle() : 0;
    if (segment < 0 || segment >= shownSegments.size())
        return shownSegments.first();
    // Even segments are quotes, odd ones the separators after them.
    return shownSegments.at(segment - segment % 2);
}

QString DisplayController::displayText(const QStringList& quotes) {
    return displaySegments(quotes).join(QString());
}

QStringList DisplayController::displaySegments(const QStringList& quotes) {
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
    for (const QString& quote : quotes) {
        segments.append(quote);
        segments.append(separators[pick(words)]);
    }
    return segments;
}
