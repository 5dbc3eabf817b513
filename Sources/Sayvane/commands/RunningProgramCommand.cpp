#include "RunningProgramCommand.h"

#include "CommandOutput.h"
#include "DetachedProgram.h"
#include "Files.h"
#include "QuoteManager.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cerrno>
#include <csignal>

using namespace Qt::StringLiterals;
using namespace CommandOutput;

namespace RunningProgramCommand {

int run(SingleInstance::Request request) {
    const QString folder = SingleInstance::userFolder();
    const QString lockFolder = QuoteManager::quotesFolder(Files::homeFolder());
    switch (SingleInstance::ask(folder, request, 3000, lockFolder)) {
    case SingleInstance::Answer::done:
        return done;
    case SingleInstance::Answer::noAnswer:
        printError(u"The running Sayvane did not answer."_s);
        return failed;
    case SingleInstance::Answer::noneRunning:
        break;
    }
    // No ticker runs, so there is none to pause or let go on.
    if (request == SingleInstance::Request::togglePause) {
        printError(u"Sayvane is not running."_s);
        return failed;
    }
    // None running: a new copy loads the file anyway; for a window, ask it once it listens.
    const qint64 pid = DetachedProgram::start();
    if (pid == 0) {
        printError(u"Could not start Sayvane."_s);
        return failed;
    }
    if (request == SingleInstance::Request::reload)
        return done;
    const QDeadlineTimer deadline(15000);
    // Until it listens, or ends (without a display, say: it has said why on standard error).
    while (!deadline.hasExpired() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
        if (SingleInstance::ask(folder, request, 1000, lockFolder) == SingleInstance::Answer::done)
            return done;
        QThread::msleep(100);
    }
    printError(request == SingleInstance::Request::preferences
                   ? u"Sayvane was started but did not open its Preferences."_s
                   : u"Sayvane was started but did not open its editor."_s);
    return failed;
}

} // namespace RunningProgramCommand
