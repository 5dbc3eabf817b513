#include "BarFeed.h"
#include "ColumnWindow.h"
#include "CommandLine.h"
#include "DisplayController.h"
#include "PrintCommand.h"
#include "QuoteManager.h"
#include "QuotesDocument.h"
#include "TerminalColumns.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <gtest/gtest.h>

#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

const QString program = QStringLiteral(SAYVANE_EXECUTABLE);

// The program as a bar or a shell starts it: its own home and runtime folder, and no display.
QProcessEnvironment environmentIn(const TempHome& home) {
    return programEnvironment(home.path(), home.path());
}

ProgramRun run(const TempHome& home, const QStringList& arguments) {
    return runProgram(program, arguments, environmentIn(home));
}

void writeQuotes(const TempHome& home, const QStringList& quotes) {
    writeBytes(home.quotesFile(), QuotesDocument::encode(quotes));
}

// A running feed, read line by line.
class Feed : public ChildProcess {
public:
    Feed(const TempHome& home, const QStringList& arguments) {
        setEnvironment(environmentIn(home));
        start(program, arguments);
    }
    // Whether, within the time, a stretch without any line comes (lines already on their way
    // when it stopped are read first). A running feed at 0.05 s never falls quiet for long.
    bool fallsQuiet(int quietMilliseconds, int withinMilliseconds) {
        QDeadlineTimer deadline(withinMilliseconds);
        while (nextLine(quietMilliseconds))
            if (deadline.hasExpired())
                return false;
        return true;
    }
};

const QStringList mixedQuotes = {u"千里之行，始于足下。"_s, u"Tri thức là sức mạnh."_s,
                                 u"Hy vo\u0323ng \U0001F680 e\u0301"_s, u"ok"_s};

} // namespace

TEST(BarFeed, PlainLinesStepOneColumnWrapWithoutASeamAndKeepTheirWidth) {
    TempHome home;
    writeQuotes(home, mixedQuotes);
    Feed feed(home, {u"--bar"_s, u"--width"_s, u"17"_s, u"--interval"_s, u"0.01"_s});
    // Every emoji is two columns, so the cycle's length is known before the emojis are.
    qsizetype total = 0;
    for (const QString& quote : mixedQuotes)
        total += TerminalColumns::width(quote) + 6;
    QStringList lines;
    while (lines.size() < total + 20) {
        const auto line = feed.nextLine();
        ASSERT_TRUE(line.has_value()) << lines.size();
        lines.append(*line);
    }
    // The emoji of each piece is the one at the left edge when the window reaches it.
    QString text;
    for (const QString& quote : mixedQuotes) {
        const qsizetype emojiColumn = TerminalColumns::width(QString(text + quote)) + 2;
        const auto found = std::find_if(
            DisplayController::emojis.begin(), DisplayController::emojis.end(),
            [&](const QString& emoji) { return lines[emojiColumn].startsWith(emoji); });
        ASSERT_NE(found, DisplayController::emojis.end()) << lines[emojiColumn].toStdString();
        text += quote + u"  "_s + *found + u"  "_s;
    }
    const ColumnWindow window(text);
    ASSERT_EQ(window.totalColumns(), total);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], window.window(i, 17)) << i;
        EXPECT_EQ(TerminalColumns::width(lines[i]), 17) << i;
    }
}

