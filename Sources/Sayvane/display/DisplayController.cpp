#include "DisplayController.h"

#include "DisplayText.h"
#include "Localization.h"

#include <QLayout>

using namespace Qt::StringLiterals;

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
    // The text's colours follow what the button is filled with, and the view's frames carry
    // that fill under the text.
    view->setBackground(button->background());
    view->setTextColors(TextColors::on(button->background()));
    QObject::connect(button, &StatusBarButton::backgroundChanged, view,
                     [view](const QColor& color) {
                         view->setBackground(color);
                         view->setTextColors(TextColors::on(color));
                     });
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
        shownSegments = DisplayText::segments(quotes);
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
