#include "MarqueeView.h"

#include "FreedMemory.h"

#include <QAccessibleWidget>
#include <QCursor>
#include <QEvent>
#include <QFontDatabase>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <cmath>
#include <limits>

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
    return {MediaClock::system(), screenDisplayLinks(), x11VisibilityWatches(),
            x11StripPresenters()};
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
    middleCheck.setSingleShot(true);
    connect(&middleCheck, &QTimer::timeout, this, &MarqueeView::followMiddle);
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
    // Its thread ends before the view's tape goes.
    presenter.reset();
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
        if (!isRunning()) {
            // Whatever kept the link stopped, the text goes on from where it stood.
            lastTime = timing.clock->now();
            if (!startPresenting())
                displayLink->start();
        }
    } else {
        stopPresenting();
        displayLink->stop();
    }
    followMiddle();
}

void MarqueeView::setSpeed(double speed) {
    // The frames so far stay where they were: the new speed counts from here.
    offset = currentOffset();
    lastTime = timing.clock->now();
    pixelsPerSecond = speed;
    if (isPresenting())
        publishFrames();
    followMiddle();
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
    else if (event->type() == QEvent::Resize && attributedText) {
        // A strip of another size takes a tape of its own size now, not at its next stretch.
        if (isPresenting())
            ensureTape();
        followMiddle();
    }
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

double MarqueeView::currentOffset() const {
    return isPresenting()
               ? offsetAfter(offset, timing.clock->now() - lastTime, textWidth, pixelsPerSecond)
               : offset;
}

qsizetype MarqueeView::segmentAtMiddle() const {
    if (!attributedText)
        return -1;
    const double span = textWidth;
    double x = width() * 0.5 - currentOffset();
    // Past the end of the first copy, the middle is over the second.
    if (span > 0 && std::isfinite(span))
        x = std::fmod(x, span);
    return attributedText->segmentAt(x);
}

void MarqueeView::showSegment(qsizetype segment) {
    if (!attributedText || !isTextComplete() || segment < 0 || segment >= segmentsValue.size())
        return;
    // The presenter's thread cuts its frames from the offset it was given: it stops, and goes
    // on from the new one with the tape drawn there.
    const bool presenting = isPresenting();
    if (presenting)
        presenter->stop();
    offset = -attributedText->segmentStart(segment);
    lastTime = timing.clock->now();
    if (presenting && !startPresenting())
        displayLink->start();
    update();
    followMiddle();
}

bool MarqueeView::isRunning() const {
    return isPresenting() || (displayLink && displayLink->isRunning());
}

double MarqueeView::advancedOffset(double offset, double step, double textWidth, double speed) {
    double next = offset + step * -speed;
    if (next <= -textWidth)
        next += textWidth;
    return next;
}

double MarqueeView::offsetAfter(double offset, double seconds, double textWidth, double speed) {
    double next = advancedOffset(offset, seconds, textWidth, speed);
    if (next <= -textWidth)
        next = -std::fmod(-next, textWidth);
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
    if (segment != middleSegment) {
        middleSegment = segment;
        Q_EMIT segmentAtMiddleChanged(segment);
    }
    middleCheck.stop();
    if (!isPresenting() || segment < 0 || !std::isfinite(textWidth) || textWidth <= 0 ||
        pixelsPerSecond <= 0)
        return;
    // The next segment's start, or the text's end, reaches the middle after this long.
    const double x =
        std::fmod(std::fmod(width() * 0.5 - currentOffset(), textWidth) + textWidth, textWidth);
    const double next = attributedText->segmentStart(segment + 1);
    const double end = next > x ? next : textWidth;
    middleCheck.start(int(std::ceil((end - x) / pixelsPerSecond * 1000)) + 1);
}

void MarqueeView::setTextColors(const TextColors& colors) {
    labelColor = colors.label;
    strip.shadow.color = colors.shadow;
    ensureTape();
    update();
}

void MarqueeView::setBackground(const QColor& color) {
    backgroundColor = color;
    ensureTape();
    update();
}

void MarqueeView::setupText() {
    // A new text starts from offset 0 now: the presenter stops meanwhile.
    const bool presenting = isPresenting();
    if (presenting)
        presenter->stop();
    // Built beside the old text, whose measured segments it takes over. A text too long to
    // measure at once is measured a slice at a time between other events, the first slice too
    // (a slice measures far more than the strip's width); its first quotes show and move
    // meanwhile, and it wraps once its whole width is known.
    auto next =
        std::make_unique<StyledText>(segmentsValue, font, attributedText.get(), measuringSlice);
    if (attributedText)
        attributedText->forgetPrevious();
    previousText = std::move(attributedText);
    attributedText = std::move(next);
    offset = 0;
    ++textVersion;
    finishMeasuring();
    if (presenting) {
        lastTime = timing.clock->now();
        if (!startPresenting())
            displayLink->start();
    }
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
        ensureTape();
        // The old text of a long list leaves megabytes of freed heap behind.
        if (largeTextLetGo)
            FreedMemory::returnSoon();
        return;
    }
    // No wrap and no second copy before the end of the text is known.
    textWidth = std::numeric_limits<double>::infinity();
    ensureTape();
    if (!measuringScheduled) {
        measuringScheduled = true;
        QTimer::singleShot(0, this, [this] {
            measuringScheduled = false;
            if (attributedText && !attributedText->isComplete()) {
                attributedText->measureMore(measuringSlice);
                ++textVersion;
                finishMeasuring();
            }
        });
    }
}

