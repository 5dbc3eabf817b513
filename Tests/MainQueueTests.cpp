#include "MainQueue.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

TEST(MainQueue, RunsItemsLaterInSubmissionOrder) {
    std::vector<int> ran;
    for (int i = 0; i < 1000; ++i)
        MainQueue::async([&ran, i] { ran.push_back(i); });
    EXPECT_TRUE(ran.empty()) << "an item ran inside the submitting call";
    EXPECT_EQ(MainQueue::shared().pendingCount(), 1000);

    runMainQueue();
    ASSERT_EQ(ran.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(ran[static_cast<size_t>(i)], i);
    EXPECT_EQ(MainQueue::shared().pendingCount(), 0);
}

TEST(MainQueue, ItemSubmittedInsideAnEventRunsAfterTheEvent) {
    QStringList log;
    QTimer::singleShot(0, [&log] {
        MainQueue::async([&log] { log << QStringLiteral("item"); });
        log << QStringLiteral("event ends");
    });
    ASSERT_TRUE(eventually([&log] { return log.size() == 2; }));
    EXPECT_EQ(log, (QStringList{QStringLiteral("event ends"), QStringLiteral("item")}));
}

TEST(MainQueue, ItemSubmittedByARunningItemRunsAfterIt) {
    std::vector<std::string> log;
    MainQueue::async([&log] {
        log.push_back("first starts");
        MainQueue::async([&log] { log.push_back("nested"); });
        log.push_back("first ends");
    });
    MainQueue::async([&log] { log.push_back("second"); });
    runMainQueue();
    EXPECT_EQ(log, (std::vector<std::string>{"first starts", "first ends", "second", "nested"}));
}

TEST(MainQueue, ANestedEventLoopInsideAnItemDoesNotRunTheNextItem) {
    std::vector<std::string> log;
    MainQueue::async([&log] {
        log.push_back("outer starts");
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        log.push_back("outer ends");
    });
    MainQueue::async([&log] { log.push_back("next"); });
    MainQueue::async([&log] { log.push_back("last"); });
    runMainQueue();
    EXPECT_EQ(log, (std::vector<std::string>{"outer starts", "outer ends", "next", "last"}));
}

TEST(MainQueue, ItemsFromOtherThreadsRunOnTheMainThreadInTheirOrder) {
    constexpr int threads = 4;
    constexpr int perThread = 500;
    std::vector<std::vector<int>> ran(threads);
    std::atomic<int> offMainThread{0};
    QThread* const mainThread = QThread::currentThread();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                MainQueue::async([&, t, i] {
                    if (QThread::currentThread() != mainThread)
                        ++offMainThread;
                    ran[static_cast<size_t>(t)].push_back(i);
                });
            }
        });
    }
    for (auto& worker : workers)
        worker.join();
    runMainQueue();
    EXPECT_EQ(offMainThread.load(), 0);
    for (int t = 0; t < threads; ++t) {
        ASSERT_EQ(ran[static_cast<size_t>(t)].size(), static_cast<size_t>(perThread));
        for (int i = 0; i < perThread; ++i)
            EXPECT_EQ(ran[static_cast<size_t>(t)][static_cast<size_t>(i)], i);
    }
}

TEST(MainQueue, KeepsWhatAnItemCapturesAliveUntilItHasRun) {
    auto payload = std::make_shared<int>(42);
    std::weak_ptr<int> watch = payload;
    int seen = 0;
    MainQueue::async([payload, &seen] { seen = *payload; });
    payload.reset();
    EXPECT_FALSE(watch.expired()) << "the queued item let go of its capture before running";
    runMainQueue();
    EXPECT_EQ(seen, 42);
    EXPECT_TRUE(watch.expired()) << "the item kept its capture after running";
}