TEST(BarFeed, WaybarLinesAreJsonWithEscapedMarkupAndTheQuoteAsTooltip) {
    TempHome home;
    writeQuotes(home, {u"<b>Fish & \"chips\"</b> isn't bold"_s, u"second"_s});
    Feed feed(home, {u"--bar"_s, u"waybar"_s, u"--interval"_s, u"0.01"_s});
    for (int i = 0; i < 60; ++i) {
        const auto line = feed.nextLine();
        ASSERT_TRUE(line.has_value());
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(line->toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line->toStdString();
        EXPECT_EQ(object.value(u"class"_s).toString(), u"sayvane"_s);
        const QString text = object.value(u"text"_s).toString();
        EXPECT_FALSE(text.contains(u'<') || text.contains(u'"') || text.contains(u'\''));
        const QString tooltip = object.value(u"tooltip"_s).toString();
        EXPECT_TRUE(tooltip == u"second"_s ||
                    tooltip == u"&lt;b&gt;Fish &amp; &quot;chips&quot;&lt;/b&gt; isn&apos;t bold"_s)
            << tooltip.toStdString();
    }
}

TEST(BarFeed, I3barSpeaksTheProtocolAndTakesClicks) {
    TempHome home;
    writeQuotes(home, {u"A quote for i3bar"_s});
    // Stands in for the running program: holds its lock and answers on its socket.
    QLockFile lock(home.path() + u"/sayvane.lock"_s);
    ASSERT_TRUE(lock.tryLock(0));
    QLocalServer server;
    ASSERT_TRUE(server.listen(home.path() + u"/sayvane.socket"_s));
    QByteArray asked;
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        QLocalSocket* socket = server.nextPendingConnection();
        QObject::connect(socket, &QLocalSocket::readyRead, [&asked, socket] {
            asked += socket->readAll();
            socket->write("ok\n");
        });
    });

    Feed feed(home, {u"--bar"_s, u"i3bar"_s, u"--interval"_s, u"0.05"_s});
    const QJsonObject header = QJsonDocument::fromJson(feed.nextLine()->toUtf8()).object();
    EXPECT_EQ(header.value(u"version"_s).toInt(), 1);
    EXPECT_TRUE(header.value(u"click_events"_s).toBool());
    EXPECT_EQ(feed.nextLine(), u"["_s);
    for (int i = 0; i < 5; ++i) {
        QString line = *feed.nextLine();
        ASSERT_EQ(line.startsWith(u','), i > 0) << line.toStdString();
        const QJsonArray blocks = QJsonDocument::fromJson(line.mid(i > 0).toUtf8()).array();
        ASSERT_EQ(blocks.size(), 1);
        EXPECT_EQ(blocks[0][u"name"_s].toString(), u"sayvane"_s);
        EXPECT_EQ(TerminalColumns::width(blocks[0][u"full_text"_s].toString()), 30);
    }
    // A middle click pauses: no line for a while; another one resumes.
    feed.write("[\n{\"name\":\"sayvane\",\"button\":2,\"x\":10,\"y\":3}\n");
    EXPECT_TRUE(feed.fallsQuiet(600, 5000));
    feed.write(",{\"name\":\"sayvane\",\"button\":2}\n");
    EXPECT_TRUE(feed.nextLine(1000).has_value());
    // A left click asks the running program for its editor.
    feed.write(",{\"name\":\"sayvane\",\"button\":1}\n");
    EXPECT_TRUE(eventually([&] { return asked == "show\n"; })) << asked.data();
}

TEST(BarFeed, FollowsTheFileAndShowsStillTexts) {
    TempHome home;
    writeBytes(home.quotesFile(), "{\"other\": []}");
    writeBytes(home.quotesFolder() + u"/Sayvane.conf"_s, "[General]\nAppLanguage=zh\n");
    Feed feed(home, {u"--bar"_s, u"--width"_s, u"10"_s, u"--interval"_s, u"0.05"_s});
    // No list at all: the no-quotes text of the interface language, once: the line after it is
    // the one that the language chosen in the running program's menu brings.
    EXPECT_EQ(feed.nextLine(), u"没有引语  "_s);
    ASSERT_TRUE(
        replaceByRename(home.quotesFolder() + u"/Sayvane.conf"_s, "[General]\nAppLanguage=vi\n"));
    EXPECT_EQ(feed.nextLine(), u"Không có t"_s);

    EXPECT_EQ(run(home, {u"--add"_s, u"Added from a shell"_s}).status, 0);
    EXPECT_TRUE(feed.lineWhere([](const QString& l) { return l == u"Added fro"_s + u'm'; }, 2000));

    // A file that cannot be loaded: the load-error text, still (the line after it is the one a
    // mended file brings); the reason on standard error.
    ASSERT_TRUE(replaceByRename(home.quotesFile(), "{\"quotes\": ["));
    EXPECT_TRUE(feed.lineWhere([](const QString& l) { return l == u"Error load"_s; }, 2000));
    ASSERT_TRUE(replaceByRename(home.quotesFile(), QuotesDocument::encode({u"Mended now"_s})));
    EXPECT_EQ(feed.nextLine(), u"Mended now"_s);
    EXPECT_TRUE(feed.errors().startsWith(u"Failed to load quotes: "_s));
}

TEST(BarFeed, EndsWithStatusZeroWhenTheBarClosesThePipeAndIdlesWhileStopped) {
    TempHome home;
    writeQuotes(home, {u"quote"_s});
    const ProgramRun shell = runProgram(u"bash"_s,
                                        {u"-c"_s,
                                         u"\"$0\" --bar --interval 0.01 | head -n 3 >/dev/null; "
                                         "echo ${PIPESTATUS[0]}"_s,
                                         program},
                                        environmentIn(home));
    EXPECT_EQ(shell.out.trimmed(), u"0"_s);
    EXPECT_TRUE(shell.err.isEmpty());

    Feed feed(home, {u"--bar"_s, u"--interval"_s, u"0.05"_s});
    ASSERT_TRUE(feed.nextLine().has_value());
    // Stopped (a bar hidden, a session suspended) and continued, it goes on where it was: the
    // lines already in the pipe are read first, so that the one after must be new.
    feed.signal(SIGSTOP);
    feed.fallsQuiet(700, 5000);
    feed.signal(SIGCONT);
    EXPECT_TRUE(feed.nextLine(1000).has_value());
}

