#include "CommandRequest.h"

#include <QCommandLineParser>

#include <cmath>

using namespace Qt::StringLiterals;

std::variant<CommandRequest, CommandRequest::Misunderstood>
CommandRequest::parse(const QStringList& givenArguments) {
    using Mode = CommandRequest::Mode;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Your own quotes as a ticker. Without options, starts the program with its strip."_s);
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"Displays this help."_s);
    const QCommandLineOption version({u"v"_s, u"version"_s}, u"Displays version information."_s);
    const QCommandLineOption bar(
        u"bar"_s, u"Feeds a status bar: one line a step, forever. FORMAT is plain (the "
                  "default), waybar or i3bar."_s);
    const QCommandLineOption width(u"width"_s, u"The window's width in columns (30)."_s,
                                   u"COLUMNS"_s, u"30"_s);
    const QCommandLineOption interval(u"interval"_s, u"Seconds between steps (0.2)."_s,
                                      u"SECONDS"_s, u"0.2"_s);
    const QCommandLineOption print(u"print"_s, u"Prints one quote chosen at random."_s);
    const QCommandLineOption daily(u"daily"_s, u"With --print: the same quote all day."_s);
    const QCommandLineOption list(u"list"_s, u"Prints every quote on a line of its own."_s);
    const QCommandLineOption add(u"add"_s, u"Adds a quote and saves."_s, u"TEXT"_s);
    const QCommandLineOption import(
        u"import"_s,
        u"Adds the quotes of a text file (one a line) or fortune file (entries between lines "
        "of %), leaving out those already there."_s,
        u"FILE"_s);
    const QCommandLineOption edit(u"edit"_s, u"Opens the editor of the running program."_s);
    const QCommandLineOption reload(u"reload"_s,
                                    u"Makes the running program read the quotes file again."_s);
    const QCommandLineOption togglePause(
        u"toggle-pause"_s,
        u"Stops the running program's ticker where it stands, or lets it go on."_s);
    const QCommandLineOption preferences(u"preferences"_s,
                                         u"Opens the Preferences window of the running program."_s);
    const QCommandLineOption set(
        u"set"_s, u"Sets a key of Sayvane.conf; the running program follows at once."_s,
        u"KEY=VALUE"_s);
    const QCommandLineOption get(u"get"_s, u"Prints the value of a key of Sayvane.conf."_s,
                                 u"KEY"_s);
    parser.addOptions({help, version, bar, width, interval, print, daily, list, add, import, edit,
                       reload, togglePause, preferences, set, get});
    parser.addPositionalArgument(u"FORMAT"_s, u"With --bar: plain, waybar or i3bar."_s,
                                 u"[FORMAT]"_s);

    // --bar=FORMAT as well as --bar FORMAT.
    QStringList arguments = givenArguments;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i].startsWith(u"--bar="_s)) {
            const QString format = arguments[i].mid(6);
            arguments[i] = u"--bar"_s;
            arguments.insert(i + 1, format);
        }
    }
    if (!parser.parse(arguments))
        return Misunderstood{parser.errorText()};

    CommandRequest request;
    if (parser.isSet(help)) {
        request.mode = Mode::help;
        request.helpText = parser.helpText();
        return request;
    }
    if (parser.isSet(version)) {
        request.mode = Mode::version;
        return request;
    }

    const std::pair<const QCommandLineOption*, Mode> modes[] = {
        {&bar, Mode::bar},
        {&print, Mode::print},
        {&list, Mode::list},
        {&add, Mode::add},
        {&import, Mode::import},
        {&edit, Mode::edit},
        {&reload, Mode::reload},
        {&togglePause, Mode::togglePause},
        {&preferences, Mode::preferences},
        {&set, Mode::set},
        {&get, Mode::get},
    };
    QStringList chosen;
    for (const auto& [option, mode] : modes) {
        if (parser.isSet(*option)) {
            chosen += u"--"_s + option->names().first();
            request.mode = mode;
        }
    }
    if (chosen.size() != 1)
        return Misunderstood{chosen.isEmpty()
                                 ? u"choose one of --bar, --print, --list, --add, --import, "
                                   "--edit, --reload, --toggle-pause, --preferences, --set and "
                                   "--get."_s
                                 : chosen.join(u" and "_s) + u" cannot be used together."_s};
    if (parser.isSet(daily) && !parser.isSet(print))
        return Misunderstood{u"--daily goes with --print."_s};
    if ((parser.isSet(width) || parser.isSet(interval)) && !parser.isSet(bar))
        return Misunderstood{u"--width and --interval go with --bar."_s};
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty() && (!parser.isSet(bar) || positional.size() > 1))
        return Misunderstood{u"unexpected argument '%1'."_s.arg(positional.last())};

    request.daily = parser.isSet(daily);
    if (parser.isSet(add))
        request.argument = parser.value(add);
    if (parser.isSet(import))
        request.argument = parser.value(import);
    if (parser.isSet(get)) {
        if (parser.values(get).size() > 1)
            return Misunderstood{u"--get takes one key."_s};
        request.argument = parser.value(get);
    }
    request.assignments = parser.values(set);
    for (const QString& assignment : std::as_const(request.assignments)) {
        if (!assignment.contains(u'='))
            return Misunderstood{
                u"--set takes KEY=VALUE, as in --set StripWidth=400; '%1' has no '='."_s.arg(
                    assignment)};
    }
    if (request.mode == Mode::bar) {
        const QString format = positional.value(0, u"plain"_s);
        if (format == u"plain"_s)
            request.bar.format = BarFormat::plain;
        else if (format == u"waybar"_s)
            request.bar.format = BarFormat::waybar;
        else if (format == u"i3bar"_s)
            request.bar.format = BarFormat::i3bar;
        else
            return Misunderstood{
                u"unknown bar format '%1': use plain, waybar or i3bar."_s.arg(format)};
        bool ok = false;
        request.bar.columns = parser.value(width).toInt(&ok);
        if (!ok || request.bar.columns < 1 || request.bar.columns > 1000)
            return Misunderstood{u"--width takes a whole number of columns from 1 to 1000."_s};
        const double seconds = parser.value(interval).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0.01 || seconds > 3600)
            return Misunderstood{u"--interval takes seconds from 0.01 to 3600."_s};
        request.bar.intervalMilliseconds = static_cast<int>(std::lround(seconds * 1000));
    }
    return request;
}
