#include "NotificationCenter.h"

#include "MainQueue.h"

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* const center = new NotificationCenter;
    return *center;
}

void NotificationCenter::addObserver(const QString& name, Block block) {
    std::lock_guard lock(mutex);
    observers.push_back({name, std::make_shared<const Block>(std::move(block))});
}

void NotificationCenter::post(const QString& name) {
    std::vector<std::shared_ptr<const Block>> receivers;
    {
        std::lock_guard lock(mutex);
        for (const auto& observer : observers) {
            if (observer.name == name)
                receivers.push_back(observer.block);
        }
    }
    for (auto& block : receivers)
        MainQueue::async([block = std::move(block)] { (*block)(); });
}
