#include "FileWatcher.h"
#include "Files.h"
#include "TestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(FileWatcher, FollowsWritesInPlaceReplacementsByRenameAndRecreation) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"quotes.json"_s);
    writeBytes(path, "one");
    FileWatcher watcher(path, nullptr, 50);
    QSignalSpy spy(&watcher, &FileWatcher::changed);
    // How many changed() a change gives: counted once the witness, which settles longer, has
    // seen the same burst, so that an echo of it would have come before.
    FileChangeWitness witness(path);
    auto changesOf = [&](const std::function<void()>& change) {
        spy.clear();
        change();
        return witness.waitForChange() ? int(spy.count()) : -1;
    };

    EXPECT_EQ(changesOf([&] { writeBytes(path, "two"); }), 1) << "a write in place";
    // Editors and sync tools write a new file and rename it over the old one, more than once.
    for (const char* content : {"three", "four"}) {
        EXPECT_GE(changesOf([&] { ASSERT_TRUE(replaceByRename(path, content)); }), 1)
            << "a replacement by rename: " << content;
    }
    EXPECT_GE(changesOf([&] { writeBytes(path, "five"); }), 1)
        << "a write in place after the renames";
    EXPECT_GE(changesOf([&] { ASSERT_TRUE(QFile::remove(path)); }), 1) << "a removal";
    EXPECT_GE(changesOf([&] { writeBytes(path, "six"); }), 1) << "created again";
}
