#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// A session bus of the test's own: a dbus-daemon with the system's session configuration,
// started with the object and stopped with it. Code under test and the stand-ins for the other
// side (a watcher, a panel) each get a connection of their own to it.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // False when dbus-daemon is missing or did not start; the reason is in error().
    bool isRunning() const { return !busAddress.isEmpty(); }
    QString error() const { return problem; }
    QString address() const { return busAddress; }

    // A new connection to the bus under a name of its own (unique within the test); closed
    // when the bus stops.
    QDBusConnection connect(const QString& name);
    // Sets DBUS_SESSION_BUS_ADDRESS to this bus, for child processes and for
    // QDBusConnection::sessionBus() when it has not been used yet in this process.
    void makeSessionBus() const;

private:
    QProcess daemon;
    QString busAddress;
    QString problem;
    QStringList connectionNames;
};

// Calls a method and waits with this thread's event loop running, since the code under test
// answers on this thread; an empty message when no answer came within five seconds.
QDBusMessage callAndWait(const QDBusConnection& connection, const QString& service,
                         const QString& path, const QString& interface, const QString& method,
                         const QVariantList& arguments = {});
// One property through org.freedesktop.DBus.Properties.Get; invalid when there is no answer.
QVariant propertyOf(const QDBusConnection& connection, const QString& service, const QString& path,
                    const QString& interface, const QString& name);

// The signals a connection hears, in the order they arrive.
class BusSignals : public QObject {
    Q_OBJECT

public:
    bool listen(QDBusConnection connection, const QString& service, const QString& path,
                const QString& interface, const QString& name) {
        return connection.connect(service, path, interface, name, this, SLOT(record(QDBusMessage)));
    }
    QList<QDBusMessage> named(const QString& member) const;
    QStringList members() const;

    QList<QDBusMessage> received;

public Q_SLOTS:
    void record(const QDBusMessage& message) { received.append(message); }
};
