#pragma once

#include "DisplayLink.h"
#include "MediaClock.h"
#include "StripPresenter.h"
#include "StyledText.h"
#include "TextColors.h"
#include "TextStrip.h"
#include "TextTape.h"
#include "VisibilityWatch.h"

#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <utility>

// Where the marquee's time comes from: its clock and its display links. Tests drive both.
struct MarqueeTiming {
    std::shared_ptr<const MediaClock> clock;
    DisplayLinkFactory makeDisplayLink;
    // Tells the view when its window can be seen; without one it always counts as seen.
    VisibilityWatchFactory watchVisibility = {};
    // Puts the scrolling text's frames on the screen apart from the view's painting; without
    // one the display link's ticks repaint the view.
    StripPresenterFactory presentFrames = {};

    // The steady clock, display links at the screen's refresh rate, and on X11 a watch of the
    // window's visibility and a presenter of frames.
    static MarqueeTiming system();
};

// One line of text in the menu-bar item, vertically centred, that stands at the left edge or
// moves left at 45 pixels per second and wraps without a seam.
//
// While started, the display link runs only while the text can move and be seen: it stops
// while the pointer rests on the view (so that a long quote can be read) and while the window
// cannot be seen, and the text goes on from where it stood when both are over.
//
// The scrolling text is drawn once, a few seconds ahead, into a tape with its shadow and the
// background under it (TextTape); a frame is cut from the tape. Where a presenter is given (on
// X11) the tape is kept by the display and a thread of the presenter's own puts the frames, at
// the offset the clock gives, while the main thread sleeps; it draws the next stretch of the
// tape when the presenter asks, about every three seconds. Otherwise the display link calls
// updateOffset() once a frame, which advances the offset by the time that has really passed and
// repaints the view from the tape. A still text, a text at offset 0 and a picture that no tape
// can hold (a pixel ratio that is not whole) are painted directly.
class MarqueeView : public QWidget {
    Q_OBJECT

public:
    // The speed and the text's size until they are set, in pixels a second and pixels.
    static constexpr double scrollSpeed = 45;
    static constexpr int defaultFontPixelSize = 14;
    // How long measuring a long text may hold the main thread at a time, in seconds.
    static constexpr double measuringSlice = 0.008;

    explicit MarqueeView(const QRect& frame, QWidget* parent = nullptr,
                         MarqueeTiming timing = MarqueeTiming::system());
    ~MarqueeView() override;

    QString text() const { return segmentsValue.join(QString()); }
    // Rebuilds the styled text at once, puts the offset back to 0 and asks for a redraw.
    void setText(const QString& text);
    // The same for a text given as segments laid end to end. Segments that the previous text
    // also had are not measured again.
    void setSegments(const QStringList& segments);

    // The label and shadow colours of the text; the palette's text colour until they are set.
    void setTextColors(const TextColors& colors);
    // What the view stands on (its button's fill; transparent where the desktop shows through):
    // the frames of the tape carry it. The palette's window colour until it is set.
    void setBackground(const QColor& color);
    // Pixels a second, leftward; the text goes on from where it stands.
    void setSpeed(double pixelsPerSecond);
    double speed() const { return pixelsPerSecond; }
    // The text's size in pixels; the text is laid out again, from the left edge.
    void setFontPixelSize(int pixels);
    int fontPixelSize() const { return font.pixelSize(); }
    // Whether the text stands still while the pointer rests on the view (it does unless told).
    void setPausesOnHover(bool pauses);

    // Takes the current time as the last tick, then starts the display link (once the pointer
    // has left and the window can be seen).
    void start();
    void stop();

