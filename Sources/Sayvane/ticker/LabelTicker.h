#pragma once

#include "BarTicker.h"

#include <QString>
#include <QStringList>

// What the label beside the program's icon in a desktop's panel shows.
enum class LabelMode {
    scrolling, // a window of the display text that moves one column a step
    quote,     // the current quote whole, the next one every few seconds
    off,       // no label, the icon alone
};

// The label's settings (the keys "Label", "LabelColumns" and "LabelInterval" of the program's
// settings file): what it shows, its width in columns and the milliseconds between steps.
struct LabelSettings {
    static constexpr int defaultColumns = 30;
    static constexpr int minimumColumns = 5;
    static constexpr int maximumColumns = 200;
    static constexpr int defaultInterval = 250;
    // Panels gather label updates over about 30 ms; more than ten a second only costs them work.
    static constexpr int minimumInterval = 100;
    static constexpr int maximumInterval = 60 * 1000;
    static constexpr int quoteInterval = 5000;

    LabelMode mode = LabelMode::scrolling;
    int columns = defaultColumns;
    int intervalMilliseconds = defaultInterval;
};

// The label's logic, apart from any bus or timer: given the display segments shown by the strip
// (the same quotes and emojis), it gives the label at each step, a guide as wide as the widest
// label (so that a panel that honours it keeps the width steady), and the quote now passing for
// the tooltip. The owner calls step() every interval() milliseconds while moving() is true.
class LabelTicker {
public:
    explicit LabelTicker(LabelSettings settings = {});

    const LabelSettings& settings() const { return config; }

    // The display segments (quote, separator, quote, ...); an empty list shows stillText.
    void setSegments(const QStringList& segments, const QString& stillText);
    // One step: a column on, or in quote mode the next quote.
    void step();
    // The next (steps > 0) or an earlier (steps < 0) quote.
    void jumpQuotes(int steps);
    // The index of the quote the label stands at (in quote mode) or starts in; -1 without
    // quotes.
    qsizetype currentQuote() const;

    // Whether steps change anything: there are quotes and a label.
    bool moving() const;
    int interval() const;

    QString label() const;
    QString guide() const;
    QString tooltip() const;

private:
    LabelSettings config;
    BarTicker ticker;
    QString still;
    QString widestQuote;
    qsizetype quoteIndex = 0;
    bool empty = true;
};
