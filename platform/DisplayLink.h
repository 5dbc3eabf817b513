#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

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

// Display links that follow the refresh rate of the screen showing the view (60 Hz when the
// platform does not know it).
DisplayLinkFactory screenDisplayLinks();