TextTape::Picture MarqueeView::picture() const {
    TextTape::Picture picture;
    picture.text = attributedText.get();
    picture.textWidth = textWidth;
    picture.size = size();
    picture.ratio = devicePixelRatioF();
    picture.y = attributedText ? (height() - attributedText->height()) * 0.5 : 0;
    picture.background = backgroundColor.value_or(palette().color(QPalette::Window));
    picture.label = labelColor.value_or(palette().color(QPalette::WindowText));
    picture.shadow = strip.shadow.color;
    picture.version = textVersion;
    return picture;
}

void MarqueeView::ensureTape() {
    const TextTape::Picture wanted = picture();
    if (tape.picture() == wanted)
        return;
    // The presenter's thread may be cutting a frame from the chunks about to be drawn over: it
    // stops, and goes on from the same offset with the new tape.
    const bool presenting = isPresenting();
    if (presenting) {
        offset = currentOffset();
        lastTime = timing.clock->now();
        presenter->stop();
    }
    tape.reset(wanted);
    setUpPresenter();
    if (presenting && !startPresenting())
        displayLink->start();
}

void MarqueeView::setUpPresenter() {
    if (!presenter || !tape.usable())
        return;
    const QImage& slot = tape.slotImage(0);
    const QSize chunk(slot.width(), slot.height() / TextTape::phases);
    if (presenterSlots == std::pair(tape.slotCount(), chunk))
        return;
    if (!presenter->setUp(tape.slotCount(), chunk, TextTape::phases)) {
        presenterSlots = {};
        presenter.reset();
        return;
    }
    presenterSlots = {tape.slotCount(), chunk};
    // What the slots held is gone with the old ones.
    for (int i = 0; i < tape.slotCount(); ++i) {
        if (tape.layout().chunkInSlot[static_cast<size_t>(i)] >= 0)
            presenter->upload(i, tape.slotImage(i));
    }
}

void MarqueeView::prepareTape(double at) {
    if (tape.prepare(at, tape.layout().chunkWidth) > 0 && isPresenting())
        publishFrames();
}

bool MarqueeView::startPresenting() {
    if (!presenter && !presenterTried && timing.presentFrames) {
        presenterTried = true;
        presenter = timing.presentFrames(this, timing.clock);
        if (presenter) {
            connect(presenter.get(), &StripPresenter::chunksWanted, this, [this] {
                if (!isPresenting())
                    return;
                ensureTape();
                if (isPresenting() && tape.prepare(currentOffset(), tape.layout().chunkWidth) > 0)
                    publishFrames();
            });
            connect(presenter.get(), &StripPresenter::failed, this, [this] {
                const bool wasPresenting = isPresenting();
                offset = currentOffset();
                lastTime = timing.clock->now();
                presenter.release()->deleteLater();
                if (wasPresenting && displayLink)
                    displayLink->start();
            });
            tape.onSlotDrawn = [this](int slot) {
                if (presenter)
                    presenter->upload(slot, tape.slotImage(slot));
            };
        }
    }
    if (!presenter)
        return false;
    ensureTape();
    setUpPresenter();
    if (!presenter || !tape.usable())
        return false;
    // The first frame comes a moment after the offset now (a text at offset 0 has just been
    // set and is not on the tape yet).
    tape.prepare(std::min(offset, -0.25 / devicePixelRatioF()), tape.layout().chunkWidth);
    publishFrames();
    return presenter->isRunning();
}

void MarqueeView::stopPresenting() {
    if (!isPresenting())
        return;
    offset = currentOffset();
    lastTime = timing.clock->now();
    presenter->stop();
    // The view's own painting shows the text where it stopped, over whatever frame was put last.
    update();
}

void MarqueeView::publishFrames() {
    const qreal ratio = devicePixelRatioF();
    auto frames = std::make_shared<const StripPresenter::Frames>(
        [layout = tape.layout(), ratio, since = lastTime, from = offset, width = textWidth,
         speed = pixelsPerSecond](double now) {
            const TextTape::Copies copies =
                layout.copiesAt(offsetAfter(from, now - since, width, speed), ratio);
            StripPresenter::Frame frame;
            frame.count = copies.count;
            frame.phase = copies.phase;
            frame.complete = copies.complete;
            frame.aheadReady = copies.aheadReady;
            for (int i = 0; i < copies.count; ++i) {
                const TextTape::Copy& copy = copies.copies[static_cast<size_t>(i)];
                frame.copies[static_cast<size_t>(i)] = {copy.slot, copy.sourceX, copy.targetX,
                                                        copy.width};
            }
            return frame;
        });
    const QPoint at = mapTo(window(), QPoint(0, 0)) * ratio;
    const QScreen* shown = screen();
    presenter->run(std::move(frames), at, shown ? shown->refreshRate() : 60.0);
}

void MarqueeView::paintEvent(QPaintEvent*) {
    const double width = textWidth;
    if (!attributedText || width <= 0)
        return;
    QPainter painter(this);
    const double x = currentOffset();
    if (TextTape::isOnTape(x, devicePixelRatioF())) {
        ensureTape();
        prepareTape(x);
        if (tape.paintFrame(painter, x))
            return;
    }
    // Where no tape can hold the picture, and at offset 0 (where a second copy, which the tape
    // always has, is never drawn), the text is painted directly, with the offset rounded to a
    // quarter of a device pixel as the tape's frames have it.
    strip.label = labelColor.value_or(palette().color(QPalette::WindowText));
    const double drawn = TextTape::drawnOffset(x, devicePixelRatioF());
    const double y = (height() - attributedText->height()) * 0.5;
    // The second copy from where its shadow reaches the view.
    if (const auto second = secondCopyOrigin(drawn, width, this->width() + strip.margin()))
        strip.paint(painter, *attributedText, size(), y, {drawn, *second});
    else
        strip.paint(painter, *attributedText, size(), y, {drawn});
}
