#pragma once

#include <QDBusConnection>
#include <QString>

// Tells the user something where a desktop user looks: a notification, not standard output,
// which a program started from the desktop's menu or at login sends nowhere.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;
    virtual void notify(const QString& summary, const QString& body) = 0;
};

// Notifications through org.freedesktop.Notifications on the session bus, where a notification
// server runs (every desktop has one); without one, nothing is shown. The call is not waited for.
class FreedesktopNotifier final : public DesktopNotifier {
public:
    explicit FreedesktopNotifier(QDBusConnection bus);
    void notify(const QString& summary, const QString& body) override;

    static inline const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");

private:
    QDBusConnection bus;
};
