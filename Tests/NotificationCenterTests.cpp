#include "NotificationCenter.h"
#include "TestSupport.h"

#include <QThread>

#include <gtest/gtest.h>

#include <thread>

TEST(NotificationCenter, DeliversEachPostingOnceToEveryObserverOfTheName) {
    NotificationCenter center;
    int first = 0;
    int second = 0;
    int other = 0;
    center.addObserver(QStringLiteral("LanguageChanged"), [&first] { ++first; });
    center.addObserver(QStringLiteral("LanguageChanged"), [&second] { ++second; });
    center.addObserver(QStringLiteral("SomethingElse"), [&other] { ++other; });

    center.post(QStringLiteral("LanguageChanged"));
    center.post(QStringLiteral("LanguageChanged"));
    EXPECT_EQ(first, 0) << "observers run on the main queue, after the posting call";
    runMainQueue();
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(other, 0);
}

TEST(NotificationCenter, NamesMatchExactly) {
    NotificationCenter center;
    int calls = 0;
    center.addObserver(QStringLiteral("LanguageChanged"), [&calls] { ++calls; });
    center.post(QStringLiteral("languagechanged"));
    center.post(QStringLiteral("LanguageChanged "));
    runMainQueue();
    EXPECT_EQ(calls, 0);
}

TEST(NotificationCenter, APostingFromAnotherThreadIsDeliveredOnTheMainThread) {
    NotificationCenter center;
    QThread* deliveredOn = nullptr;
    center.addObserver(QStringLiteral("Ping"),
                       [&deliveredOn] { deliveredOn = QThread::currentThread(); });
    std::thread poster([&center] { center.post(QStringLiteral("Ping")); });
    poster.join();
    runMainQueue();
    EXPECT_EQ(deliveredOn, QThread::currentThread());
}

TEST(NotificationCenter, TheDefaultCenterIsOneInstance) {
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}
