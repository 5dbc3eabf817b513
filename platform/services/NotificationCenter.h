#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Named notifications without sender or content. An observer registered for a name gets one
// call of its block, on the main queue, for each posting of that name. Registrations last as
// long as the centre.
class NotificationCenter {
public:
    using Block = std::function<void()>;

    // The process's default centre, never destroyed.
    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    void addObserver(const QString& name, Block block);
    void post(const QString& name);

private:
    struct Observer {
        QString name;
        std::shared_ptr<const Block> block;
    };

    std::mutex mutex;
    std::vector<Observer> observers;
};
