#include "LabelTicker.h"

#include "ColumnWindow.h"
#include "TerminalColumns.h"

#include <algorithm>

using namespace Qt::StringLiterals;

LabelTicker::LabelTicker(LabelSettings settings)
    : config(settings)
    , ticker(settings.columns) {}

void LabelTicker::setSegments(const QStringList& segments, const QString& stillText) {
    still = stillText;
    empty = segments.isEmpty();
    quoteIndex = 0;
    widestQuote.clear();
    if (config.mode == LabelMode::off)
        return;
    ticker.setSegments(segments);
    if (config.mode == LabelMode::quote) {
        qsizetype widest = -1;
        for (qsizetype i = 0; i < ticker.quoteCount(); ++i) {
            const qsizetype width = TerminalColumns::width(ticker.quote(i));
            if (width > widest) {
                widest = width;
                widestQuote = ticker.quote(i);
            }
        }
    }
}

void LabelTicker::step() {
    if (!moving())
        return;
    if (config.mode == LabelMode::quote)
        jumpQuotes(1);
    else
        ticker.advance();
}

void LabelTicker::jumpQuotes(int steps) {
    if (!moving())
        return;
    if (config.mode == LabelMode::quote) {
        const qsizetype count = ticker.quoteCount();
        quoteIndex = ((quoteIndex + steps) % count + count) % count;
    } else {
        ticker.jumpQuotes(steps);
    }
}

qsizetype LabelTicker::currentQuote() const {
    if (empty)
        return -1;
    if (config.mode == LabelMode::quote)
        return quoteIndex;
    const qsizetype segment = ticker.columnWindow().segmentAtColumn(ticker.position());
    return segment < 0 ? -1 : segment / 2;
}

bool LabelTicker::moving() const {
    return !empty && config.mode != LabelMode::off;
}

int LabelTicker::interval() const {
    return config.mode == LabelMode::quote ? LabelSettings::quoteInterval
                                           : config.intervalMilliseconds;
}

QString LabelTicker::label() const {
    switch (config.mode) {
    case LabelMode::off:
        return {};
    case LabelMode::quote:
        return empty ? still : ticker.quote(quoteIndex);
    case LabelMode::scrolling:
        return empty ? ColumnWindow::fitted(still, config.columns) : ticker.text();
    }
    return {};
}

QString LabelTicker::guide() const {
    switch (config.mode) {
    case LabelMode::off:
        return {};
    case LabelMode::quote:
        return empty ? still : widestQuote;
    case LabelMode::scrolling:
        // Every label is the same number of columns. A host centres the label in the guide's
        // width, so the guide is a typical line, not the widest one: a digit per column is about
        // as wide as running Latin text, and as wide as a Chinese character per two columns.
        return QString(config.columns, u'0');
    }
    return {};
}

QString LabelTicker::tooltip() const {
    if (empty)
        return still;
    if (config.mode == LabelMode::quote)
        return ticker.quote(quoteIndex);
    if (config.mode == LabelMode::off)
        return {};
    return ticker.tooltip();
}
