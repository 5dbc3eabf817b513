#include "DisplayFeed.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

DisplayFeed::DisplayFeed(QDBusConnection connection, QObject* parent)
    : QObject(parent)
    , connection(std::move(connection)) {
    presence.setSingleShot(true);
    presence.setInterval(presenceMilliseconds);
    connect(&presence, &QTimer::timeout, this, &DisplayFeed::updatePresence);
}

void DisplayFeed::show(const QStringList& newSegments, const QString& stillText, bool isPaused) {
    if (newSegments == segments && stillText == still && isPaused == paused)
        return;
    segments = newSegments;
    still = stillText;
    paused = isPaused;
    publish();
}

void DisplayFeed::setMenu(const MenuDescription& description) {
    const QJsonArray made = menuJson(description.root());
    if (made == menu)
        return;
    menu = made;
    publish();
}

QJsonArray DisplayFeed::menuJson(const MenuEntry& entry) {
    QJsonArray entries;
    for (const MenuEntry& child : entry.children) {
        QJsonObject item{{u"id"_s, child.id}};
        switch (child.kind) {
        case MenuEntry::Kind::separator:
            item.insert(u"kind"_s, u"separator"_s);
            break;
        case MenuEntry::Kind::submenu:
            item.insert(u"kind"_s, u"submenu"_s);
            item.insert(u"title"_s, child.title);
            item.insert(u"children"_s, menuJson(child));
            break;
        case MenuEntry::Kind::action:
            item.insert(u"kind"_s, u"action"_s);
            item.insert(u"title"_s, child.title);
            if (child.checkable) {
                item.insert(u"checked"_s, child.checked);
                item.insert(u"exclusive"_s, child.exclusive);
            }
            break;
        }
        entries.append(item);
    }
    return entries;
}

QString DisplayFeed::displayText() const {
    return segments.isEmpty() ? still : segments.join(QString());
}

QByteArray DisplayFeed::json() const {
    const QJsonObject object{
        {u"revision"_s, qint64(current)},
        {u"segments"_s, QJsonArray::fromStringList(segments)},
        {u"still"_s, still},
        {u"paused"_s, paused},
        {u"menu"_s, menu},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void DisplayFeed::publish() {
    ++current;
    const QList<Held> waiting = std::exchange(held, {});
    for (const Held& each : waiting) {
        delete each.timer;
        answer(each.call);
    }
    Q_EMIT changed();
}

void DisplayFeed::watch(const QDBusMessage& call) {
    const quint32 known = call.arguments().value(0).toUInt();
    if (known != current) {
        answer(call);
        return;
    }
    call.setDelayedReply(true);
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        for (qsizetype i = 0; i < held.size(); ++i) {
            if (held[i].timer == timer) {
                const QDBusMessage call = held.takeAt(i).call;
                timer->deleteLater();
                answer(call);
                return;
            }
        }
    });
    held.append({call, timer});
    timer->start(holdMilliseconds);
    updatePresence();
}

void DisplayFeed::answer(const QDBusMessage& call) {
    connection.send(call.createReply(QString::fromUtf8(json())));
    presence.start();
    updatePresence();
}

void DisplayFeed::updatePresence() {
    const bool now = !held.isEmpty() || presence.isActive();
    if (now == showing)
        return;
    showing = now;
    Q_EMIT viewShowingChanged(showing);
}
