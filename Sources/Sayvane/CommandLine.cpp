#include "CommandLine.h"

#include "BarFeed.h"
#include "Console.h"
#include "Files.h"
#include "Localization.h"
#include "MainQueue.h"
#include "QuoteImport.h"
#include "QuoteManager.h"
#include "QuotesView.h"
#include "SingleInstance.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;

namespace CommandLine {

namespace {

enum Status { done = 0, failed = 1, misunderstood = 2 };

void printTo(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void printOut(const QString& text) {
    printTo(stdout, text);
}

int notUnderstood(const QString& message) {
    printTo(stderr, u"sayvane: "_s + message);
    printTo(stderr, u"Try 'sayvane --help' for more."_s);
    return misunderstood;
}

// Runs the main queue until it is empty, as the event loop would.
void drainMainQueue() {
    while (MainQueue::shared().pendingCount() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// The list as the file holds it, loaded through the store (which prints any failure line and
// keeps what it needs for the next save); nothing when it cannot be read or decoded. An empty
// "quotes" array gives an empty list here, not the placeholder the display would show.
std::optional<QStringList> loadStoredList(QuoteManager& manager) {
    manager.loadQuotes();
    drainMainQueue();
    return manager.storedQuotes();
}

// Saves the list through the store; true when the save went through.
bool save(QuoteManager& manager, const QStringList& list) {
    manager.quotes = list;
    bool saved = false;
    manager.onQuotesChanged = [&saved] { saved = true; };
    manager.saveQuotes();
    drainMainQueue();
    manager.onQuotesChanged = nullptr;
    return saved;
}

// The quote with every control character and line break as a space.
QString oneLine(QString quote) {
    for (QChar& c : quote) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return quote;
}

// Starts the desktop program on its own, detached from this process's input and output (which
// may be a bar's pipe). Gives its process id, or 0 when it could not be started.
qint64 startProgram() {
    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setWorkingDirectory(Files::homeFolder());
    qint64 pid = 0;
    return process.startDetached(&pid) ? pid : 0;
}

int runPrint(bool daily) {
    QuoteManager manager;
    manager.loadQuotes();
    drainMainQueue();
    const QStringList& quotes = manager.quotes;
    if (manager.lastLoadOutcome() == QuoteManager::LoadOutcome::failed)
        return failed;
    if (quotes.isEmpty()) {
        printOut(LocalizationManager::shared().localizedString(u"NoQuotes"_s));
        return done;
    }
    const qsizetype index = daily ? dailyIndex(QDate::currentDate(), quotes.size())
                                  : QRandomGenerator::system()->bounded(quotes.size());
    printOut(oneLine(quotes.at(index)));
    return done;
}

int runList() {
    QuoteManager manager;
    const auto quotes = loadStoredList(manager);
    if (!quotes)
        return failed;
    QByteArray out;
    for (const QString& quote : *quotes)
        out += listLine(quote).toUtf8() + '\n';
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    return std::fflush(stdout) == 0 ? done : failed;
}

int runAdd(const QString& text) {
    const QString quote = trimmedWhitespaceAndNewlines(text);
    if (quote.isEmpty())
        return notUnderstood(u"the quote to add is blank."_s);
    QuoteManager manager;
    auto quotes = loadStoredList(manager);
    if (!quotes) {
        printTo(stderr, u"Nothing was added, so that the file stays as it is."_s);
        return failed;
    }
    quotes->append(quote);
    return save(manager, *quotes) ? done : failed;
}

int runImport(const QString& path) {
    QString error;
    const auto found = QuoteImport::readFile(path, &error);
    if (!found) {
        printTo(stderr, u"Could not import quotes: "_s + error);
        return failed;
    }
    QuoteManager manager;
    auto quotes = loadStoredList(manager);
    if (!quotes) {
        printTo(stderr, u"Nothing was imported, so that the file stays as it is."_s);
        return failed;
    }
    const qsizetype added = QuoteImport::merge(*quotes, *found);
    if (added > 0 && !save(manager, *quotes))
        return failed;
    const qsizetype skipped = found->size() - added;
    QString message = added == 1 ? u"Added 1 quote"_s : u"Added %1 quotes"_s.arg(added);
    if (skipped > 0)
        message += u" (%1 already in the list)"_s.arg(skipped);
    printOut(message + u'.');
    return done;
}

int runRequest(SingleInstance::Request request) {
    const QString folder = SingleInstance::userFolder();
    const QString lockFolder = QuoteManager::quotesFolder(Files::homeFolder());
    switch (SingleInstance::ask(folder, request, 3000, lockFolder)) {
    case SingleInstance::Answer::done:
        return done;
    case SingleInstance::Answer::noAnswer:
        printTo(stderr, u"The running Sayvane did not answer."_s);
        return failed;
    case SingleInstance::Answer::noneRunning:
        break;
    }
    // None running: a new copy loads the file anyway; for the editor, ask it once it listens.
    const qint64 pid = startProgram();
    if (pid == 0) {
        printTo(stderr, u"Could not start Sayvane."_s);
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
    printTo(stderr, u"Sayvane was started but did not open its editor."_s);
    return failed;
}

int runBar(const BarFeedOptions& options) {
    BarFeed feed(options);
    // A left click asks for the editor in a process of its own: it may have to start one.
    QObject::connect(&feed, &BarFeed::editRequested, [] {
        QProcess process;
        process.setProgram(QCoreApplication::applicationFilePath());
        process.setArguments({u"--edit"_s});
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.startDetached();
    });
    QTimer::singleShot(0, &feed, &BarFeed::start);
    return QCoreApplication::exec();
}

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

qsizetype dailyIndex(QDate date, qsizetype count) {
    if (count <= 0)
        return 0;
    // SplitMix64 of the day number: neighbouring days give unrelated picks.
    auto z = static_cast<quint64>(date.toJulianDay()) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<qsizetype>(z % static_cast<quint64>(count));
}

QString listLine(const QString& quote) {
    QString line;
    line.reserve(quote.size());
    for (const QChar c : quote) {
        if (c == u'\\')
            line += u"\\\\"_s;
        else if (c == u'\n')
            line += u"\\n"_s;
        else if (c == u'\r')
            line += u"\\r"_s;
        else
            line += c;
    }
    return line;
}

int run(int argc, char* argv[]) {
    // Whatever started this process may have left SIGPIPE ignored; the feed chooses its own.
    std::signal(SIGPIPE, SIG_DFL);
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(u"Sayvane"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(SAYVANE_VERSION));
    printLinesToStandardError();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Your own quotes as a ticker. Without options, starts the program with its strip."_s);
    parser.addHelpOption();
    parser.addVersionOption();
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
    parser.addOptions({bar, width, interval, print, daily, list, add, import, edit, reload});
    parser.addPositionalArgument(u"FORMAT"_s, u"With --bar: plain, waybar or i3bar."_s,
                                 u"[FORMAT]"_s);

    // --bar=FORMAT as well as --bar FORMAT.
    QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i].startsWith(u"--bar="_s)) {
            const QString format = arguments[i].mid(6);
            arguments[i] = u"--bar"_s;
            arguments.insert(i + 1, format);
        }
    }
    if (!parser.parse(arguments))
        return notUnderstood(parser.errorText());
    if (parser.isSet(u"help"_s))
        parser.showHelp(done);
    if (parser.isSet(u"version"_s))
        parser.showVersion();

    const QList<const QCommandLineOption*> modes = {&bar,    &print, &list,  &add,
                                                    &import, &edit,  &reload};
    QStringList chosen;
    for (const QCommandLineOption* mode : modes) {
        if (parser.isSet(*mode))
            chosen += u"--"_s + mode->names().first();
    }
    if (chosen.size() != 1)
        return notUnderstood(chosen.isEmpty()
                                 ? u"choose one of --bar, --print, --list, --add, "
                                   "--import, --edit and --reload."_s
                                 : chosen.join(u" and "_s) + u" cannot be used together."_s);
    if (parser.isSet(daily) && !parser.isSet(print))
        return notUnderstood(u"--daily goes with --print."_s);
    if ((parser.isSet(width) || parser.isSet(interval)) && !parser.isSet(bar))
        return notUnderstood(u"--width and --interval go with --bar."_s);
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty() && (!parser.isSet(bar) || positional.size() > 1))
        return notUnderstood(u"unexpected argument '%1'."_s.arg(positional.last()));

    if (parser.isSet(bar)) {
        BarFeedOptions options;
        const QString format = positional.value(0, u"plain"_s);
        if (format == u"plain"_s)
            options.format = BarFormat::plain;
        else if (format == u"waybar"_s)
            options.format = BarFormat::waybar;
        else if (format == u"i3bar"_s)
            options.format = BarFormat::i3bar;
        else
            return notUnderstood(
                u"unknown bar format '%1': use plain, waybar or i3bar."_s.arg(format));
        bool ok = false;
        options.columns = parser.value(width).toInt(&ok);
        if (!ok || options.columns < 1 || options.columns > 1000)
            return notUnderstood(u"--width takes a whole number of columns from 1 to 1000."_s);
        const double seconds = parser.value(interval).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0.01 || seconds > 3600)
            return notUnderstood(u"--interval takes seconds from 0.01 to 3600."_s);
        options.intervalMilliseconds = static_cast<int>(std::lround(seconds * 1000));
        return runBar(options);
    }
    if (parser.isSet(print))
        return runPrint(parser.isSet(daily));
    if (parser.isSet(list))
        return runList();
    if (parser.isSet(add))
        return runAdd(parser.value(add));
    if (parser.isSet(import))
        return runImport(parser.value(import));
    return runRequest(parser.isSet(edit) ? SingleInstance::Request::show
                                         : SingleInstance::Request::reload);
}

} // namespace CommandLine