    // Read-outs for tests and benchmarks.
    bool isRunning() const;
    // Whether the presenter puts the frames now, rather than the view's painting.
    bool isPresenting() const { return presenter && presenter->isRunning(); }
    const TextTape& textTape() const { return tape; }
    // Whether start() holds: the text moves, or will once nothing pauses it.
    bool isStarted() const { return started; }
    bool isPausedByPointer() const { return pointerInside; }
    // A pause the user asked for: the text stands still until it is lifted, then goes on from
    // where it stood.
    void setPaused(bool paused);
    bool isPaused() const { return userPaused; }
    bool canBeSeen() const { return seen; }
    double currentOffset() const;
    // Infinite while a long text is still being measured.
    double measuredTextWidth() const { return textWidth; }
    bool isTextComplete() const;
    // The index of the segment under the middle of the view now, the text taken round; -1
    // before any text.
    qsizetype segmentAtMiddle() const;
    // Puts the segment's start at the view's left edge at once; the text goes on from there.
    // Nothing happens before the whole text is measured, or for a segment it does not have.
    void showSegment(qsizetype segment);

    // One tick: the offset after `step` seconds at `speed` pixels a second, wrapped by one
    // addition of the text width once it has reached -textWidth.
    static double advancedOffset(double offset, double step, double textWidth,
                                 double speed = scrollSpeed);
    // The offset `seconds` after one, wrapped as often as it has reached -textWidth: what the
    // ticks of that time would give one by one.
    static double offsetAfter(double offset, double seconds, double textWidth,
                              double speed = scrollSpeed);
    // Where the second copy of the text goes, if one is drawn: right after the first, while the
    // first has moved left and ends inside the view.
    static std::optional<double> secondCopyOrigin(double offset, double textWidth,
                                                  double viewWidth);

Q_SIGNALS:
    // Another segment came under the middle of the view (a new text, or the text moved on).
    void segmentAtMiddleChanged(qsizetype segment);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setupText();
    void setupDisplayLink();
    void updateOffset();
    // Publishes the width of a complete text, or measures on in a later turn of the event loop.
    void finishMeasuring();
    void setPointerInside(bool inside);
    void setCanBeSeen(bool canBeSeen);
    // Runs the display link exactly while started, the pointer is away and the window is seen.
    void updateLink();
    // Tells of another segment under the middle, and while the presenter puts the frames (no
    // tick comes then), looks again when the next one is due there.
    void followMiddle();

    // What a frame shows now, for the tape.
    TextTape::Picture picture() const;
    // Starts the tape afresh when what it shows has changed.
    void ensureTape();
    void prepareTape(double offset);
    // Gives the presenter room for the tape's slots, and what they hold.
    void setUpPresenter();
    bool startPresenting();
    void stopPresenting();
    // Hands the presenter the frames from now on: the motion and the chunks on the tape.
    void publishFrames();

    QStringList segmentsValue;
    std::unique_ptr<DisplayLink> displayLink;
    double offset = 0;
    double textWidth = 0;
    // Held by address: a text still being measured reads from the one before it.
    std::unique_ptr<StyledText> attributedText;
    std::unique_ptr<StyledText> previousText;
    bool measuringScheduled = false;
    // Time of the last tick, or while the presenter runs, the time the offset was taken at.
    double lastTime = 0;
    double pixelsPerSecond = scrollSpeed;
    qsizetype middleSegment = -1;
    QTimer middleCheck;
    quint64 textVersion = 0;

    MarqueeTiming timing;
    QFont font;
    TextStrip strip;
    std::optional<QColor> labelColor;
    std::optional<QColor> backgroundColor;
    TextTape tape;
    std::unique_ptr<StripPresenter> presenter;
    bool presenterTried = false;
    // The slots the presenter was set up with: how many, and the size of one phase.
    std::pair<int, QSize> presenterSlots;
    bool started = false;
    bool pointerInside = false;
    bool pausesOnHover = true;
    // While the pointer is taken to rest on the view: looks where it really is now and then. A
    // popup's grab (the strip's own menu) takes the leave event the view would have heard.
    QTimer pointerCheck;
    bool userPaused = false;
    bool seen = true;
    std::unique_ptr<VisibilityWatch> visibility;
};
