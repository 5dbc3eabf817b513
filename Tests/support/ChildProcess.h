#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// A program a test starts: the built program, a window manager, a panel, a bus, a shell. It runs
// in a process group of its own, so that stopping it stops whatever it started too, and it is
// stopped (SIGTERM to the group, SIGKILL three seconds later) when the object goes.
class ChildProcess {
public:
    // What becomes of its output: kept for the test to read (standard output line by line,
    // standard error whole), or thrown away (a service the test only needs running; its
    // standard error then goes to the test's, where a failure's log shows it).
    enum class Output { keep, discard };

    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The environment of the next start; this process's own (as it is then) by default.
    void setEnvironment(const QProcessEnvironment& environment);
    // Starts it and waits until it runs; false when it could not start.
    bool start(const QString& program, const QStringList& arguments = {},
               Output output = Output::keep);
    bool isRunning() const { return child.state() != QProcess::NotRunning; }
    qint64 pid() const { return child.processId(); }

    // The next line of standard output without its line end, or nothing when no whole line
    // came within the time.
    std::optional<QString> nextLine(int milliseconds = 10000);
    // The first line to come within the time that passes the test, or nothing.
    std::optional<QString> lineWhere(const std::function<bool(const QString&)>& test,
                                     int milliseconds = 10000);
    // Standard error so far.
    QString errors();
    void write(const QByteArray& bytes) { child.write(bytes); }

    // A signal to the program alone (not its group): SIGTERM to see it end as a desktop ends
    // it, SIGSTOP and SIGCONT, SIGUSR1.
    void signal(int number);
    // Waits for its end: its exit status, or -1 when it did not end within the time or
    // ended by a signal.
    int waitForExit(int milliseconds = 10000);
    // Ends it and everything it started.
    void stop();

    // For what the above does not cover.
    QProcess& process() { return child; }

private:
    QProcess child;
    std::optional<QProcessEnvironment> environment;
};

// What a program that ran to its end printed, and its exit status (-1 when it did not end
// within the time or ended by a signal).
struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

// Runs a program to its end, as a shell runs a command. The environment is this process's own
// unless one is given.
ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      const std::optional<QProcessEnvironment>& environment = std::nullopt,
                      int milliseconds = 20000);
