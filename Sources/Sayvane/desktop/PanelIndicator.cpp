#include "PanelIndicator.h"

#include "FreedMemory.h"

PanelIndicator::PanelIndicator(QDBusConnection bus, LabelSettings settings, QObject* parent)
    : QObject(parent)
    , notifierItem(std::make_unique<StatusNotifierItem>(
          std::move(bus), settings.mode == LabelMode::off
                              ? StatusNotifierItem::Labelling::iconOnly
                              : StatusNotifierItem::Labelling::labelled))
    , labelSettings(settings)
    , labelTicker(settings) {
    worker.setMaxThreadCount(1);
    timer.setInterval(labelTicker.interval());
    connect(&timer, &QTimer::timeout, this, [this] {
        labelTicker.step();
        publish();
    });
    connect(notifierItem.get(), &StatusNotifierItem::scrolled, this, &PanelIndicator::jumpQuotes);
    // An item no watcher holds is in no panel: nothing shows its label or its tooltip.
    connect(notifierItem.get(), &StatusNotifierItem::registeredChanged, this,
            &PanelIndicator::updateTimer);
}

PanelIndicator::~PanelIndicator() = default;

void PanelIndicator::setSettings(const LabelSettings& settings) {
    labelSettings = settings;
    show(shownSegments, shownStillText);
}

void PanelIndicator::show(const QStringList& segments, const QString& stillText) {
    shownSegments = segments;
    shownStillText = stillText;
    const quint64 generation = ++shownGeneration;
    if (segments.size() <= largeList) {
        LabelTicker ready(labelSettings);
        ready.setSegments(segments, stillText);
        adopt(std::move(ready));
        return;
    }
    // Lists not started yet are overtaken by this one.
    worker.clear();
    worker.start([this, settings = labelSettings, segments, stillText, generation] {
        auto ready = std::make_shared<LabelTicker>(settings);
        ready->setSegments(segments, stillText);
        // The pool's owner outlives the work: its destructor waits for it.
        QTimer::singleShot(0, this, [this, ready, generation] {
            if (generation == shownGeneration)
                adopt(std::move(*ready));
            // The list before, and with it perhaps the last hold on the old quotes, is gone.
            FreedMemory::returnSoon();
        });
    });
}

void PanelIndicator::adopt(LabelTicker&& ready) {
    labelTicker = std::move(ready);
    adoptedGeneration = shownGeneration;
    timer.setInterval(labelTicker.interval());
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

void PanelIndicator::followScreen(std::unique_ptr<VisibilityWatch> screen) {
    screenWatch = std::move(screen);
    if (!screenWatch)
        return;
    setOutOfSight(!screenWatch->canBeSeen());
    connect(screenWatch.get(), &VisibilityWatch::canBeSeenChanged, this,
            [this](bool seen) { setOutOfSight(!seen); });
}

void PanelIndicator::jumpQuotes(int steps) {
    labelTicker.jumpQuotes(steps);
    publish();
    // The quote jumped to gets a whole interval before the next step.
    updateTimer();
    // Its index counts in the list shown last, unless that list is still being prepared.
    if (const qsizetype quote = labelTicker.currentQuote();
        quote >= 0 && adoptedGeneration == shownGeneration)
        Q_EMIT quoteJumped(quote);
}

void PanelIndicator::publish() {
    notifierItem->setLabel(labelTicker.label(), labelTicker.guide());
    notifierItem->setToolTipText(labelTicker.tooltip());
}

void PanelIndicator::updateTimer() {
    if (labelTicker.moving() && !paused && !outOfSight && notifierItem->isRegistered())
        timer.start();
    else
        timer.stop();
}
