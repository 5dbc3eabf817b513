#include "TestSupport.h"

#include "BackgroundWork.h"
#include "MainQueue.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

TempHome::TempHome()
    : previousHome(qgetenv("HOME")) {
    qputenv("HOME", QFile::encodeName(folder.path()));
}

TempHome::~TempHome() {
    qputenv("HOME", previousHome);
}

QString TempHome::quotesFolder() const {
    return folder.filePath(u".config/Sayvane"_s);
}

QString TempHome::quotesFile() const {
    return folder.filePath(u".config/Sayvane/quotes.json"_s);
}

void TempHome::shareWithOtherUsers() const {
    for (const QString& folder : {path(), QString(path() + u"/.config"_s), quotesFolder()})
        ::chmod(QFile::encodeName(folder).constData(), 0777);
}

CapturedStdout::CapturedStdout(std::FILE* captured)
    : capturePath(folder.filePath(u"output.txt"_s))
    , stream(captured) {
    std::fflush(stream);
    savedDescriptor = ::dup(::fileno(stream));
    const int capture = ::open(QFile::encodeName(capturePath).constData(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ::dup2(capture, ::fileno(stream));
    ::close(capture);
}

CapturedStdout::~CapturedStdout() {
    std::fflush(stream);
    ::dup2(savedDescriptor, ::fileno(stream));
    ::close(savedDescriptor);
}

QString CapturedStdout::text() const {
    std::fflush(stream);
    return QString::fromUtf8(readBytes(capturePath));
}

QStringList CapturedStdout::lines() const {
    QStringList result = text().split(u'\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

void isolateTestProcess(const QTemporaryDir& home) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    // No session bus of the caller's: a test that wants one starts a private bus. An address
    // where nothing listens fails at once, where an unset one would have libdbus try to start a
    // bus for the display.
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            QFile::encodeName(u"unix:path="_s + home.path() + u"/no-bus"_s));
}

void runMainQueue() {
    // Work on the background thread hands its result to the main queue before it ends, and may
    // be started by an item: wait for it before each look at the queue.
    for (int round = 0; round < 10000; ++round) {
        BackgroundWork::waitForDone();
        if (MainQueue::shared().pendingCount() == 0)
            break;
        QCoreApplication::sendPostedEvents();
    }
    QCoreApplication::sendPostedEvents();
}

bool runningAsRoot() {
    return ::geteuid() == 0;
}

int asUnprivilegedUser(const std::function<int()>& body) {
    if (!runningAsRoot())
        return body();
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        const gid_t nogroup = 65534;
        const uid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nogroup) != 0 || ::setuid(nobody) != 0)
            ::_exit(255);
        const int result = body();
        std::fflush(stdout);
        ::_exit(result);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

bool replaceByRename(const QString& path, const QByteArray& bytes) {
    const QString incoming = path + u".incoming"_s;
    writeBytes(incoming, bytes);
    return ::rename(QFile::encodeName(incoming).constData(), QFile::encodeName(path).constData()) ==
           0;
}

bool waitForFile(const QString& path, int milliseconds) {
    return eventually([&] { return QFileInfo::exists(path); }, milliseconds);
}

bool eventually(const std::function<bool()>& condition, int milliseconds) {
    return QTest::qWaitFor(condition, milliseconds);
}

bool toolsRequired() {
    return !qEnvironmentVariableIsEmpty("SAYVANE_REQUIRE_TOOLS");
}

struct FileChangeWitness::Watch {
    QFileSystemWatcher watcher;
    QTimer settle;
    QString path;
    int bursts = 0;

    void rewatch() {
        const QString folder = QFileInfo(path).absolutePath();
        if (!watcher.directories().contains(folder))
            watcher.addPath(folder);
        if (!watcher.files().contains(path) && QFileInfo::exists(path))
            watcher.addPath(path);
    }
};

FileChangeWitness::FileChangeWitness(const QString& path, int settleMilliseconds)
    : watch(std::make_unique<Watch>()) {
    watch->path = QFileInfo(path).absoluteFilePath();
    watch->settle.setSingleShot(true);
    watch->settle.setInterval(settleMilliseconds);
    QObject::connect(&watch->settle, &QTimer::timeout, [this] { ++watch->bursts; });
    auto restart = [this] {
        watch->rewatch();
        watch->settle.start();
    };
    QObject::connect(&watch->watcher, &QFileSystemWatcher::fileChanged, restart);
    QObject::connect(&watch->watcher, &QFileSystemWatcher::directoryChanged, restart);
    watch->rewatch();
}

FileChangeWitness::~FileChangeWitness() = default;

bool FileChangeWitness::waitForChange(int milliseconds) {
    const int next = waitedFor + 1;
    if (!eventually([&] { return watch->bursts >= next; }, milliseconds))
        return false;
    waitedFor = watch->bursts;
    return true;
}

QProcessEnvironment programEnvironment(const QString& home, const QString& runtime) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name :
         {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s, u"XDG_CONFIG_HOME"_s})
        environment.remove(name);
    environment.insert(u"HOME"_s, home);
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    return environment;
}

MarqueeTiming ManualTiming::timing() const {
    auto slot = lastLink;
    return {clock, [slot](QWidget*) -> std::unique_ptr<DisplayLink> {
                auto link = std::make_unique<ManualDisplayLink>();
                *slot = link.get();
                return link;
            }};
}
