#include "SingleInstance.h"
#include "TestSupport.h"

#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

TEST(SingleInstance, TheSecondAsksTheFirstToComeForward) {
    QTemporaryDir folder;
    SingleInstance first(folder.path());
    int activations = 0;
    QObject::connect(&first, &SingleInstance::activationRequested,
                     [&activations] { ++activations; });
    ASSERT_TRUE(first.claim());

    SingleInstance second(folder.path());
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(QTest::qWaitFor([&activations] { return activations == 1; }, 3000));
}

TEST(SingleInstance, ALockLeftByAProcessThatIsGoneDoesNotCount) {
    QTemporaryDir folder;
    const QString lockPath = folder.filePath(u"sayvane.lock"_s);
    const pid_t child = ::fork();
    if (child == 0) {
        QLockFile lock(lockPath);
        lock.tryLock(0);
        ::_exit(0); // a crash: the lock file stays behind
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(QFileInfo::exists(lockPath));

    SingleInstance instance(folder.path());
    EXPECT_TRUE(instance.claim());
}

TEST(SingleInstance, WithoutAUsableRuntimeFolderItStaysInTheUsersOwnFolders) {
    QTemporaryDir folder;
    // Not a folder: Qt gives no runtime location for it.
    writeBytes(folder.filePath(u"not-a-folder"_s), "x");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.filePath(u"not-a-folder"_s)));
    // Qt falls back to a folder of the user's own in /tmp, or gives none; either way the lock
    // never lands in the current folder.
    const QString chosen = SingleInstance::userFolder();
    EXPECT_TRUE(QDir::isAbsolutePath(chosen)) << chosen.toStdString();
    EXPECT_NE(chosen, folder.filePath(u"not-a-folder"_s));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
    ::chmod(QFile::encodeName(folder.path()).constData(), 0700);
    EXPECT_EQ(SingleInstance::userFolder(), folder.path());
}

#ifdef SAYVANE_EXECUTABLE
TEST(SingleInstance, ASecondLaunchOfTheProgramLeavesWithStatusZero) {
    TempHome home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"XDG_RUNTIME_DIR"_s, home.path());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QStringLiteral(SAYVANE_EXECUTABLE), {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QFileInfo::exists(home.path() + u"/sayvane.socket"_s); }, 10000));

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(SAYVANE_EXECUTABLE), {});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_TRUE(first.readAllStandardOutput().isEmpty()) << "start-up prints nothing";
}
#endif
