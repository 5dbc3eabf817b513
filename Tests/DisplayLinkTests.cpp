#include "DisplayLink.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

// The link is measured against a witness: a timer of the same event loop at the same rate, so
// that a loaded machine slows both alike, and "no call after the stop" is seen against calls of
// the witness that the link would have matched.
TEST(TimerDisplayLink, CallsBackOnTheMainThreadAtTheRefreshRateUntilStopped) {
    TimerDisplayLink link([] { return 100.0; });
    EXPECT_FALSE(link.start()) << "without a callback it does not start";
    int calls = 0;
    bool onMainThread = true;
    link.setOutputCallback([&] {
        onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
        ++calls;
    });
    QTimer witness;
    witness.setTimerType(Qt::PreciseTimer);
    int witnessed = 0;
    QObject::connect(&witness, &QTimer::timeout, [&witnessed] { ++witnessed; });

    EXPECT_TRUE(link.start());
    EXPECT_TRUE(link.start()) << "starting a running link changes nothing";
    EXPECT_TRUE(link.isRunning());
    witness.start(10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return witnessed >= 30; }, 10000));
    EXPECT_TRUE(onMainThread);
    // As many calls as the witness's, give or take a few late ones.
    EXPECT_GE(calls, witnessed * 2 / 3);
    EXPECT_LE(calls, witnessed * 3 / 2);

    link.stop();
    EXPECT_FALSE(link.isRunning());
    const int stoppedAt = calls;
    witnessed = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return witnessed >= 10; }, 10000));
    EXPECT_EQ(calls, stoppedAt) << "no calls after the stop";
}
