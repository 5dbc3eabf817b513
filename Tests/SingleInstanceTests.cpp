#include "QuoteManager.h"
#include "QuotesDocument.h"
#include "SingleInstance.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <future>
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
    EXPECT_TRUE(eventually([&activations] { return activations == 1; }));
}

TEST(SingleInstance, EachRequestReachesTheRunningOneAsItsOwnSignal) {
    QTemporaryDir folder;
    SingleInstance running(folder.path());
    QStringList heard;
    QObject::connect(&running, &SingleInstance::activationRequested,
                     [&heard] { heard << u"show"_s; });
    QObject::connect(&running, &SingleInstance::reloadRequested,
                     [&heard] { heard << u"reload"_s; });
    QObject::connect(&running, &SingleInstance::pauseToggleRequested,
                     [&heard] { heard << u"pause"_s; });
    ASSERT_TRUE(running.claim());
    using Request = SingleInstance::Request;
    for (const Request request : {Request::togglePause, Request::reload, Request::show}) {
        // The asker waits for the answer, which this thread's event loop gives.
        auto answer = std::async(std::launch::async, [&folder, request] {
            return SingleInstance::ask(folder.path(), request);
        });
        EXPECT_TRUE(eventually([&answer] {
            return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        }));
        EXPECT_EQ(answer.get(), SingleInstance::Answer::done);
    }
    EXPECT_EQ(heard, (QStringList{u"pause"_s, u"reload"_s, u"show"_s}));
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
namespace {

// The program in a child process, in a home folder of its own: offscreen, on the given display,
// or with none at all ("none").
struct Program {
    QProcessEnvironment environment;
    ChildProcess child;

    Program(const QString& home, const QString& runtime, const QString& display = {})
        : environment(programEnvironment(home, runtime)) {
        if (display.isEmpty())
            environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        else if (display != u"none"_s)
            environment.insert(u"DISPLAY"_s, display);
        child.setEnvironment(environment);
    }
    bool start() { return child.start(QStringLiteral(SAYVANE_EXECUTABLE)); }
    // Runs it to the end; returns its exit status, or -1 when it did not end.
    int run() { return start() ? child.waitForExit() : -1; }
    // Ends it as a desktop ends it; its exit status.
    int terminate() {
        child.signal(SIGTERM);
        return child.waitForExit();
    }
};

QString runtimeFolder(const QString& parent, const QString& name) {
    const QString folder = parent + u'/' + name;
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    return folder;
}

} // namespace

TEST(SingleInstance, ASecondLaunchOfTheProgramLeavesWithStatusZero) {
    TempHome home;
    Program first(home.path(), home.path());
    first.start();
    ASSERT_TRUE(waitForFile(home.path() + u"/sayvane.socket"_s));

    Program second(home.path(), home.path());
    EXPECT_EQ(second.run(), 0);
    EXPECT_TRUE(first.child.isRunning());
    EXPECT_TRUE(second.child.process().readAllStandardOutput().isEmpty());

    EXPECT_EQ(first.terminate(), 0);
    EXPECT_TRUE(first.child.process().readAllStandardOutput().isEmpty())
        << "start-up prints nothing";
}

TEST(SingleInstance, ASecondSessionOnTheSameQuotesFileSaysSoAndFails) {
    TempHome home;
    Program first(home.path(), runtimeFolder(home.path(), u"a"_s));
    first.start();
    ASSERT_TRUE(waitForFile(home.path() + u"/a/sayvane.socket"_s));

    Program second(home.path(), runtimeFolder(home.path(), u"b"_s));
    EXPECT_EQ(second.run(), 1);
    const QString error = second.child.errors();
    EXPECT_TRUE(error.contains(u"already runs"_s) &&
                error.contains(home.quotesFolder() + u"/sayvane.lock"_s))
        << error.toStdString();
    EXPECT_TRUE(first.child.isRunning());
    EXPECT_EQ(first.terminate(), 0);
}

TEST(SingleInstance, WithoutADisplayTheProgramSaysWhichAndEndsWithStatusOne) {
    TempHome home;
    for (const QString& display : {u"none"_s, u":1999"_s}) {
        Program program(home.path(), runtimeFolder(home.path(), u"r"_s), display);
        EXPECT_EQ(program.run(), 1) << display.toStdString();
        const QString error = program.child.errors();
        EXPECT_TRUE(error.startsWith(u"sayvane: cannot open the display"_s) &&
                    error.contains(u"DISPLAY"_s) && error.count(u'\n') == 1)
            << error.toStdString();
    }
}

TEST(SingleInstance, SigtermSavesAnEditTypedButNotSubmitted) {
    SAYVANE_REQUIRE_TOOL(!QStandardPaths::findExecutable(u"xdotool"_s).isEmpty(), "xdotool");
    XSession x(u"1024x768x24"_s);
    ASSERT_TRUE(x.isReady()) << x.error().toStdString();

    TempHome home;
    const QString runtime = runtimeFolder(home.path(), u"r"_s);
    Program program(home.path(), runtime, x.display());
    program.start();
    // Generous waits: a sanitizer build among tests in parallel starts slowly.
    ASSERT_TRUE(waitForFile(runtime + u"/sayvane.socket"_s, 30000));
    // A second launch brings the editor forward.
    ASSERT_EQ(Program(home.path(), runtime, x.display()).run(), 0);
    QString window;
    ASSERT_TRUE(eventually(
        [&] {
            window = x.xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Edit Quotes$"_s})
                         .section(u'\n', 0, 0);
            return !window.isEmpty();
        },
        30000));
    const quint32 editor = window.toUInt();
    // Into the first row's field (below the menu bar and the search field), to its end, and
    // type without Return; each step once the program has handled the input before it (it
    // answers a ping after that input).
    ASSERT_TRUE(x.ping(editor, 30000));
    x.xdotool({u"windowfocus"_s, u"--sync"_s, window});
    x.xdotool({u"mousemove"_s, u"--window"_s, window, u"100"_s, u"72"_s, u"click"_s, u"1"_s});
    ASSERT_TRUE(x.ping(editor));
    x.xdotool({u"key"_s, u"End"_s});
    x.xdotool({u"type"_s, u"--delay"_s, u"30"_s, u" (unsaved)"_s});
    ASSERT_TRUE(x.ping(editor));
    const QByteArray before = readBytes(home.quotesFile());

    EXPECT_EQ(program.terminate(), 0);
    QStringList expected = QuoteManager::defaultQuotes;
    expected[0] += u" (unsaved)"_s;
    EXPECT_EQ(readBytes(home.quotesFile()), QuotesDocument::encode(expected))
        << "before: " << before.toStdString() << program.child.errors().toStdString();
}
#endif

// The process id in a lock left behind now belongs to another live process: nobody holds the
// lock, so nothing runs, whatever the file says.
TEST(SingleInstance, ALockNobodyHoldsCountsForNothingWhateverProcessIdItNames) {
    QTemporaryDir folder;
    const QString lockPath = folder.filePath(u"sayvane.lock"_s);
    writeBytes(lockPath, QByteArray::number(::getpid()) + "\nsayvane\n" +
                             QSysInfo::machineHostName().toUtf8() + '\n');
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(SingleInstance::ask(folder.path(), SingleInstance::Request::reload),
              SingleInstance::Answer::noneRunning);
    EXPECT_LT(timer.elapsed(), 2000);
    SingleInstance instance(folder.path());
    EXPECT_TRUE(instance.claim());
    EXPECT_EQ(SingleInstance::ask(folder.path(), SingleInstance::Request::reload, 200),
              SingleInstance::Answer::noAnswer)
        << "a held lock counts, though nobody listens here";
}
