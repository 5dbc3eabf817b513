#include "ChildProcess.h"

#include <QDeadlineTimer>

#include <csignal>
#include <unistd.h>

ChildProcess::~ChildProcess() {
    stop();
}

void ChildProcess::setEnvironment(const QProcessEnvironment& newEnvironment) {
    environment = newEnvironment;
}

bool ChildProcess::start(const QString& program, const QStringList& arguments, Output output) {
    child.setChildProcessModifier([] { ::setpgid(0, 0); });
    child.setProcessEnvironment(environment.value_or(QProcessEnvironment::systemEnvironment()));
    if (output == Output::discard) {
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.setStandardOutputFile(QProcess::nullDevice());
    } else {
        child.setProcessChannelMode(QProcess::SeparateChannels);
    }
    child.start(program, arguments);
    return child.waitForStarted(10000);
}

std::optional<QString> ChildProcess::nextLine(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!child.canReadLine()) {
        if (deadline.hasExpired() || !child.waitForReadyRead(int(deadline.remainingTime())))
            return std::nullopt;
    }
    QString line = QString::fromUtf8(child.readLine());
    if (line.endsWith(u'\n'))
        line.chop(1);
    return line;
}

std::optional<QString> ChildProcess::lineWhere(const std::function<bool(const QString&)>& test,
                                               int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (auto line = nextLine(std::max<int>(1, int(deadline.remainingTime())))) {
        if (test(*line))
            return line;
    }
    return std::nullopt;
}

QString ChildProcess::errors() {
    return QString::fromUtf8(child.readAllStandardError());
}

void ChildProcess::signal(int number) {
    if (isRunning())
        ::kill(pid_t(child.processId()), number);
}

int ChildProcess::waitForExit(int milliseconds) {
    if (!child.waitForFinished(milliseconds) && isRunning())
        return -1;
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

void ChildProcess::stop() {
    if (!isRunning())
        return;
    // Its group; the program alone when it left the group it was started in.
    const pid_t pid = pid_t(child.processId());
    const pid_t target = ::getpgid(pid) == pid ? -pid : pid;
    ::kill(target, SIGTERM);
    // A stopped program takes SIGTERM only once continued.
    ::kill(target, SIGCONT);
    if (!child.waitForFinished(3000)) {
        ::kill(target, SIGKILL);
        child.waitForFinished(3000);
    }
}

ProgramRun runProgram(const QString& program, const QStringList& arguments,
                      const std::optional<QProcessEnvironment>& environment, int milliseconds) {
    ChildProcess run;
    if (environment)
        run.setEnvironment(*environment);
    if (!run.start(program, arguments))
        return {};
    const int status = run.waitForExit(milliseconds);
    return {status, QString::fromUtf8(run.process().readAllStandardOutput()), run.errors()};
}