TEST(CommandLine, PrintListAddAndImport) {
    TempHome home;
    QStringList quotes;
    for (int i = 0; i < 40; ++i)
        quotes.append(u"Quote number %1"_s.arg(i));
    quotes.append(u"Two\nlines \\ here"_s);
    writeQuotes(home, quotes);

    // --print writes a quote on one line: its line breaks as spaces.
    QStringList printable = quotes;
    printable.replaceInStrings(u"\n"_s, u" "_s);
    const ProgramRun daily = run(home, {u"--print"_s, u"--daily"_s});
    EXPECT_EQ(daily.status, 0);
    EXPECT_EQ(run(home, {u"--daily"_s, u"--print"_s}).out, daily.out);
    EXPECT_TRUE(printable.contains(daily.out.chopped(1))) << daily.out.toStdString();
    for (int i = 0; i < 3; ++i) {
        const QString printed = run(home, {u"--print"_s}).out;
        EXPECT_TRUE(printable.contains(printed.chopped(1))) << printed.toStdString();
    }

    const QStringList listed = run(home, {u"--list"_s}).out.split(u'\n');
    EXPECT_EQ(listed.size(), quotes.size() + 1);
    EXPECT_EQ(listed.value(quotes.size() - 1), u"Two\\nlines \\\\ here"_s);

    EXPECT_EQ(run(home, {u"--add"_s, u"  \n A new one\t"_s}).status, 0);
    const ProgramRun imported =
        run(home, {u"--import"_s, QStringLiteral(SAYVANE_TEST_DATA) + u"/sample.fortune"_s});
    EXPECT_EQ(imported.status, 0);
    EXPECT_EQ(imported.out, u"Added 3 quotes (1 already in the list).\n"_s);
    const auto saved = QuotesDocument::decode(readBytes(home.quotesFile()), nullptr);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->quotes.mid(quotes.size()),
              (QStringList{u"A new one"_s, u"Tri thức là sức mạnh."_s, u"千里之行，始于足下。"_s,
                           u"A fortune\nover two lines."_s}));
}

TEST(CommandLine, FailuresLeaveTheFileAsItIsAndSaySo) {
    TempHome home;
    writeBytes(home.quotesFile(), "{\"quotes\": [\"unfinished\"");
    const QByteArray before = readBytes(home.quotesFile());
    for (const QStringList& arguments :
         {QStringList{u"--add"_s, u"x"_s}, QStringList{u"--list"_s}, QStringList{u"--print"_s}}) {
        const ProgramRun result = run(home, arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_TRUE(result.err.startsWith(u"Failed to load quotes: "_s));
        EXPECT_EQ(result.err.count(u"Failed to load quotes: "_s), 1);
    }
    EXPECT_EQ(readBytes(home.quotesFile()), before);
    writeBytes(home.path() + u"/binary"_s, QByteArray("a\0b", 3));
    EXPECT_EQ(run(home, {u"--import"_s, home.path() + u"/binary"_s}).status, 1);
    EXPECT_EQ(run(home, {u"--import"_s, home.path() + u"/missing"_s}).status, 1);

    for (const QStringList& arguments :
         {QStringList{u"--list"_s, u"--print"_s}, QStringList{u"--bar"_s, u"dzen"_s},
          QStringList{u"--bar"_s, u"--width"_s, u"0"_s}, QStringList{u"--daily"_s},
          QStringList{u"--bar"_s, u"--interval"_s, u"nan"_s}, QStringList{u"--add"_s, u" "_s},
          QStringList{u"--nonsense"_s}})
        EXPECT_EQ(run(home, arguments).status, 2) << arguments.join(u' ').toStdString();
    const ProgramRun version = run(home, {u"--version"_s});
    EXPECT_EQ(version.out, u"Sayvane " SAYVANE_VERSION "\n"_s);
}

TEST(CommandLine, SetAndGetRefusingUnknownKeysAndBadValuesWithoutWritingAny) {
    TempHome home;
    const QString file = home.quotesFolder() + u"/Sayvane.conf"_s;
    EXPECT_EQ(run(home, {u"--get"_s, u"StripWidth"_s}).out, u"250\n"_s) << "the default";
    EXPECT_EQ(
        run(home, {u"--set"_s, u"StripWidth=400"_s, u"--set"_s, u"StripAlign= Left"_s}).status, 0);
    EXPECT_EQ(run(home, {u"--get"_s, u"StripWidth"_s}).out, u"400\n"_s);
    EXPECT_EQ(run(home, {u"--get"_s, u"StripAlign"_s}).out, u"left\n"_s);
    const QByteArray written = readBytes(file);

    const ProgramRun bad =
        run(home, {u"--set"_s, u"StripSpeed=60"_s, u"--set"_s, u"StripWidth=5000"_s});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.startsWith(u"sayvane: StripWidth takes a whole number of pixels from 100 "
                                   u"to 1000, not \"5000\".\n"_s))
        << bad.err.toStdString();
    const ProgramRun unknown = run(home, {u"--get"_s, u"Colour"_s});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains(u"no setting 'Colour'; the settings are Strip, "_s));
    EXPECT_EQ(run(home, {u"--set"_s, u"StripWidth"_s}).status, 2);
    EXPECT_EQ(readBytes(file), written) << "nothing of a refused command is written";
}

