#include "MainQueue.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

QEvent::Type turnEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace

MainQueue& MainQueue::shared() {
    // Never destroyed: items may still be submitted while static objects go away at exit.
    static MainQueue* const queue = new MainQueue;
    return *queue;
}

void MainQueue::async(WorkItem item) {
    shared().submit(std::move(item));
}

MainQueue::MainQueue() {
    Q_ASSERT(QCoreApplication::instance());
    if (auto* app = QCoreApplication::instance(); app && thread() != app->thread())
        moveToThread(app->thread());
}

void MainQueue::submit(WorkItem item) {
    {
        std::lock_guard lock(mutex);
        items.push_back(std::move(item));
    }
    postTurn();
}

qsizetype MainQueue::pendingCount() const {
    std::lock_guard lock(mutex);
    return static_cast<qsizetype>(items.size());
}

// Each submission posts one turn; each turn runs the oldest item. Qt delivers events posted
// while others are being delivered in a later pass, so an item submitted by a running item
// runs after it, in a later turn of the loop.
void MainQueue::postTurn() {
    QCoreApplication::postEvent(this, new QEvent(turnEventType()));
}

bool MainQueue::event(QEvent* event) {
    if (event->type() != turnEventType())
        return QObject::event(event);
    if (running) {
        ++owedTurns;
        return true;
    }
    WorkItem item;
    {
        std::lock_guard lock(mutex);
        if (items.empty())
            return true;
        item = std::move(items.front());
        items.pop_front();
    }
    struct RunningScope {
        MainQueue& queue;
        explicit RunningScope(MainQueue& queue)
            : queue(queue) {
            queue.running = true;
        }
        ~RunningScope() {
            queue.running = false;
            for (; queue.owedTurns > 0; --queue.owedTurns)
                queue.postTurn();
        }
    } scope(*this);
    item();
    return true;
}
