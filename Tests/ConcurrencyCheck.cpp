// Every writer of the quotes file at once, for as long as asked: the real program (answering
// AddQuote(s) over a private session bus), `sayvane --add` children, a D-Bus caller, and two
// programs that take no lock: one that replaces the file by a swap and merges what it swapped
// out, as a careful sync tool would, and one that rewrites it in place. Then the invariant:
// every quote any writer was told was saved is in quotes.json or in a copy kept beside it,
// nothing is in quotes.json twice, and no conflict copy exists (no two writers changed the
// same row: every writer here only adds).
//
//   ConcurrencyCheck [--seconds N] [--program PATH]
//   ConcurrencyCheck --burst N     measures N AddQuote calls sent at once instead
//
// Prints the figures and ends with status 0 when the invariant holds, 1 when it does not.
#include "Files.h"
#include "PrivateBus.h"
#include "QuotesDocument.h"
#include "RemoteControl.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace Qt::StringLiterals;

namespace {

// The quotes each writer was told were saved, and how many attempts were refused.
struct Ledger {
    std::mutex mutex;
    QHash<QString, QStringList> saved;
    QHash<QString, int> refused;
    std::atomic<int> processes{0};

    void told(const QString& writer, const QStringList& quotes) {
        const std::lock_guard lock(mutex);
        saved[writer] += quotes;
    }
    void notTold(const QString& writer) {
        const std::lock_guard lock(mutex);
        ++refused[writer];
    }
};

std::optional<QuotesDocument::Content> decodeFile(const QByteArray& bytes) {
    QString ignored;
    return QuotesDocument::decode(bytes, &ignored);
}

// Runs the program with the arguments and the environment; its exit status, or -1.
int runChild(const QByteArray& program, const QList<QByteArray>& arguments,
             const std::vector<QByteArray>& environment) {
    std::vector<char*> argv{const_cast<char*>(program.constData())};
    for (const QByteArray& argument : arguments)
        argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const QByteArray& entry : environment)
        envp.push_back(const_cast<char*>(entry.constData()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Adds the quote to the file without any lock, by a swap: the new file takes the old one's
// place, and what came out is compared with what it was made from; another writer's version is
// merged and swapped in again. A writer still holding the swapped-out file open is waited for.
bool addBySwap(const QString& path, const QString& quote, std::mt19937& random) {
    QString error;
    auto bytes = Files::read(path, &error);
    if (!bytes)
        return false;
    QByteArray expected = *bytes;
    std::optional<QuotesDocument::Content> content = decodeFile(*bytes);
    if (!content)
        return false;
    // Every version met: a writer may have built the one swapped out on this one's own.
    QStringList seen;
    for (;;) {
        for (const QString& earlier : std::as_const(seen)) {
            if (!content->quotes.contains(earlier))
                content->quotes.append(earlier);
        }
        seen = content->quotes;
        if (!content->quotes.contains(quote))
            content->quotes.append(quote);
        const QByteArray mine =
            QuotesDocument::encode(content->quotes, content->others, content->quotesPosition);
        // A temporary name of this writer's own, as another program would have.
        const QString swapped = path + u".swap"_s;
        writeBytes(swapped, mine);
        if (::renameat2(AT_FDCWD, QFile::encodeName(swapped).constData(), AT_FDCWD,
                        QFile::encodeName(path).constData(), RENAME_EXCHANGE) != 0)
            return false;
        while (Files::openElsewhere(swapped))
            QThread::usleep(500);
        const auto previous = Files::read(swapped, &error);
        if (previous && *previous == expected) {
            ::unlink(QFile::encodeName(swapped).constData());
            return true;
        }
        content = previous ? decodeFile(*previous) : std::nullopt;
        if (!content) {
            // Nothing to merge with: kept whole rather than lost.
            Files::moveBeside(swapped, path, u"unmerged"_s, &error);
            return true;
        }
        ::unlink(QFile::encodeName(swapped).constData());
        expected = mine;
        // The other writer is at work too: let it finish before trying again.
        QThread::usleep(std::uniform_int_distribution<unsigned>(200, 3000)(random));
    }
}

// Adds the quote by rewriting the file in place, as a careless editor would: read, write the
// whole text over it, cut it to length.
bool addInPlace(const QString& path, const QString& quote) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray bytes;
    char buffer[65536];
    for (ssize_t count; (count = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, count);
    auto content = decodeFile(bytes);
    bool written = false;
    if (content) {
        content->quotes.append(quote);
        const QByteArray out =
            QuotesDocument::encode(content->quotes, content->others, content->quotesPosition);
        written = ::pwrite(fd, out.constData(), size_t(out.size()), 0) == out.size() &&
                  ::ftruncate(fd, out.size()) == 0 && ::fsync(fd) == 0;
    }
    ::close(fd);
    return written;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    int seconds = 20;
    QString program = QStringLiteral(SAYVANE_EXECUTABLE);
    const QStringList arguments = QCoreApplication::arguments();
    int burst = 0;
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == u"--seconds")
            seconds = arguments[i + 1].toInt();
        else if (arguments[i] == u"--burst")
            burst = arguments[i + 1].toInt();
        else if (arguments[i] == u"--program")
            program = arguments[i + 1];
    }
    QTemporaryDir home;
    QTemporaryDir runtime;
    isolateTestProcess(home);
    PrivateBus bus;
    if (!bus.isRunning()) {
        std::fprintf(stderr, "no private bus: %s\n", qPrintable(bus.error()));
        return 1;
    }
    QProcessEnvironment environment = programEnvironment(home.path(), runtime.path());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus.address());
    std::vector<QByteArray> childEnvironment;
    for (const QString& entry : environment.toStringList())
        childEnvironment.push_back(entry.toLocal8Bit());
    const QString quotesFile = home.filePath(u".config/Sayvane/quotes.json"_s);

