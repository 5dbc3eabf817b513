#include "DisplayLink.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cassert>

ThreadDisplayLink::ThreadDisplayLink(RefreshRate refreshRate)
    : refreshRate(std::move(refreshRate)) {}

ThreadDisplayLink::~ThreadDisplayLink() {
    stop();
}

void ThreadDisplayLink::setOutputCallback(OutputCallback newCallback) {
    assert(!thread.joinable());
    callback = std::move(newCallback);
}

bool ThreadDisplayLink::start() {
    if (thread.joinable())
        return true;
    if (!callback)
        return false;
    double hertz = refreshRate ? refreshRate() : 0.0;
    if (!(hertz >= 1.0))
        hertz = 60.0;
    const auto period = std::chrono::nanoseconds(static_cast<long long>(1e9 / hertz));
    stopRequested = false;
    thread = std::thread([this, period] { run(period); });
    return true;
}

void ThreadDisplayLink::stop() {
    if (!thread.joinable())
        return;
    assert(thread.get_id() != std::this_thread::get_id());
    {
        std::lock_guard lock(mutex);
        stopRequested = true;
    }
    wake.notify_all();
    thread.join();
}

bool ThreadDisplayLink::isRunning() const {
    return thread.joinable();
}

void ThreadDisplayLink::run(std::chrono::nanoseconds period) {
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now() + period;
    std::unique_lock lock(mutex);
    while (!wake.wait_until(lock, next, [this] { return stopRequested; })) {
        lock.unlock();
        callback();
        lock.lock();
        next += period;
        // After a stall (a suspended machine, a busy core) go on from now rather than catch up
        // with a burst of calls; the callback measures real time anyway.
        if (const auto now = Clock::now(); next < now)
            next = now + period;
    }
}

namespace {

double hertzOrSixty(const std::function<double()>& refreshRate) {
    const double hertz = refreshRate ? refreshRate() : 0.0;
    return hertz >= 1.0 ? hertz : 60.0;
}

} // namespace

TimerDisplayLink::TimerDisplayLink(RefreshRate refreshRate)
    : refreshRate(std::move(refreshRate)) {}

TimerDisplayLink::~TimerDisplayLink() = default;

void TimerDisplayLink::setOutputCallback(OutputCallback newCallback) {
    callback = std::move(newCallback);
}

bool TimerDisplayLink::start() {
    if (isRunning())
        return true;
    if (!callback)
        return false;
    if (!timer) {
        timer = std::make_unique<QTimer>();
        // A coarse timer may fire up to 5 % late or early, which shows as uneven motion.
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer.get(), &QTimer::timeout, [this] {
            if (callback)
                callback();
        });
    }
    // Qt's timers count whole milliseconds: 16 ms at 60 Hz. The callback measures real time, so
    // the speed does not depend on it.
    timer->start(std::max(1, static_cast<int>(1000.0 / hertzOrSixty(refreshRate))));
    return true;
}

void TimerDisplayLink::stop() {
    if (timer)
        timer->stop();
}

bool TimerDisplayLink::isRunning() const {
    return timer && timer->isActive();
}

DisplayLinkFactory screenDisplayLinks() {
    return [](QWidget* view) -> std::unique_ptr<DisplayLink> {
        return std::make_unique<TimerDisplayLink>([view = QPointer<QWidget>(view)] {
            QScreen* screen = view ? view->screen() : QGuiApplication::primaryScreen();
            return screen ? screen->refreshRate() : 0.0;
        });
    };
}
