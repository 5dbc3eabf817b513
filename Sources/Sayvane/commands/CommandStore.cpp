#include "CommandStore.h"

#include "MainQueue.h"
#include "QuoteManager.h"

#include <QCoreApplication>

namespace CommandStore {

void drainMainQueue() {
    while (MainQueue::shared().pendingCount() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

std::optional<QStringList> loadStoredList(QuoteManager& manager) {
    manager.loadQuotes();
    drainMainQueue();
    return manager.storedQuotes();
}

bool save(QuoteManager& manager, const QStringList& list) {
    manager.quotes = list;
    bool saved = false;
    manager.onQuotesChanged = [&saved] { saved = true; };
    manager.saveQuotes();
    drainMainQueue();
    manager.onQuotesChanged = nullptr;
    return saved;
}

} // namespace CommandStore
