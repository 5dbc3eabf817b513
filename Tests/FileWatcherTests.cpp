#include "FileWatcher.h"
#include "Files.h"
#include "TestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Waits for one changed() and lets any echo of the same burst arrive, returning how many came.
int changesWithin(QSignalSpy& spy, int milliseconds = 3000) {
    spy.clear();
    if (!spy.wait(milliseconds))
        return 0;
    spy.wait(400);
    return static_cast<int>(spy.count());
}

} // namespace

TEST(FileWatcher, FollowsWritesInPlaceReplacementsByRenameAndRecreation) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"quotes.json"_s);
    writeBytes(path, "one");
    FileWatcher watcher(path, nullptr, 50);
    QSignalSpy spy(&watcher, &FileWatcher::changed);

    writeBytes(path, "two");
    EXPECT_EQ(changesWithin(spy), 1) << "a write in place";

    // Editors and sync tools write a new file and rename it over the old one, more than once.
    for (const char* content : {"three", "four"}) {
        ASSERT_TRUE(replaceByRename(path, content));
        EXPECT_GE(changesWithin(spy), 1) << "a replacement by rename: " << content;
    }
    writeBytes(path, "five");
    EXPECT_GE(changesWithin(spy), 1) << "a write in place after the renames";

    ASSERT_TRUE(QFile::remove(path));
    EXPECT_GE(changesWithin(spy), 1) << "a removal";
    writeBytes(path, "six");
    EXPECT_GE(changesWithin(spy), 1) << "created again";
}
