#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Who shows status notifier items in a session, by the names of their programs' executables:
// the program that holds the watcher (org.kde.StatusNotifierWatcher) and those on the bus as
// hosts (org.kde.StatusNotifierHost-*, org.freedesktop.StatusNotifierHost-*).
struct NotifierHosts {
    // Empty while no watcher is on the bus.
    QString watcher;
    QStringList hosts;

    bool operator==(const NotifierHosts&) const = default;
};

// Follows the watcher and the hosts as they come and go (the bus's NameOwnerChanged), with no
// polling. A program's name is the file name of its executable, or its command name where the
// executable cannot be read.
class StatusNotifierHosts : public QObject {
    Q_OBJECT

public:
    explicit StatusNotifierHosts(QDBusConnection bus, QObject* parent = nullptr);

    NotifierHosts current() const { return seen; }

    // The name of the program that owns a connection of the bus, or empty.
    static QString programOf(const QDBusConnection& bus, const QString& service);

Q_SIGNALS:
    void changed(const NotifierHosts& hosts);

private Q_SLOTS:
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    void look();

    QDBusConnection bus;
    NotifierHosts seen;
    // Hosts and watchers start and stop in bursts (a panel's restart): one look after each.
    QTimer settle;
};
