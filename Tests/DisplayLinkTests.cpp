#include "DisplayLink.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

TEST(ThreadDisplayLink, CallsBackOnAThreadOfItsOwnAtAboutTheRefreshRate) {
    ThreadDisplayLink link([] { return 100.0; });
    std::atomic<int> calls{0};
    std::atomic<bool> offMainThread{true};
    const auto mainThread = std::this_thread::get_id();
    link.setOutputCallback([&] {
        if (std::this_thread::get_id() == mainThread)
            offMainThread = false;
        ++calls;
    });
    EXPECT_FALSE(link.isRunning());
    EXPECT_TRUE(link.start());
    EXPECT_TRUE(link.isRunning());
    std::this_thread::sleep_for(500ms);
    link.stop();
    EXPECT_FALSE(link.isRunning());
    EXPECT_TRUE(offMainThread.load());
    // About 50 calls in half a second at 100 Hz; a loaded machine may manage fewer.
    EXPECT_GE(calls.load(), 10);
    EXPECT_LE(calls.load(), 60);
}

TEST(ThreadDisplayLink, StopWaitsForTheCallInProgressAndNoneFollow) {
    ThreadDisplayLink link([] { return 1000.0; });
    std::atomic<bool> inside{false};
    std::atomic<int> finished{0};
    std::atomic<int> callsAfterStop{0};
    std::atomic<bool> stopped{false};
    link.setOutputCallback([&] {
        if (stopped)
            ++callsAfterStop;
        inside = true;
        std::this_thread::sleep_for(30ms);
        inside = false;
        ++finished;
    });
    link.start();
    while (!inside)
        std::this_thread::yield();
    link.stop();
    stopped = true;
    EXPECT_FALSE(inside.load()) << "stop returned while a call was still running";
    const int afterStop = finished.load();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(finished.load(), afterStop);
    EXPECT_EQ(callsAfterStop.load(), 0);
}

TEST(ThreadDisplayLink, StartingTwiceKeepsOneThreadAndItRestartsAfterAStop) {
    std::atomic<int> rateReads{0};
    ThreadDisplayLink link([&rateReads] {
        ++rateReads;
        return 0.0; // unknown: 60 Hz
    });
    std::atomic<int> calls{0};
    link.setOutputCallback([&calls] { ++calls; });
    link.start();
    link.start();
    EXPECT_EQ(rateReads.load(), 1);
    link.stop();
    link.stop();
    calls = 0;
    link.start();
    std::this_thread::sleep_for(200ms);
    link.stop();
    EXPECT_GT(calls.load(), 0);
    EXPECT_EQ(rateReads.load(), 2) << "the rate is read again at each start";
}

TEST(ThreadDisplayLink, WithoutACallbackItDoesNotStart) {
    ThreadDisplayLink link([] { return 60.0; });
    EXPECT_FALSE(link.start());
    EXPECT_FALSE(link.isRunning());
    link.stop();
}

TEST(TimerDisplayLink, CallsBackOnTheMainThreadAtAboutTheRefreshRateUntilStopped) {
    TimerDisplayLink link([] { return 100.0; });
    EXPECT_FALSE(link.start()) << "without a callback it does not start";
    int calls = 0;
    bool onMainThread = true;
    link.setOutputCallback([&] {
        onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
        ++calls;
    });
    EXPECT_TRUE(link.callsBackOnMainThread());
    EXPECT_TRUE(link.start());
    EXPECT_TRUE(link.start());
    EXPECT_TRUE(link.isRunning());
    QTest::qWait(500);
    link.stop();
    EXPECT_FALSE(link.isRunning());
    EXPECT_TRUE(onMainThread);
    // About 50 calls in half a second at 100 Hz; a loaded machine may manage fewer.
    EXPECT_GE(calls, 10);
    EXPECT_LE(calls, 60);
    const int stoppedAt = calls;
    QTest::qWait(100);
    EXPECT_EQ(calls, stoppedAt) << "no calls after the stop";
}
