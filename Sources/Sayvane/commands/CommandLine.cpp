#include "CommandLine.h"

#include "AddCommand.h"
#include "BarCommand.h"
#include "CommandOutput.h"
#include "CommandRequest.h"
#include "Console.h"
#include "ImportCommand.h"
#include "ListCommand.h"
#include "PrintCommand.h"
#include "RunningProgramCommand.h"
#include "SettingsCommand.h"

#include <QCoreApplication>

#include <csignal>

using namespace Qt::StringLiterals;

namespace CommandLine {

namespace {

// Qt's own options, which QGuiApplication takes out of the arguments; the first group takes
// a value.
bool isQtOption(const QString& argument, bool* takesValue) {
    static const QStringList withValue = {u"platform"_s,
                                          u"platformpluginpath"_s,
                                          u"platformtheme"_s,
                                          u"plugin"_s,
                                          u"qwindowgeometry"_s,
                                          u"qwindowicon"_s,
                                          u"qwindowtitle"_s,
                                          u"session"_s,
                                          u"display"_s,
                                          u"geometry"_s,
                                          u"style"_s,
                                          u"stylesheet"_s,
                                          u"name"_s,
                                          u"title"_s};
    static const QStringList flags = {u"reverse"_s, u"widgetcount"_s, u"nograb"_s, u"dograb"_s,
                                      u"sync"_s};
    if (!argument.startsWith(u'-'))
        return false;
    QString name = argument.mid(argument.startsWith(u"--"_s) ? 2 : 1);
    const qsizetype equals = name.indexOf(u'=');
    *takesValue = false;
    if (equals >= 0)
        return withValue.contains(name.left(equals));
    if (flags.contains(name))
        return true;
    *takesValue = withValue.contains(name);
    return *takesValue;
}

} // namespace

bool startsProgram(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        bool takesValue = false;
        if (!isQtOption(QString::fromLocal8Bit(argv[i]), &takesValue))
            return false;
        if (takesValue)
            ++i;
    }
    return true;
}

int run(int argc, char* argv[]) {
    // Whatever started this process may have left SIGPIPE ignored; the feed chooses its own.
    std::signal(SIGPIPE, SIG_DFL);
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(u"Sayvane"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(SAYVANE_VERSION));
    printLinesToStandardError();

    const auto parsed = CommandRequest::parse(QCoreApplication::arguments());
    if (const auto* misunderstood = std::get_if<CommandRequest::Misunderstood>(&parsed))
        return CommandOutput::notUnderstood(misunderstood->message);
    const CommandRequest& request = std::get<CommandRequest>(parsed);
    using Mode = CommandRequest::Mode;
    switch (request.mode) {
    case Mode::help:
        CommandOutput::printOut(request.helpText.trimmed());
        return CommandOutput::done;
    case Mode::version:
        CommandOutput::printOut(QCoreApplication::applicationName() + u' ' +
                                QCoreApplication::applicationVersion());
        return CommandOutput::done;
    case Mode::bar:
        return BarCommand::run(request.bar);
    case Mode::print:
        return PrintCommand::run(request.daily);
    case Mode::list:
        return ListCommand::run();
    case Mode::add:
        return AddCommand::run(request.argument);
    case Mode::import:
        return ImportCommand::run(request.argument);
    case Mode::edit:
        return RunningProgramCommand::run(SingleInstance::Request::show);
    case Mode::reload:
        return RunningProgramCommand::run(SingleInstance::Request::reload);
    case Mode::preferences:
        return RunningProgramCommand::run(SingleInstance::Request::preferences);
    case Mode::set:
        return SettingsCommand::set(request.assignments);
    case Mode::get:
        return SettingsCommand::get(request.argument);
    case Mode::togglePause:
        return RunningProgramCommand::run(SingleInstance::Request::togglePause);
    }
    return CommandOutput::misunderstood;
}

} // namespace CommandLine
