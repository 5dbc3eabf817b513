#pragma once

#include "DisplayText.h"
#include "MarqueeView.h"
#include "StatusItem.h"

#include <QPointer>
#include <QStringList>

#include <functional>

// Decides what the menu-bar item shows: every quote of its copy of the list, each followed by
// two spaces, a random emoji and two spaces, scrolling; or, for an empty list, the no-quotes
// text of the current language, still. Owns the marquee view it installs in the item's button.
// How the strip's text moves and looks.
struct MarqueeStyle {
    double speed = MarqueeView::scrollSpeed;
    int fontPixelSize = MarqueeView::defaultFontPixelSize;
    bool pausesOnHover = true;

    bool operator==(const MarqueeStyle&) const = default;
};

class DisplayController {
public:
    // The set each quote's emoji is drawn from.
    static constexpr const std::array<QString, 15>& emojis = DisplayText::emojis;

    explicit DisplayController(MarqueeTiming timing = MarqueeTiming::system());
    ~DisplayController();
    DisplayController(const DisplayController&) = delete;
    DisplayController& operator=(const DisplayController&) = delete;

    // The item the marquee goes into; owned by the application delegate.
    QPointer<StatusItem> statusItem;
    // The controller's own copy of the quote list.
    QStringList quotes;

    // Installs the marquee view in the item's button, then resets the display.
    void startDisplay();
    // Shows the list anew (fresh emojis, scrolling from the left edge) or the still no-quotes
    // text. Safe in every state.
    void resetDisplay();

    // The segments shown now (DisplayText::segments); empty while the list is empty.
    const QStringList& segments() const { return shownSegments; }
    // Called after every reset, once the new text (or the still no-quotes text) is in place.
    std::function<void()> onDisplayReset;

    // The order the quotes pass in; a change shows the list anew.
    void setOrder(QuoteOrder order);
    QuoteOrder order() const { return quoteOrder; }
    // Applied to the marquee now and to one installed later.
    void setMarqueeStyle(const MarqueeStyle& style);
    const MarqueeStyle& marqueeStyle() const { return style; }

    // A pause the user asked for: the text stands still, also across resets, until resumed.
    void setPaused(bool paused);
    bool isPaused() const { return paused; }
    // Called after a call of setPaused that changed the pause.
    std::function<void()> onPausedChanged;

    // The quote whose piece (the quote and the emoji after it) is under the middle of the
    // strip now; the first quote while there is no strip; empty while the list is empty.
    QString currentQuote() const;
    // Moves the strip to the quote of that index in segments() (each quote is followed by its
    // separator), as the wheel over the panel's label moves the label.
    void showQuote(qsizetype quote);

private:
    void setupMarquee();
    void applyStyle();
    // Names the marquee, for assistive technologies, after the quote under its middle (or the
    // still text).
    void nameMarquee(qsizetype segment);

    QPointer<MarqueeView> marqueeView;
    QStringList shownSegments;
    bool paused = false;
    QuoteOrder quoteOrder = QuoteOrder::written;
    MarqueeStyle style;
    MarqueeTiming timing;
};
