#include "PanelIndicator.h"

PanelIndicator::PanelIndicator(QDBusConnection bus, LabelSettings settings, QObject* parent)
    : QObject(parent)
    , notifierItem(std::make_unique<StatusNotifierItem>(std::move(bus)))
    , labelTicker(settings) {
    timer.setInterval(labelTicker.interval());
    connect(&timer, &QTimer::timeout, this, [this] {
        labelTicker.step();
        publish();
    });
    connect(notifierItem.get(), &StatusNotifierItem::scrolled, this, &PanelIndicator::jumpQuotes);
}

PanelIndicator::~PanelIndicator() = default;

void PanelIndicator::show(const QStringList& segments, const QString& stillText) {
    labelTicker.setSegments(segments, stillText);
    publish();
    updateTimer();
}

void PanelIndicator::setPaused(bool pause) {
    paused = pause;
    updateTimer();
}

void PanelIndicator::setOutOfSight(bool hidden) {
    outOfSight = hidden;
    updateTimer();
}

void PanelIndicator::jumpQuotes(int steps) {
    labelTicker.jumpQuotes(steps);
    publish();
    // The quote jumped to gets a whole interval before the next step.
    updateTimer();
}

void PanelIndicator::publish() {
    notifierItem->setLabel(labelTicker.label(), labelTicker.guide());
    notifierItem->setToolTipText(labelTicker.tooltip());
}

void PanelIndicator::updateTimer() {
    if (labelTicker.moving() && !paused && !outOfSight)
        timer.start();
    else
        timer.stop();
}
