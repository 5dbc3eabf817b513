#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

constexpr char activationMessage[] = "show\n";
constexpr char acknowledgement[] = "ok\n";

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent)
    , lockPath(QDir(folder).filePath(u"sayvane.lock"_s))
    , socketPath(QDir(folder).filePath(u"sayvane.socket"_s))
    , lock(lockPath) {
    // Only a lock whose process is gone is stale, however old a live one is.
    lock.setStaleLockTime(std::chrono::milliseconds(0));
}

QString SingleInstance::userFolder() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime;
    return QDir::homePath() + u"/.cache/Sayvane"_s;
}

SingleInstance::~SingleInstance() {
    if (server)
        server->close();
}

bool SingleInstance::claim() {
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    if (!lock.tryLock(std::chrono::milliseconds(0))) {
        askRunningInstance();
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
                if (socket->readLine() == activationMessage) {
                    socket->write(acknowledgement);
                    socket->flush();
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
        QThread::msleep(50);
    }
    return false;
}
