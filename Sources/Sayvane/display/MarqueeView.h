#pragma once

#include "DisplayLink.h"
#include "MediaClock.h"
#include "StyledText.h"
#include "TextColors.h"
#include "VisibilityWatch.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

// Where the marquee's time comes from: its clock and its display links. Tests drive both.
struct MarqueeTiming {
    std::shared_ptr<const MediaClock> clock;
    DisplayLinkFactory makeDisplayLink;
    // Tells the view when its window can be seen; without one it always counts as seen.
    VisibilityWatchFactory watchVisibility = {};

    // The steady clock, display links at the screen's refresh rate, and on X11 a watch of the
    // window's visibility.
    static MarqueeTiming system();
};

// One line of text in the menu-bar item, vertically centred, that stands at the left edge or
// moves left at 45 pixels per second and wraps without a seam.
//
// While started, the display link runs only while the text can move and be seen: it stops
// while the pointer rests on the view (so that a long quote can be read) and while the window
// cannot be seen, and the text goes on from where it stood when both are over.
//
// The display link calls updateOffset() once a frame, which advances the offset by the time
// that has really passed and asks for a redraw.
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
    // Whether start() holds: the text moves, or will once nothing pauses it.
    bool isStarted() const { return started; }
    bool isPausedByPointer() const { return pointerInside; }
    // A pause the user asked for: the text stands still until it is lifted, then goes on from
    // where it stood.
    void setPaused(bool paused);
    bool isPaused() const { return userPaused; }
    bool canBeSeen() const { return seen; }
    double currentOffset() const { return offset; }
    // Infinite while a long text is still being measured.
    double measuredTextWidth() const { return textWidth; }
    bool isTextComplete() const;
    // The index of the segment under the middle of the view now, the text taken round; -1
    // before any text.
    qsizetype segmentAtMiddle() const;

    // One tick: the offset after `step` seconds at `speed` pixels a second, wrapped by one
    // addition of the text width once it has reached -textWidth.
    static double advancedOffset(double offset, double step, double textWidth,
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
    // Tells of another segment under the middle.
    void followMiddle();

    QStringList segmentsValue;
    std::unique_ptr<DisplayLink> displayLink;
    double offset = 0;
    double textWidth = 0;
    // Held by address: a text still being measured reads from the one before it.
    std::unique_ptr<StyledText> attributedText;
    std::unique_ptr<StyledText> previousText;
    bool measuringScheduled = false;
    double lastTime = 0;
    double pixelsPerSecond = scrollSpeed;
    qsizetype middleSegment = -1;

    MarqueeTiming timing;
    QFont font;
    TextShadow shadow;
    std::optional<QColor> labelColor;
    QImage layer;
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