    QProcess running;
    running.setProcessEnvironment(environment);
    running.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    running.setStandardOutputFile(QProcess::nullDevice());
    running.start(program, {});
    QDBusConnection watcher = bus.connect(u"watcher"_s);
    const QDeadlineTimer started(30000);
    while (!watcher.interface()->isServiceRegistered(RemoteControl::serviceName)) {
        if (started.hasExpired() || running.state() == QProcess::NotRunning) {
            std::fprintf(stderr, "the program did not come up on the bus\n");
            return 1;
        }
        QThread::msleep(50);
    }
    // The program writes the default quotes while it starts, not necessarily before it is on the
    // bus.
    if (!waitForFile(quotesFile)) {
        std::fprintf(stderr, "the program wrote no quotes file\n");
        return 1;
    }
    const QStringList initial = decodeFile(readBytes(quotesFile)).value().quotes;
    if (burst > 0) {
        // A measure, not a check: that many AddQuote calls sent at once, and how long until the
        // last is answered and the program answers again.
        QDBusConnection caller = bus.connect(u"burst"_s);
        QElapsedTimer timer;
        timer.start();
        QList<QDBusPendingCall> calls;
        for (int n = 0; n < burst; ++n) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                RemoteControl::serviceName, RemoteControl::objectPath, RemoteControl::interfaceName,
                u"AddQuote"_s);
            call.setArguments({u"burst %1"_s.arg(n)});
            calls.append(caller.asyncCall(call, 120000));
        }
        int failed = 0;
        for (QDBusPendingCall& call : calls) {
            call.waitForFinished();
            failed += call.isError();
        }
        const qint64 answered = timer.elapsed();
        caller.call(QDBusMessage::createMethodCall(RemoteControl::serviceName,
                                                   RemoteControl::objectPath,
                                                   u"org.freedesktop.DBus.Peer"_s, u"Ping"_s));
        const qint64 responsive = timer.elapsed();
        const auto saved = decodeFile(readBytes(quotesFile));
        std::printf("%d AddQuote calls sent at once: all answered after %lld ms (%d refused), the "
                    "program answering again after %lld ms; %lld quotes in the file\n",
                    burst, qlonglong(answered), failed, qlonglong(responsive),
                    saved ? qlonglong(saved->quotes.size()) : -1LL);
        running.terminate();
        running.waitForFinished(10000);
        return failed == 0 ? 0 : 1;
    }

    Ledger ledger;
    ledger.processes = 2; // the program and the bus
    std::atomic<bool> stop{false};
    QElapsedTimer clock;
    clock.start();
    std::vector<std::thread> writers;
    // Two `--add` children at a time, each its own process.
    for (int lane = 0; lane < 2; ++lane) {
        writers.emplace_back([&, lane] {
            const QByteArray executable = QFile::encodeName(program);
            for (int n = 0; !stop; ++n) {
                const QString quote = u"add %1-%2"_s.arg(lane).arg(n);
                ++ledger.processes;
                if (runChild(executable, {"--add", quote.toUtf8()}, childEnvironment) == 0)
                    ledger.told(u"--add"_s, {quote});
                else
                    ledger.notTold(u"--add"_s);
            }
        });
    }
    // A script over D-Bus: AddQuote, AddQuotes in bursts without waiting, now and then Reload.
    writers.emplace_back([&] {
        QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), u"caller"_s);
        std::mt19937 random(7);
        for (int n = 0; !stop; ++n) {
            const int burst = std::uniform_int_distribution<int>(1, 8)(random);
            QList<std::pair<QStringList, QDBusPendingCall>> calls;
            for (int b = 0; b < burst; ++b) {
                QStringList quotes{u"dbus %1-%2"_s.arg(n).arg(b)};
                if (b % 3 == 2)
                    quotes.append(u"dbus %1-%2 second"_s.arg(n).arg(b));
                QDBusMessage call = QDBusMessage::createMethodCall(
                    RemoteControl::serviceName, RemoteControl::objectPath,
                    RemoteControl::interfaceName,
                    quotes.size() == 1 ? u"AddQuote"_s : u"AddQuotes"_s);
                call.setArguments({quotes.size() == 1 ? QVariant(quotes[0]) : QVariant(quotes)});
                calls.append({quotes, connection.asyncCall(call, 20000)});
            }
            for (auto& [quotes, pending] : calls) {
                pending.waitForFinished();
                if (pending.isError())
                    ledger.notTold(u"D-Bus"_s);
                else
                    ledger.told(u"D-Bus"_s, quotes);
            }
            if (n % 25 == 24)
                connection.call(QDBusMessage::createMethodCall(
                    RemoteControl::serviceName, RemoteControl::objectPath,
                    RemoteControl::interfaceName, u"Reload"_s));
        }
        QDBusConnection::disconnectFromBus(u"caller"_s);
    });
    writers.emplace_back([&] {
        std::mt19937 random(11);
        for (int n = 0; !stop; ++n) {
            const QString quote = u"swap %1"_s.arg(n);
            if (addBySwap(quotesFile, quote, random))
                ledger.told(u"swap"_s, {quote});
            else
                ledger.notTold(u"swap"_s);
            QThread::msleep(20);
        }
    });
    writers.emplace_back([&] {
        for (int n = 0; !stop; ++n) {
            const QString quote = u"in place %1"_s.arg(n);
            if (addInPlace(quotesFile, quote))
                ledger.told(u"in place"_s, {quote});
            else
                ledger.notTold(u"in place"_s);
            QThread::msleep(30);
        }
    });
    QThread::sleep(static_cast<unsigned long>(std::max(1, seconds)));
    stop = true;
    for (std::thread& writer : writers)
        writer.join();
    const double duration = clock.elapsed() / 1000.0;

    // The program leaves as Quit makes it leave.
    watcher.call(QDBusMessage::createMethodCall(RemoteControl::serviceName,
                                                RemoteControl::objectPath,
                                                RemoteControl::interfaceName, u"Quit"_s));
    if (!running.waitForFinished(20000)) {
        running.kill();
        running.waitForFinished();
    }

    const auto final = decodeFile(readBytes(quotesFile));
    QSet<QString> inFile;
    int twice = 0;
    if (final) {
        for (const QString& quote : final->quotes) {
            if (inFile.contains(quote))
                ++twice;
            inFile.insert(quote);
        }
    }
    QSet<QString> inCopies;
    const QStringList copies =
        QDir(QFileInfo(quotesFile).path()).entryList({u"quotes.json.*"_s}, QDir::Files, QDir::Name);
    int conflictCopies = 0;
    for (const QString& name : copies) {
        conflictCopies += name.startsWith(u"quotes.json.conflict-"_s);
        if (const auto copy = decodeFile(readBytes(QFileInfo(quotesFile).dir().filePath(name))))
            inCopies.unite(QSet<QString>(copy->quotes.cbegin(), copy->quotes.cend()));
    }
    int told = 0;
    int lost = 0;
    int onlyInCopies = 0;
    std::printf("Concurrency check: %.1f s, %d processes (the program, a bus, %d `--add` "
                "children), 4 writers in this one (a D-Bus caller, a swapping and an in-place "
                "writer)\n",
                duration, ledger.processes.load(), ledger.processes.load() - 2);
    for (const QString& writer : {u"--add"_s, u"D-Bus"_s, u"swap"_s, u"in place"_s}) {
        int missing = 0;
        for (const QString& quote : ledger.saved.value(writer)) {
            if (inFile.contains(quote))
                continue;
            if (inCopies.contains(quote))
                ++onlyInCopies;
            else
                ++missing;
        }
        told += int(ledger.saved.value(writer).size());
        lost += missing;
        std::printf("  %-9s %6lld quotes told saved, %4d attempts refused, %d lost\n",
                    qPrintable(writer), qlonglong(ledger.saved.value(writer).size()),
                    ledger.refused.value(writer), missing);
    }
    for (const QString& quote : initial)
        lost += !inFile.contains(quote) && !inCopies.contains(quote);
    std::printf("  %d quotes told saved in all; in quotes.json %lld, only in a copy %d, lost %d; "
                "in quotes.json twice %d; conflict copies %d; copies of any kind %lld; "
                "program status %d\n",
                told, qlonglong(inFile.size()), onlyInCopies, lost, twice, conflictCopies,
                qlonglong(copies.size()), running.exitCode());
    const bool holds = final && lost == 0 && twice == 0 && conflictCopies == 0 &&
                       running.exitStatus() == QProcess::NormalExit && running.exitCode() == 0;
    std::printf("%s\n", holds ? "The invariant holds." : "THE INVARIANT DOES NOT HOLD.");
    return holds ? 0 : 1;
}
