#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QSize>

#include <array>
#include <functional>
#include <memory>

class MediaClock;
class QWidget;

// Puts a scrolling strip's frames on the screen apart from the toolkit's painting: the strip's
// picture is handed over once, in slots of pre-drawn chunks that the display keeps, and each
// frame is a few copies from them into the window, made on a thread of the presenter's own at
// the screen's refresh rate. A frame then costs one wake-up of that thread and a few dozen bytes
// to the display, and the main thread sleeps while the strip scrolls. The toolkit still owns
// the window, its events and its painting whenever the presenter does not run.
//
// Every call but frames() is made on the main thread.
class StripPresenter : public QObject {
    Q_OBJECT

public:
    // One rectangle of a frame: from a slot (columns from the slot's left edge, in the rows of
    // the phase) to the strip (columns from its left edge); device pixels.
    struct Copy {
        int slot = 0;
        int sourceX = 0;
        int targetX = 0;
        int width = 0;
    };
    struct Frame {
        std::array<Copy, 4> copies{};
        int count = 0;
        int phase = 0;
        // Whether the frame can be put: every chunk it needs is there. Nothing is put otherwise,
        // and the last frame stays.
        bool complete = false;
        // Whether the chunks of the frames about to come are there too.
        bool aheadReady = false;
    };
    // The frame at a time of the clock; called on the presenter's thread, so it must only read
    // what it holds.
    using Frames = std::function<Frame(double now)>;

    using QObject::QObject;

    // Room for `slots` chunks, each `chunk` device pixels at every one of `phases` phases (one
    // above the other). Drops what the slots held. Returns whether the display took it.
    virtual bool setUp(int slots, QSize chunk, int phases) = 0;
    // A slot's picture: the chunk at its phases, one above the other, premultiplied ARGB.
    virtual void upload(int slot, const QImage& picture) = 0;
    // From now until stop(), puts the frames that the function gives at each refresh, with the
    // strip's top left corner at `at` in its window (device pixels). Called again while running,
    // it takes the new function from the next frame on.
    virtual void run(std::shared_ptr<const Frames> frames, QPoint at, double refreshRate) = 0;
    // Stops putting frames; returns once no frame is under way and what was put has reached the
    // display, so that whatever the toolkit paints next comes after it.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;

Q_SIGNALS:
    // A frame found a chunk missing that it needs now or soon; sent once per run() call, from
    // the presenter's thread (queued to receivers on the main thread).
    void chunksWanted();
    // The display connection failed: the presenter puts nothing any more.
    void failed();
};

// Makes the presenter for a view (a widget inside a top-level window) with the clock that frames
// are timed by; may give none, and the view then paints its frames itself.
using StripPresenterFactory = std::function<std::unique_ptr<StripPresenter>(
    QWidget* view, std::shared_ptr<const MediaClock> clock)>;

// On X11: chunks in a pixmap on the X server, frames put with CopyArea over a connection of the
// presenter's own, for windows whose visual takes 32-bit pixels in the host's byte order (24-bit
// colour, and 32-bit ARGB under a compositing manager). Gives none on other platforms.
StripPresenterFactory x11StripPresenters();
