#include "PrivateBus.h"

#include <QDeadlineTimer>

PrivateBus::PrivateBus() {
    daemon.setProgram(QStringLiteral("dbus-daemon"));
    daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                         QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    daemon.setProcessChannelMode(QProcess::SeparateChannels);
    daemon.start();
    if (!daemon.waitForStarted(5000)) {
        problem = QStringLiteral("dbus-daemon did not start: ") + daemon.errorString();
        return;
    }
    // The daemon prints its address, one line, once it listens.
    QByteArray line;
    const QDeadlineTimer deadline(10000);
    while (!line.contains('\n') && !deadline.hasExpired() && daemon.state() == QProcess::Running) {
        daemon.waitForReadyRead(int(deadline.remainingTime()));
        line += daemon.readAllStandardOutput();
    }
    if (!line.contains('\n')) {
        problem = QStringLiteral("dbus-daemon printed no address: ") +
                  QString::fromLocal8Bit(daemon.readAllStandardError());
        return;
    }
    busAddress = QString::fromUtf8(line.left(line.indexOf('\n')).trimmed());
}

PrivateBus::~PrivateBus() {
    for (const QString& name : std::as_const(connectionNames))
        QDBusConnection::disconnectFromBus(name);
    if (daemon.state() != QProcess::NotRunning) {
        daemon.terminate();
        if (!daemon.waitForFinished(5000)) {
            daemon.kill();
            daemon.waitForFinished(5000);
        }
    }
}

QDBusConnection PrivateBus::connect(const QString& name) {
    connectionNames.append(name);
    return QDBusConnection::connectToBus(busAddress, name);
}

void PrivateBus::makeSessionBus() const {
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());
}
