#include "ObservableObject.h"
#include "Published.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct Model : ObservableObject {
    Published<QStringList> list{this, {QStringLiteral("a"), QStringLiteral("b")}};
    Published<int> number{this, 1};
};

// Records, at every signal, the value the observer can read at that moment.
struct Recorder {
    explicit Recorder(Model& model) {
        QObject::connect(&model, &ObservableObject::objectWillChange,
                         [this, &model] { seen.push_back(model.list.get()); });
    }
    std::vector<QStringList> seen;
};

} // namespace

TEST(Published, EveryKindOfStoreSignalsBeforeTheValueChanges) {
    Model model;
    Recorder recorder(model);
    const QStringList start{QStringLiteral("a"), QStringLiteral("b")};

    model.list = {QStringLiteral("x")};
    ASSERT_EQ(recorder.seen.size(), 1u);
    EXPECT_EQ(recorder.seen[0], start);

    EXPECT_TRUE(model.list.replace(0, QStringLiteral("y")));
    ASSERT_EQ(recorder.seen.size(), 2u);
    EXPECT_EQ(recorder.seen[1], QStringList{QStringLiteral("x")});

    model.list.append(QStringLiteral("z"));
    ASSERT_EQ(recorder.seen.size(), 3u);
    EXPECT_EQ(recorder.seen[2], QStringList{QStringLiteral("y")});

    EXPECT_TRUE(model.list.removeAt(0));
    ASSERT_EQ(recorder.seen.size(), 4u);
    EXPECT_EQ(recorder.seen[3], (QStringList{QStringLiteral("y"), QStringLiteral("z")}));
    EXPECT_EQ(model.list.get(), QStringList{QStringLiteral("z")});
}

TEST(Published, EqualValuesAreStoredAndSignalledAgain) {
    Model model;
    int signals = 0;
    QObject::connect(&model, &ObservableObject::objectWillChange, [&signals] { ++signals; });
    model.number = 1;
    model.number = 1;
    model.list = model.list.get();
    EXPECT_TRUE(model.list.replace(1, QStringLiteral("b")));
    EXPECT_EQ(signals, 4);
}

TEST(Published, PositionsOutsideTheListChangeNothingAndSendNothing) {
    Model model;
    int signals = 0;
    QObject::connect(&model, &ObservableObject::objectWillChange, [&signals] { ++signals; });
    EXPECT_FALSE(model.list.replace(2, QStringLiteral("c")));
    EXPECT_FALSE(model.list.replace(-1, QStringLiteral("c")));
    EXPECT_FALSE(model.list.removeAt(2));
    EXPECT_FALSE(model.list.removeAt(-1));
    EXPECT_EQ(signals, 0);
    EXPECT_EQ(model.list.get(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST(Published, DidSetRunsAfterEachStoreWithTheNewValue) {
    ObservableObject owner;
    std::vector<std::string> log;
    Published<int> value(
        &owner, 0, [&log](const int& now) { log.push_back("did set " + std::to_string(now)); });
    QObject::connect(&owner, &ObservableObject::objectWillChange, [&log, &value] {
        log.push_back("will change from " + std::to_string(value.get()));
    });
    value = 5;
    value = 5;
    EXPECT_EQ(log, (std::vector<std::string>{"will change from 0", "did set 5",
                                             "will change from 5", "did set 5"}));
}
