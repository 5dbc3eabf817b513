#include "MarqueeView.h"

#include <QAccessibleWidget>
#include <QCursor>
#include <QEvent>
#include <QFontDatabase>
#include <QPainter>
#include <QTimer>

#include <cmath>
#include <limits>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// The view as assistive technologies see it: a label, named by its owner after the quote that
// passes its middle, rather than a plain unnamed filler.
QAccessibleInterface* accessibleMarquee(const QString& className, QObject* object) {
    if (className == u"MarqueeView" && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::StaticText);
    return nullptr;
}

} // namespace

MarqueeTiming MarqueeTiming::system() {
    return {MediaClock::system(), screenDisplayLinks(), x11VisibilityWatches()};
}

MarqueeView::MarqueeView(const QRect& frame, QWidget* parent, MarqueeTiming timing)
    : QWidget(parent)
    , timing(std::move(timing))
    , font(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {
    static const bool accessible = [] {
        QAccessible::installFactory(accessibleMarquee);
        return true;
    }();
    Q_UNUSED(accessible);
    setGeometry(frame);
    font.setPixelSize(defaultFontPixelSize);
    font.setWeight(QFont::Normal);
    // Glyphs placed at fractional x positions, so the line glides instead of stepping.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Clicks go through to the button under the view, and so do the pointer's comings and
    // goings: the view hears of them from the button.
    if (parent)
        parent->installEventFilter(this);
    setupDisplayLink();
    pointerCheck.setInterval(250);
    connect(&pointerCheck, &QTimer::timeout, this, [this] {
        if (!QRect(mapToGlobal(QPoint(0, 0)), size()).contains(QCursor::pos()))
            setPointerInside(false);
    });
    if (this->timing.watchVisibility) {
        visibility = this->timing.watchVisibility(window());
        if (visibility) {
            seen = visibility->canBeSeen();
            connect(visibility.get(), &VisibilityWatch::canBeSeenChanged, this,
                    &MarqueeView::setCanBeSeen);
        }
    }
}

MarqueeView::~MarqueeView() {
    stop();
}

void MarqueeView::setText(const QString& text) {
    setSegments(QStringList{text});
}

void MarqueeView::setSegments(const QStringList& segments) {
    segmentsValue = segments;
    setupText();
}

void MarqueeView::start() {
    lastTime = timing.clock->now();
    started = true;
    updateLink();
}

void MarqueeView::stop() {
    started = false;
    updateLink();
}

void MarqueeView::updateLink() {
    if (!displayLink)
        return;
    if (started && !(pointerInside && pausesOnHover) && !userPaused && seen) {
        if (!displayLink->isRunning()) {
            // Whatever kept the link stopped, the text goes on from where it stood.
            lastTime = timing.clock->now();
            displayLink->start();
        }
    } else {
        displayLink->stop();
    }
}

void MarqueeView::setSpeed(double speed) {
    pixelsPerSecond = speed;
}

void MarqueeView::setFontPixelSize(int pixels) {
    if (pixels == font.pixelSize())
        return;
    font.setPixelSize(pixels);
    setupText();
}

void MarqueeView::setPausesOnHover(bool pauses) {
    pausesOnHover = pauses;
    updateLink();
}

void MarqueeView::setPaused(bool paused) {
    userPaused = paused;
    updateLink();
}

void MarqueeView::setPointerInside(bool inside) {
    pointerInside = inside;
    if (inside)
        pointerCheck.start();
    else
        pointerCheck.stop();
    updateLink();
}

void MarqueeView::setCanBeSeen(bool canBeSeen) {
    seen = canBeSeen;
    updateLink();
    // What shows once the window is seen again is the text where it stopped.
    if (seen)
        update();
}

bool MarqueeView::event(QEvent* event) {
    if (event->type() == QEvent::Enter)
        setPointerInside(true);
    else if (event->type() == QEvent::Leave)
        setPointerInside(false);
    else if (event->type() == QEvent::Resize && attributedText)
        followMiddle();
    return QWidget::event(event);
}

bool MarqueeView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent()) {
        if (event->type() == QEvent::Enter)
            setPointerInside(true);
        else if (event->type() == QEvent::Leave)
            setPointerInside(false);
    }
    return QWidget::eventFilter(watched, event);
}

bool MarqueeView::isTextComplete() const {
    return !attributedText || attributedText->isComplete();
}

qsizetype MarqueeView::segmentAtMiddle() const {
    if (!attributedText)
        return -1;
    const double span = textWidth;
    double x = width() * 0.5 - offset;
    // Past the end of the first copy, the middle is over the second.
    if (span > 0 && std::isfinite(span))
        x = std::fmod(x, span);
    return attributedText->segmentAt(x);
}

