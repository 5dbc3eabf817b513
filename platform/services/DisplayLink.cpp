#include "DisplayLink.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

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
