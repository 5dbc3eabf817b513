#pragma once

#include "MenuDescription.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

// What the program shows, for views of it in other processes (the Plasma panel widget): the
// display segments (quote, separator, quote, ...), the still text of an empty list, whether the
// ticker is paused and the status menu, as one JSON object with a revision that goes up with
// every change. A view asks with the revision it has: the answer comes at once when there is a
// newer one, else when the next change comes, or after `holdMilliseconds` with the same
// revision (so that a caller's call never times out). While some view is waiting, or answered
// within `presenceMilliseconds`, the program counts a view as showing the ticker.
//
// Written by hand because QtDBus holds a call only for a virtual object or an adaptor that keeps
// the message: the program's interface object hands these calls here.
class DisplayFeed : public QObject {
    Q_OBJECT

public:
    static constexpr int holdMilliseconds = 15000;
    static constexpr int presenceMilliseconds = 25000;

    explicit DisplayFeed(QDBusConnection connection, QObject* parent = nullptr);

    void show(const QStringList& segments, const QString& stillText, bool paused);
    void setMenu(const MenuDescription& menu);
    // The text as the strip scrolls it: the segments joined, or the still text.
    QString displayText() const;
    quint32 revision() const { return current; }
    QByteArray json() const;
    bool viewShowing() const { return showing; }

    // Answers now or holds the call, which must be a method call with one uint argument.
    void watch(const QDBusMessage& call);

    // The JSON form of a menu: entries with id, title, kind, and check marks.
    static QJsonArray menuJson(const MenuEntry& entry);

Q_SIGNALS:
    void changed();
    void viewShowingChanged(bool showing);

private:
    void publish();
    void answer(const QDBusMessage& call);
    void updatePresence();

    QDBusConnection connection;
    QStringList segments;
    QString still;
    bool paused = false;
    QJsonArray menu;
    quint32 current = 1;
    struct Held {
        QDBusMessage call;
        QTimer* timer;
    };
    QList<Held> held;
    QTimer presence;
    bool showing = false;
};
