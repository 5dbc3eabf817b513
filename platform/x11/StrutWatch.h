#pragma once

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>
#include <QSet>

// Tells when the space that other windows reserve at the screen's edges may have changed,
// whether or not the work area shows it: a window that holds a reservation changes it, or a
// window comes or goes (the window manager's client list). The work area alone misses a panel
// that grows or shrinks within the strip's own reservation below it (a panel restarting at one
// height and settling at another). Does nothing off X11.
class StrutWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit StrutWatch(QObject* parent = nullptr);
    ~StrutWatch() override;

    // Follows the reservations of these windows (otherX11Struts' holders) from now on, as well
    // as those followed before.
    void watch(const QList<quint32>& windows);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void changed();

private:
    QSet<quint32> watched;
    quint32 partialAtom = 0;
    quint32 plainAtom = 0;
    quint32 clientListAtom = 0;
    quint32 root = 0;
};
