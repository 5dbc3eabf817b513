#pragma once

#include <functional>
#include <memory>

class QTimer;
class QWidget;

// A source of calls once per refresh of the screen, on the main thread. Made, started and
// stopped on the main thread; after stop() no call follows.
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

// A display link driven by a precise timer of the main thread's event loop, at the refresh
// rate read at each start: one wake-up of one thread per frame (a link on a thread of its own
// would wake that thread and then the main thread to draw).
class TimerDisplayLink final : public DisplayLink {
public:
    // Refresh rate in hertz; a rate below 1 counts as 60.
    using RefreshRate = std::function<double()>;

    explicit TimerDisplayLink(RefreshRate refreshRate);
    ~TimerDisplayLink() override;

    void setOutputCallback(OutputCallback callback) override;
    bool start() override;
    void stop() override;
    bool isRunning() const override;

private:
    RefreshRate refreshRate;
    OutputCallback callback;
    std::unique_ptr<QTimer> timer;
};

// Display links that follow the refresh rate of the screen showing the view (60 Hz when the
// platform does not know it), on the main thread's timers.
DisplayLinkFactory screenDisplayLinks();
