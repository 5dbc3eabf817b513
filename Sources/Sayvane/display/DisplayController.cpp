#include "DisplayController.h"

#include "DisplayText.h"
#include "Localization.h"

#include <QLayout>

using namespace Qt::StringLiterals;

DisplayController::DisplayController(MarqueeTiming timing)
    : timing(std::move(timing)) {}

DisplayController::~DisplayController() {
    // The view lives in the item's button, which may outlast the controller.
    if (marqueeView)
        QObject::disconnect(marqueeView, &MarqueeView::segmentAtMiddleChanged, nullptr, nullptr);
}

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
    QObject::connect(view, &MarqueeView::segmentAtMiddleChanged, view,
                     [this](qsizetype segment) { nameMarquee(segment); });
    view->show();
    marqueeView = view;
    applyStyle();
}

void DisplayController::setOrder(QuoteOrder order) {
    if (order == quoteOrder)
        return;
    quoteOrder = order;
    resetDisplay();
}

void DisplayController::setMarqueeStyle(const MarqueeStyle& newStyle) {
    style = newStyle;
    applyStyle();
}

void DisplayController::applyStyle() {
    if (!marqueeView)
        return;
    marqueeView->setSpeed(style.speed);
    marqueeView->setPausesOnHover(style.pausesOnHover);
    marqueeView->setFontPixelSize(style.fontPixelSize);
}

void DisplayController::nameMarquee(qsizetype segment) {
    if (!marqueeView)
        return;
    if (shownSegments.isEmpty())
        marqueeView->setAccessibleName(marqueeView->text());
    else if (segment >= 0 && segment < shownSegments.size())
        marqueeView->setAccessibleName(shownSegments.at(segment - segment % 2));
}

void DisplayController::resetDisplay() {
    if (quotes.isEmpty()) {
        shownSegments.clear();
        if (marqueeView) {
            marqueeView->stop();
            marqueeView->setText(LocalizationManager::shared().localizedString(u"NoQuotes"_s));
        }
    } else {
        shownSegments = DisplayText::segments(quotes, quoteOrder);
        if (marqueeView) {
            // Quotes the list still has keep their strings, and the view measures only the
            // others.
            marqueeView->setSegments(shownSegments);
            marqueeView->start();
        }
    }
    if (marqueeView) {
        // What assistive technologies say of the strip, in the language of the moment.
        const LocalizationManager& loc = LocalizationManager::shared();
        marqueeView->setAccessibleDescription(loc.localizedString(u"TickerDescription"_s));
        if (QWidget* button = marqueeView->parentWidget())
            button->setAccessibleDescription(loc.localizedString(u"StripButtonDescription"_s));
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

void DisplayController::showQuote(qsizetype quote) {
    if (marqueeView)
        marqueeView->showSegment(quote * 2);
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
