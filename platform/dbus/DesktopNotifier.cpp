#include "DesktopNotifier.h"

#include <QDBusMessage>
#include <QVariantMap>

using namespace Qt::StringLiterals;

FreedesktopNotifier::FreedesktopNotifier(QDBusConnection bus)
    : bus(std::move(bus)) {}

void FreedesktopNotifier::notify(const QString& summary, const QString& body) {
    if (!bus.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(serviceName, objectPath, serviceName, u"Notify"_s);
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the
    // server's default). The body may hold markup on some servers: the path is escaped.
    call.setArguments({u"Sayvane"_s, 0u, u"io.github.sayvane.sayvane"_s, summary,
                       body.toHtmlEscaped(), QStringList(), QVariantMap(), -1});
    // Without a server the bus answers with an error, which nobody waits for.
    call.setAutoStartService(true);
    bus.send(call);
}
