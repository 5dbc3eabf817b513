#include "Files.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

TEST(Files, WriteCreatesAndReplacesWholeFilesWithoutLeavingTemporaries) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"quotes.json"_s);
    QString error;
    ASSERT_TRUE(Files::writeAtomically(path, "first", &error)) << error.toStdString();
    ASSERT_TRUE(Files::writeAtomically(path, "second, longer", &error)) << error.toStdString();
    ASSERT_TRUE(Files::writeAtomically(path, "3", &error)) << error.toStdString();
    EXPECT_EQ(readBytes(path), "3");
    EXPECT_EQ(entries(folder.path()), QStringList{u"quotes.json"_s});
}

TEST(Files, WriteKeepsPermissionsAndSymbolicLinks) {
    QTemporaryDir folder;
    const QString target = folder.filePath(u"elsewhere/real.json"_s);
    const QString link = folder.filePath(u"quotes.json"_s);
    writeBytes(target, "old");
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ASSERT_TRUE(QFile::link(target, link));

    QString error;
    ASSERT_TRUE(Files::writeAtomically(link, "new", &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readBytes(target), "new");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(Files, ADanglingLinkGetsItsTargetAndALoopOfLinksFails) {
    QTemporaryDir folder;
    const QString link = folder.filePath(u"quotes.json"_s);
    ASSERT_TRUE(QFile::link(folder.filePath(u"target.json"_s), link));
    QString error;
    ASSERT_TRUE(Files::writeAtomically(link, "made", &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readBytes(folder.filePath(u"target.json"_s)), "made");

    const QString a = folder.filePath(u"a"_s);
    const QString b = folder.filePath(u"b"_s);
    ASSERT_TRUE(QFile::link(b, a));
    ASSERT_TRUE(QFile::link(a, b));
    EXPECT_FALSE(Files::writeAtomically(a, "x", &error));
    EXPECT_TRUE(QFileInfo(a).isSymLink() && QFileInfo(b).isSymLink());
}

TEST(Files, WriteIntoAMissingFolderFailsNamingTheFile) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"gone/quotes.json"_s);
    QString error;
    EXPECT_FALSE(Files::writeAtomically(path, "x", &error));
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
}

TEST(Files, WriteDoesNotReplaceAReadOnlyFile) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"quotes.json"_s);
    writeBytes(path, "protected");
    ::chmod(QFile::encodeName(folder.path()).constData(), 0777);
    ::chmod(QFile::encodeName(path).constData(), 0444);
    const int result = asUnprivilegedUser([&path] {
        QString error;
        const bool written = Files::writeAtomically(path, "replaced", &error);
        return !written && error.contains(path) && error.contains(u"Permission denied"_s) ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readBytes(path), "protected");
}

TEST(Files, ReadDescribesWhatWentWrong) {
    QTemporaryDir folder;
    QString error;
    EXPECT_FALSE(Files::read(folder.filePath(u"missing.json"_s), &error));
    EXPECT_TRUE(error.contains(u"missing.json"_s) && error.contains(u"No such file"_s))
        << error.toStdString();
    EXPECT_FALSE(Files::read(folder.path(), &error));
    EXPECT_TRUE(error.contains(u"folder"_s)) << error.toStdString();

    const QString pipe = folder.filePath(u"pipe"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_FALSE(Files::read(pipe, &error)) << "a named pipe is refused, not waited on";
    EXPECT_TRUE(error.contains(u"not a regular file"_s)) << error.toStdString();
    ASSERT_TRUE(QFile::link(u"/dev/zero"_s, folder.filePath(u"zeros"_s)));
    EXPECT_FALSE(Files::read(folder.filePath(u"zeros"_s), &error)) << "a device is refused";

    writeBytes(folder.filePath(u"empty"_s), {});
    const auto empty = Files::read(folder.filePath(u"empty"_s), &error);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
}

TEST(Files, KeepCopyBesideNeverReplacesAnEarlierCopy) {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"quotes.json"_s);
    const QByteArray broken = "{\"quotes\": [1, 2, \xff";
    writeBytes(path, broken);

    QString error;
    const auto first = Files::keepCopyBeside(path, u"broken"_s, &error);
    const auto second = Files::keepCopyBeside(path, u"broken"_s, &error);
    ASSERT_TRUE(first && second) << error.toStdString();
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(first->startsWith(path + u".broken-"_s)) << first->toStdString();
    EXPECT_EQ(readBytes(*first), broken);
    EXPECT_EQ(readBytes(*second), broken);
    EXPECT_EQ(readBytes(path), broken) << "the file itself stays where it is";

    // Replacing the file afterwards leaves the copies as they were.
    ASSERT_TRUE(Files::writeAtomically(path, "new", &error));
    EXPECT_EQ(readBytes(*first), broken);
}

TEST(Files, WithoutHomeTheHomeFolderComesFromTheUserDatabase) {
    const QByteArray saved = qgetenv("HOME");
    qunsetenv("HOME");
    const struct passwd* entry = ::getpwuid(::getuid());
    ASSERT_TRUE(entry);
    EXPECT_EQ(Files::homeFolder(), QFile::decodeName(entry->pw_dir));
    qputenv("HOME", "");
    EXPECT_EQ(Files::homeFolder(), QFile::decodeName(entry->pw_dir));
    qputenv("HOME", saved);
    EXPECT_EQ(Files::homeFolder(), QFile::decodeName(saved));
}

TEST(Files, WriteRefusesWhatIsNotARegularFileAtTheEndOfALink) {
    QTemporaryDir folder;
    const QString pipe = folder.filePath(u"pipe"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString path = folder.filePath(u"quotes.json"_s);
    ASSERT_TRUE(QFile::link(pipe, path));
    QString error;
    EXPECT_FALSE(Files::writeAtomically(path, "x", &error));
    EXPECT_TRUE(error.contains(u"not a regular file"_s)) << error.toStdString();
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(pipe).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the pipe is still a pipe";
}
