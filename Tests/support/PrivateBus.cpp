#include "PrivateBus.h"

#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QTest>

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

QDBusMessage callAndWait(const QDBusConnection& connection, const QString& service,
                         const QString& path, const QString& interface, const QString& method,
                         const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    QDBusPendingCall pending = connection.asyncCall(message);
    if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 5000))
        return {};
    return pending.reply();
}

QVariant propertyOf(const QDBusConnection& connection, const QString& service, const QString& path,
                    const QString& interface, const QString& name) {
    const QDBusMessage reply =
        callAndWait(connection, service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                    QStringLiteral("Get"), {interface, name});
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

QList<QDBusMessage> BusSignals::named(const QString& member) const {
    QList<QDBusMessage> found;
    for (const QDBusMessage& message : received) {
        if (message.member() == member)
            found.append(message);
    }
    return found;
}

QStringList BusSignals::members() const {
    QStringList names;
    for (const QDBusMessage& message : received)
        names.append(message.member());
    return names;
}
