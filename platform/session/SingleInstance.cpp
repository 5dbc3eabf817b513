#include "SingleInstance.h"

#include "Files.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr char activationMessage[] = "show\n";
constexpr char reloadMessage[] = "reload\n";
constexpr char preferencesMessage[] = "preferences\n";
constexpr char togglePauseMessage[] = "toggle-pause\n";
constexpr char acknowledgement[] = "ok\n";

// True while some process holds the lock file at the path. The lock is an advisory lock on the
// file (flock), which the system lets go of when its holder ends however it ends, so a file
// left behind, or the process id written in it, counts for nothing.
bool lockHeld(const QString& lockPath) {
    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

// Takes the lock file at the path for this process, writing its process id into it for people
// to read. -1, with errno, when it cannot be had.
int takeLock(const QString& lockPath) {
    const QByteArray name = QFile::encodeName(lockPath);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int cause = errno;
        ::close(fd);
        errno = cause;
        return -1;
    }
    const QByteArray pid = QByteArray::number(::getpid()) + '\n';
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) < 0) {
        // Only for people to read; the lock itself holds.
    }
    return fd;
}

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent, const QString& lockFolder)
    : QObject(parent)
    , lockPath(QDir(lockFolder.isEmpty() ? folder : lockFolder).filePath(u"sayvane.lock"_s))
    , socketPath(QDir(folder).filePath(u"sayvane.socket"_s))
    , fallbackLockPath(lockFolder.isEmpty() ? QString()
                                            : QDir(folder).filePath(u"sayvane.lock"_s)) {}

QString SingleInstance::userFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime;
    return Files::homeFolder() + u"/.cache/Sayvane"_s;
}

SingleInstance::~SingleInstance() {
    if (server)
        server->close();
    if (lockDescriptor >= 0)
        ::close(lockDescriptor);
}

bool SingleInstance::claim() {
    auto tryLock = [this](const QString& path) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        lockDescriptor = takeLock(path);
        return lockDescriptor >= 0;
    };
    bool locked = tryLock(lockPath);
    // No lock can be made beside the quotes file (a file stands where its folder should be, or
    // the folder is read-only): the quotes cannot be saved there either, but the program still
    // runs once per session.
    if (!locked && errno != EWOULDBLOCK && !fallbackLockPath.isEmpty()) {
        lockPath = fallbackLockPath;
        locked = tryLock(lockPath);
    }
    if (!locked) {
        answered = askRunningInstance();
        return false;
    }
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a process that is gone would block the listen.
    QLocalServer::removeServer(socketPath);
    server->listen(socketPath);
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                const QByteArray message = socket->readLine();
                if (message == activationMessage || message == reloadMessage ||
                    message == togglePauseMessage || message == preferencesMessage) {
                    socket->write(acknowledgement);
                    socket->flush();
                    if (message == reloadMessage)
                        Q_EMIT reloadRequested();
                    else if (message == preferencesMessage)
                        Q_EMIT preferencesRequested();
                    else if (message == togglePauseMessage)
                        Q_EMIT pauseToggleRequested();
                    else
                        Q_EMIT activationRequested();
                }
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

bool SingleInstance::askRunningInstance() {
    // The running instance may still be starting up; give it a moment to listen.
    const QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(activationMessage);
            return socket.waitForBytesWritten(1000);
        }
        // Nobody listens where this session would: the lock's holder runs elsewhere.
        if (!QFileInfo::exists(socketPath) && deadline.remainingTime() < 2000)
            return false;
        QThread::msleep(50);
    }
    return false;
}

SingleInstance::Answer SingleInstance::ask(const QString& folder, Request request, int milliseconds,
                                           const QString& lockFolder) {
    const QString lockPath = QDir(folder).filePath(u"sayvane.lock"_s);
    const QString quotesLockPath =
        lockFolder.isEmpty() ? lockPath : QDir(lockFolder).filePath(u"sayvane.lock"_s);
    const QString socketPath = QDir(folder).filePath(u"sayvane.socket"_s);
    const QByteArray message = request == Request::reload        ? reloadMessage
                               : request == Request::togglePause ? togglePauseMessage
                               : request == Request::preferences ? preferencesMessage
                                                                 : activationMessage;
    // A copy that is starting holds the lock a moment before it listens.
    const QDeadlineTimer deadline(milliseconds);
    do {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(message);
            socket.waitForBytesWritten(1000);
            while (!socket.canReadLine() && socket.waitForReadyRead(1000)) {
            }
            if (socket.canReadLine() && socket.readLine() == acknowledgement)
                return Answer::done;
        } else if (!lockHeld(quotesLockPath) && !lockHeld(lockPath)) {
            return Answer::noneRunning;
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return Answer::noAnswer;
}