TEST(CommandLine, TheDailyQuoteDependsOnTheDateAlone) {
    const QDate day(2026, 3, 14);
    QSet<qsizetype> picks;
    for (int i = 0; i < 30; ++i) {
        const qsizetype pick = PrintCommand::dailyIndex(day.addDays(i), 7);
        ASSERT_LT(pick, 7);
        picks.insert(pick);
    }
    EXPECT_GT(picks.size(), 3);
    EXPECT_EQ(PrintCommand::dailyIndex(day, 1), 0);
}

TEST(CommandLine, EditReloadAndTogglePauseReachTheRunningProgram) {
    TempHome home;
    ChildProcess running;
    QProcessEnvironment environment = environmentIn(home);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    running.setEnvironment(environment);
    running.start(program);
    ASSERT_TRUE(waitForFile(home.path() + u"/sayvane.socket"_s));
    EXPECT_EQ(run(home, {u"--reload"_s}).status, 0);
    EXPECT_EQ(run(home, {u"--edit"_s}).status, 0);
    EXPECT_EQ(run(home, {u"--preferences"_s}).status, 0);
    EXPECT_EQ(run(home, {u"--toggle-pause"_s}).status, 0);
    EXPECT_TRUE(running.isRunning());
    running.signal(SIGTERM);
    running.waitForExit();
    // With no ticker running, there is none to pause.
    const ProgramRun none = run(home, {u"--toggle-pause"_s});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, u"Sayvane is not running.\n"_s);
}

TEST(CommandLine, AddsRunAtOnceEachKeepTheirQuote) {
    TempHome home;
    writeQuotes(home, {u"first"_s});
    std::vector<std::unique_ptr<ChildProcess>> adds;
    QStringList expected{u"first"_s};
    for (int i = 0; i < 16; ++i) {
        expected.append(u"parallel quote %1"_s.arg(i));
        adds.push_back(std::make_unique<ChildProcess>());
        adds.back()->setEnvironment(environmentIn(home));
    }
    for (qsizetype i = 0; i < qsizetype(adds.size()); ++i)
        adds[size_t(i)]->start(program, {u"--add"_s, expected[i + 1]});
    int succeeded = 0;
    for (auto& add : adds)
        succeeded += add->waitForExit(30000) == 0;
    EXPECT_EQ(succeeded, 16);
    const auto saved = QuotesDocument::decode(readBytes(home.quotesFile()), nullptr);
    ASSERT_TRUE(saved.has_value());
    QStringList sorted = saved->quotes;
    sorted.sort();
    expected.sort();
    EXPECT_EQ(sorted, expected);
}

// --print, --list and --bar only read: with no file (a sync tool swapping it, say) they show the
// default quotes and write nothing, which the running program would otherwise load and save
// over the user's list.
TEST(CommandLine, ReadingCommandsNeverWrite) {
    TempHome home;
    ASSERT_FALSE(QFileInfo::exists(home.quotesFile()));
    const ProgramRun daily = run(home, {u"--print"_s, u"--daily"_s});
    EXPECT_EQ(daily.status, 0);
    EXPECT_TRUE(QuoteManager::defaultQuotes.contains(daily.out.chopped(1)));
    EXPECT_EQ(run(home, {u"--list"_s}).out.count(u'\n'), QuoteManager::defaultQuotes.size());
    Feed feed(home, {u"--bar"_s, u"--interval"_s, u"0.05"_s});
    EXPECT_TRUE(feed.nextLine().has_value());
    EXPECT_FALSE(QFileInfo::exists(home.quotesFile()));

    // Nothing a terminal acts on reaches it raw; invisible characters alone are no quote.
    writeQuotes(home, {u"bell\a, escape\x1b[2J, tab\t"_s});
    EXPECT_EQ(run(home, {u"--list"_s}).out, u"bell\\x07, escape\\x1b[2J, tab\\t\n"_s);
    EXPECT_EQ(run(home, {u"--add"_s, u"\u200B"_s}).status, 2);
    EXPECT_EQ(run(home, {u"--add"_s, u"\uFEFF\u200B"_s}).status, 2);
}
