#include "MediaClock.h"

#include <chrono>

namespace {

class SteadyClock final : public MediaClock {
public:
    double now() const override {
        using Seconds = std::chrono::duration<double>;
        return std::chrono::duration_cast<Seconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

} // namespace

std::shared_ptr<const MediaClock> MediaClock::system() {
    static const auto clock = std::make_shared<const SteadyClock>();
    return clock;
}
