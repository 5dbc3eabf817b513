#pragma once

#include <memory>

// A monotonic clock in seconds. Only differences between readings mean anything.
class MediaClock {
public:
    virtual ~MediaClock() = default;
    virtual double now() const = 0;

    // The process's clock, backed by std::chrono::steady_clock.
    static std::shared_ptr<const MediaClock> system();
};
