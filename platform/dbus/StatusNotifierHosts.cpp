#include "StatusNotifierHosts.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const QString watcherService = u"org.kde.StatusNotifierWatcher"_s;

bool isHostName(const QString& name) {
    return name.startsWith(u"org.kde.StatusNotifierHost-"_s) ||
           name.startsWith(u"org.freedesktop.StatusNotifierHost-"_s);
}

} // namespace

StatusNotifierHosts::StatusNotifierHosts(QDBusConnection connection, QObject* parent)
    : QObject(parent)
    , bus(std::move(connection)) {
    settle.setSingleShot(true);
    settle.setInterval(100);
    connect(&settle, &QTimer::timeout, this, &StatusNotifierHosts::look);
    if (!bus.isConnected())
        return;
    bus.connect(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus"_s,
                u"NameOwnerChanged"_s, this, SLOT(nameOwnerChanged(QString, QString, QString)));
    look();
}

void StatusNotifierHosts::nameOwnerChanged(const QString& name, const QString&, const QString&) {
    if (name == watcherService || isHostName(name))
        settle.start();
}

QString StatusNotifierHosts::programOf(const QDBusConnection& bus, const QString& service) {
    if (!bus.interface())
        return {};
    const QDBusReply<uint> pid = bus.interface()->servicePid(service);
    if (!pid.isValid())
        return {};
    const QString process = u"/proc/%1"_s.arg(pid.value());
    if (const QString executable = QFileInfo(process + u"/exe"_s).symLinkTarget();
        !executable.isEmpty())
        return QFileInfo(executable).fileName();
    // Another user's process: its command name, cut to 15 bytes by the kernel.
    QFile command(process + u"/comm"_s);
    return command.open(QIODevice::ReadOnly) ? QString::fromUtf8(command.readAll()).trimmed()
                                             : QString();
}

void StatusNotifierHosts::look() {
    QDBusConnectionInterface* daemon = bus.interface();
    if (!daemon)
        return;
    NotifierHosts now;
    now.watcher = programOf(bus, watcherService);
    // A watcher whose program cannot be told is there all the same.
    if (now.watcher.isEmpty() && daemon->isServiceRegistered(watcherService))
        now.watcher = u"?"_s;
    const QDBusReply<QStringList> names = daemon->registeredServiceNames();
    for (const QString& name : names.value()) {
        if (!isHostName(name))
            continue;
        if (const QString program = programOf(bus, name); !program.isEmpty())
            now.hosts << program;
    }
    now.hosts.sort();
    if (now == seen)
        return;
    seen = now;
    Q_EMIT changed(seen);
}
