#pragma once

#include "DisplayLink.h"
#include "MediaClock.h"
#include "StyledText.h"
#include "TextColors.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>

// Where the marquee's time comes from: its clock and its display links. Tests drive both.
struct MarqueeTiming {
    std::shared_ptr<const MediaClock> clock;
    DisplayLinkFactory makeDisplayLink;

    // The steady clock and display links at the screen's refresh rate.
    static MarqueeTiming system();
};

// One line of text in the menu-bar item, vertically centred, that stands at the left edge or
// moves left at 45 pixels per second and wraps without a seam.
//
// The display link calls updateOffset() on its own thread; that thread reads textWidth, reads
// and writes lastTime and offset (each an atomic), and asks for a redraw through the main
// queue. Everything else happens on the main thread.
class MarqueeView : public QWidget {
    Q_OBJECT

public:
    static constexpr double scrollSpeed = 45;

    explicit MarqueeView(const QRect& frame, QWidget* parent = nullptr,
                         MarqueeTiming timing = MarqueeTiming::system());
    ~MarqueeView() override;

    QString text() const { return textValue; }
    // Rebuilds the styled text at once, puts the offset back to 0 and asks for a redraw.
    void setText(const QString& text);

    // The label and shadow colours of the text; the palette's text colour until they are set.
    void setTextColors(const TextColors& colors);

    // Takes the current time as the last tick, then starts the display link.
    void start();
    void stop();

    // Read-outs for tests and benchmarks.
    bool isRunning() const;
    double currentOffset() const { return offset.load(); }
    double measuredTextWidth() const { return textWidth.load(); }

    // One tick: the offset after `step` seconds, wrapped by one addition of the text width once
    // it has reached -textWidth.
    static double advancedOffset(double offset, double step, double textWidth);
    // Where the second copy of the text goes, if one is drawn: right after the first, while the
    // first has moved left and ends inside the view.
    static std::optional<double> secondCopyOrigin(double offset, double textWidth,
                                                  double viewWidth);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setupText();
    void setupDisplayLink();
    void updateOffset();

    QString textValue;
    std::unique_ptr<DisplayLink> displayLink;
    std::atomic<double> offset{0};
    std::atomic<double> textWidth{0};
    std::optional<StyledText> attributedText;
    std::atomic<double> lastTime{0};

    MarqueeTiming timing;
    QFont font;
    TextShadow shadow;
    std::optional<QColor> labelColor;
    QImage layer;
    // Set while a redraw request waits in the main queue, so that a busy main thread gets one
    // request rather than a pile of them.
    std::atomic<bool> redrawRequested{false};
};
