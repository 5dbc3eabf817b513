#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

// The queue of work items that the main thread runs after the current event.
//
// A submitted item runs later on the main thread: never inside the submitting call, never
// inside the event being handled, one at a time and in submission order, whichever thread
// submitted it. The item (and whatever it captures) lives until it has run.
class MainQueue : public QObject {
    Q_OBJECT

public:
    using WorkItem = std::function<void()>;

    // The one queue of the process; needs a QCoreApplication.
    static MainQueue& shared();
    // Shorthand for shared().submit(item).
    static void async(WorkItem item);

    void submit(WorkItem item);
    // Items submitted and not yet run.
    qsizetype pendingCount() const;

protected:
    bool event(QEvent* event) override;

private:
    MainQueue();
    void postTurn();

    mutable std::mutex mutex;
    std::deque<WorkItem> items;
    // Set while an item runs. Should an item spin a nested event loop, the turns delivered
    // inside it are owed and posted again afterwards, so items never overlap.
    bool running = false;
    int owedTurns = 0;
};
