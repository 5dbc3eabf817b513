#include "BackgroundWork.h"

#include <QThreadPool>

#include <pthread.h>

namespace BackgroundWork {

namespace {

QThreadPool* threads = nullptr;

} // namespace

QThreadPool& pool() {
    // A child forked from this process has none of its threads: it makes a pool of its own.
    static const bool forgottenInChildren = [] {
        return ::pthread_atfork(nullptr, nullptr, [] { threads = nullptr; }) == 0;
    }();
    Q_UNUSED(forgottenInChildren);
    // Never destroyed, like the main queue: the program waits for the work it needs before it
    // ends, and an idle thread leaves the pool by itself after a while.
    if (!threads) {
        threads = new QThreadPool;
        threads->setMaxThreadCount(1);
        threads->setObjectName(QStringLiteral("BackgroundWork"));
    }
    return *threads;
}

void waitForDone() {
    pool().waitForDone();
}

} // namespace BackgroundWork