bool MarqueeView::isRunning() const {
    return displayLink && displayLink->isRunning();
}

double MarqueeView::advancedOffset(double offset, double step, double textWidth, double speed) {
    double next = offset + step * -speed;
    if (next <= -textWidth)
        next += textWidth;
    return next;
}

std::optional<double> MarqueeView::secondCopyOrigin(double offset, double textWidth,
                                                    double viewWidth) {
    if (offset < 0 && offset + textWidth < viewWidth)
        return offset + textWidth;
    return std::nullopt;
}

void MarqueeView::setupDisplayLink() {
    if (!timing.makeDisplayLink)
        return;
    displayLink = timing.makeDisplayLink(this);
    if (displayLink)
        displayLink->setOutputCallback([this] { updateOffset(); });
}

void MarqueeView::updateOffset() {
    const double now = timing.clock->now();
    const double step = now - lastTime;
    lastTime = now;
    offset = advancedOffset(offset, step, textWidth, pixelsPerSecond);
    // Qt delivers the redraw later, through the main thread's event queue, one for any number
    // of requests made meanwhile.
    update();
    followMiddle();
}

void MarqueeView::followMiddle() {
    // A search among the segments' starts, without allocation: the signal goes out only when
    // another segment is there.
    const qsizetype segment = segmentAtMiddle();
    if (segment == middleSegment)
        return;
    middleSegment = segment;
    Q_EMIT segmentAtMiddleChanged(segment);
}

void MarqueeView::setTextColors(const TextColors& colors) {
    labelColor = colors.label;
    shadow.color = colors.shadow;
    update();
}

void MarqueeView::setupText() {
    // Built beside the old text, whose measured segments it takes over. A text too long to
    // measure at once is measured a slice at a time between other events; its first quotes
    // show and move meanwhile, and it wraps once its whole width is known.
    auto next =
        std::make_unique<StyledText>(segmentsValue, font, attributedText.get(), measuringSlice * 3);
    if (attributedText)
        attributedText->forgetPrevious();
    previousText = std::move(attributedText);
    attributedText = std::move(next);
    offset = 0;
    finishMeasuring();
    update();
    // A new text starts a new count: its first segment is news even at the same index.
    middleSegment = -1;
    followMiddle();
}

void MarqueeView::finishMeasuring() {
    if (attributedText->isComplete()) {
        const bool largeTextLetGo = attributedText->pieceCount() > 100'000;
        previousText.reset();
        textWidth = attributedText->width();
#ifdef __GLIBC__
        // The old text of a long list leaves megabytes of freed heap that glibc would otherwise
        // keep for the process; hand them back once, after the rebuild.
        if (largeTextLetGo)
            malloc_trim(0);
#endif
        return;
    }
    // No wrap and no second copy before the end of the text is known.
    textWidth = std::numeric_limits<double>::infinity();
    if (!measuringScheduled) {
        measuringScheduled = true;
        QTimer::singleShot(0, this, [this] {
            measuringScheduled = false;
            if (attributedText && !attributedText->isComplete()) {
                attributedText->measureMore(measuringSlice);
                finishMeasuring();
            }
        });
    }
}

void MarqueeView::paintEvent(QPaintEvent*) {
    const double width = textWidth;
    if (!attributedText || width <= 0)
        return;
    const double x = offset;
    const double y = (height() - attributedText->height()) * 0.5;

    // The text goes into a transparent layer a little larger than the view, so that the blur of
    // the shadow sees the glyphs just outside the edges too.
    const int margin = shadow.margin();
    const QSize layerSize = size() + QSize(2 * margin, 2 * margin);
    const qreal ratio = devicePixelRatioF();
    if (layer.size() != layerSize * ratio || layer.devicePixelRatio() != ratio) {
        layer = QImage(layerSize * ratio, QImage::Format_ARGB32_Premultiplied);
        layer.setDevicePixelRatio(ratio);
    }
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(margin, margin);
        painter.setPen(labelColor.value_or(palette().color(QPalette::WindowText)));
        const double clipLeft = -margin;
        const double clipRight = this->width() + margin;
        attributedText->draw(painter, QPointF(x, y), clipLeft, clipRight);
        if (const auto second = secondCopyOrigin(x, width, this->width()))
            attributedText->draw(painter, QPointF(*second, y), clipLeft, clipRight);
    }
    QPainter painter(this);
    shadow.paint(painter, QPointF(-margin, -margin), layer);
}
