#pragma once

#include "ChildProcess.h"
#include "XSession.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>

// How long a test waits for what should come at once on an idle machine: long, since a
// sanitizer build among tests in parallel on two cores is slow, and a wait that succeeds ends
// as soon as it does.
constexpr int waitLimit = 10000;

// The one way a test waits: runs this thread's events until the condition holds, and says
// whether it came within the time. A test never waits a fixed time and then looks: it waits
// for what it can observe (a signal, a file's bytes, a window property). To show that
// something did not happen, it waits for an event that must come after it (see
// FileChangeWitness, XSession::ping) and then looks.
bool eventually(const std::function<bool()>& condition, int milliseconds = waitLimit);

// A missing tool (a window manager, a validator) skips a test on a developer's machine, but
// fails it where every tool must be there: `make test` sets SAYVANE_REQUIRE_TOOLS, since there
// a missing tool is a broken set-up, not a reason to test less.
bool toolsRequired();
#define SAYVANE_REQUIRE_TOOL(found, what)                                                          \
    do {                                                                                           \
        if (!(found)) {                                                                            \
            if (toolsRequired())                                                                   \
                FAIL() << (what) << " is missing";                                                 \
            GTEST_SKIP() << (what) << " is missing";                                               \
        }                                                                                          \
    } while (false)

// A home folder of its own for one test; $HOME points at it while the object lives.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    QString path() const { return folder.path(); }
    QString quotesFolder() const;
    QString quotesFile() const;
    // Lets every user into the home, ~/.config and the quotes folder, for tests that act as
    // another user.
    void shareWithOtherUsers() const;

private:
    QTemporaryDir folder;
    QByteArray previousHome;
};

// Everything written to standard output (or the stream given, such as stderr) while the object
// lives.
class CapturedStdout {
public:
    explicit CapturedStdout(std::FILE* stream = stdout);
    ~CapturedStdout();
    CapturedStdout(const CapturedStdout&) = delete;
    CapturedStdout& operator=(const CapturedStdout&) = delete;

    QString text() const;
    QStringList lines() const;

private:
    QTemporaryDir folder;
    QString capturePath;
    std::FILE* stream;
    int savedDescriptor = -1;
};

// Points the process at the offscreen platform (unless another is chosen) and at a home folder
// of its own, so that no test or benchmark ever touches the real user's files or settings. Call
// before the QApplication is made.
void isolateTestProcess(const QTemporaryDir& home);

// Runs the main queue until no item is left (items that items submit included), waiting for
// the background thread's work, whose results come through the queue.
void runMainQueue();

// Runs the body in a child process as an unprivileged user when this process is root (as it is
// in CI), since root may read and write files whatever their permissions; otherwise runs it
// here. Returns the body's result, or -1 when the child could not run it.
int asUnprivilegedUser(const std::function<int()>& body);
bool runningAsRoot();

QByteArray readBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);
// Writes the bytes beside the file and renames them over it, as editors and sync tools save.
bool replaceByRename(const QString& path, const QByteArray& bytes);
bool waitForFile(const QString& path, int milliseconds = waitLimit);

// Follows a file as the code under test does (its folder and itself, through inotify) but
// settles longer: it reports a burst of changes 600 ms after the last event of it, where the
// program's watchers take 150 ms or less. Every watcher gets the same events in the same turn
// of the event loop, so once the witness reports a burst, the code that follows the file has
// had it (its work on the main queue too, once runMainQueue() has run). A test proves that
// nothing came of a change by waiting for the witness and then looking. Written on
// QFileSystemWatcher, not on the program's own FileWatcher, so that a fault there cannot hide.
class FileChangeWitness {
public:
    explicit FileChangeWitness(const QString& path, int settleMilliseconds = 600);
    ~FileChangeWitness();
    // Waits for the end of the next burst of changes (begun before the call or after);
    // false when none came within the time.
    bool waitForChange(int milliseconds = waitLimit);

private:
    struct Watch;
    std::unique_ptr<Watch> watch;
    int waitedFor = 0;
};

// The environment the built program gets in a test: the given home and runtime folder, no
// display, no platform and no configuration folder of the caller's.
QProcessEnvironment programEnvironment(const QString& home, const QString& runtime);

#include "DisplayLink.h"
#include "MarqueeView.h"
#include "MediaClock.h"

#include <atomic>
#include <memory>

// A clock that moves only when the test says so.
class ManualClock final : public MediaClock {
public:
    double now() const override { return time.load(); }
    void advance(double seconds) { time.store(time.load() + seconds); }

private:
    std::atomic<double> time{1000.0};
};

// A display link whose ticks the test fires, on the test's own thread.
class ManualDisplayLink final : public DisplayLink {
public:
    void setOutputCallback(OutputCallback newCallback) override {
        callback = std::move(newCallback);
    }
    bool start() override {
        running = true;
        return true;
    }
    void stop() override { running = false; }
    bool isRunning() const override { return running; }

    // Calls back once if running; returns whether it did.
    bool fire() {
        if (!running || !callback)
            return false;
        callback();
        return true;
    }

private:
    OutputCallback callback;
    bool running = false;
};

// Timing for a marquee driven by hand: the clock, and the link of the last view made.
struct ManualTiming {
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    std::shared_ptr<ManualDisplayLink*> lastLink = std::make_shared<ManualDisplayLink*>(nullptr);

    MarqueeTiming timing() const;
    ManualDisplayLink& link() const { return **lastLink; }
};
