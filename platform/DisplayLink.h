#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QTimer;
class QWidget;

// A source of calls once per refresh of the screen, on a thread other than the main thread.
// start() and stop() are called on the main thread; stop() returns only once a call in
// progress has finished, so that whatever the callback touches may be torn down right after.
class DisplayLink {
public:
    using OutputCallback = std::function<void()>;

    virtual ~DisplayLink() = default;
    // Set once, before the first start().
    virtual void setOutputCallback(OutputCallback callback) = 0;
    // Starting a running link changes nothing. Returns whether the link runs.
    virtual bool start() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
    // Whether the callback runs on the main thread, where it may redraw directly.
    virtual bool callsBackOnMainThread() const { return false; }
};

// Makes the display link for a view; may give none, and the view then stands still.
using DisplayLinkFactory = std::function<std::unique_ptr<DisplayLink>(QWidget* view)>;

// A display link on a thread of its own that calls back at the refresh rate read (on the main
// thread) at each start.
class ThreadDisplayLink final : public DisplayLink {
public:
    // Refresh rate in hertz; a rate below 1 counts as 60.
    using RefreshRate = std::function<double()>;

    explicit ThreadDisplayLink(RefreshRate refreshRate);
    ~ThreadDisplayLink() override;

    void setOutputCallback(OutputCallback callback) override;
    bool start() override;
    void stop() override;
    bool isRunning() const override;

private:
    void run(std::chrono::nanoseconds period);

    RefreshRate refreshRate;
    OutputCallback callback;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopRequested = false;
};

// A display link driven by a precise timer of the main thread's event loop, at the refresh
// rate read at each start: one wake-up of one thread per frame, where a link on a thread of its
// own wakes that thread and then the main thread to draw. Calls back on the main thread, so
// stop() never waits. Made and used on the main thread.
class TimerDisplayLink final : public DisplayLink {
public:
    using RefreshRate = ThreadDisplayLink::RefreshRate;

    explicit TimerDisplayLink(RefreshRate refreshRate);
    ~TimerDisplayLink() override;

    void setOutputCallback(OutputCallback callback) override;
    bool start() override;
    void stop() override;
    bool isRunning() const override;
    bool callsBackOnMainThread() const override { return true; }

private:
    RefreshRate refreshRate;
    OutputCallback callback;
    std::unique_ptr<QTimer> timer;
};

// Display links that follow the refresh rate of the screen showing the view (60 Hz when the
// platform does not know it), on the main thread's timers.
DisplayLinkFactory screenDisplayLinks();
