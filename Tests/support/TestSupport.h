#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

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

// Runs the main queue until no item is left (items that items submit included).
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
bool waitForFile(const QString& path, int milliseconds = 10000);

// The environment the built program gets in a test: the given home and runtime folder, no
// display, no platform and no configuration folder of the caller's.
QProcessEnvironment programEnvironment(const QString& home, const QString& runtime);

// Starts Xvfb on a display number it picks itself, at the given size ("1280x800x24"). Returns
// the display (":N"), or nothing when Xvfb is missing or did not start.
QString startXvfb(QProcess& server, const QString& size);

// The main function of a test program that runs its cases on an X server of its own: Xvfb at
// the given size (offscreen when Xvfb is missing, and for listing the tests), a QApplication
// on it, an isolated home, no desktop of the caller's.
int runTestsUnderXvfb(int argc, char* argv[], const QString& size);

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
