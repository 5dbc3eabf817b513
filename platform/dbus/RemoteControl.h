#pragma once

#include "DisplayFeed.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

// The running program's own D-Bus interface, for desktops, scripts and keyboard shortcuts:
// service io.github.sayvane.Sayvane, object "/", interface io.github.sayvane.Sayvane.
//
// Methods EditQuotes, Reload, Quit, Pause, Resume, TogglePause, AddQuote(s) -> u,
// AddQuotes(as) -> u and WatchDisplay(u) -> s (the display as JSON, for views in other
// processes: DisplayFeed); properties CurrentQuote (s), DisplayText (s), Language (s, writable)
// and Paused (b), and one writable property for each setting the actions offer; the signals
// QuotesChanged and DisplayChanged, and org.freedesktop.DBus.Properties.PropertiesChanged for
// Language, Paused and the settings. What each call does is the actions' business; this class
// speaks the protocol.
//
// It is a virtual object rather than an exported QObject: QtDBus answers a property write that
// a QObject refuses with "Internal error", and an unknown language deserves plain words.
class RemoteControl : public QDBusVirtualObject {
    Q_OBJECT

public:
    static inline const QString serviceName = QStringLiteral("io.github.sayvane.Sayvane");
    static inline const QString objectPath = QStringLiteral("/");
    static inline const QString interfaceName = QStringLiteral("io.github.sayvane.Sayvane");
    // Answered when the quotes file could not be loaded, so that an addition would replace it.
    static inline const QString notLoadedError =
        QStringLiteral("io.github.sayvane.Sayvane.Error.NotLoaded");
    // Answered when a save the call needed did not go through.
    static inline const QString failedError =
        QStringLiteral("io.github.sayvane.Sayvane.Error.Failed");

    // Why a call changed nothing, in words for the person who made it.
    struct Refusal {
        enum class Kind { badInput, notLoaded, failed };
        Kind kind = Kind::failed;
        QString message;
    };

    // A setting offered as a property: its name and D-Bus type ("s", "i" or "b").
    struct Setting {
        QString name;
        QString type;
    };

    // What the calls do; every one is called on the main thread.
    struct Actions {
        std::function<void()> editQuotes;
        std::function<void()> reload;
        std::function<void()> quit;
        std::function<void(bool paused)> setPaused;
        std::function<bool()> isPaused;
        std::function<QString()> currentQuote;
        // The raw value of the interface language ("en", "vi", "zh").
        std::function<QString()> language;
        // Sets the language of a raw value; anything else changes nothing and is refused.
        std::function<std::optional<Refusal>(const QString& language)> setLanguage;
        // Adds the quotes and then answers, perhaps later (calls that arrive together may be
        // saved together): how many were added (0 when all were in the list already), or why
        // none was.
        using AdditionAnswer = std::function<void(std::variant<uint, Refusal>)>;
        std::function<void(const QStringList& quotes, AdditionAnswer answer)> addQuotes;
        // The settings, read and written as properties of their names.
        QList<Setting> settings;
        std::function<QVariant(const QString& name)> setting;
        std::function<std::optional<Refusal>(const QString& name, const QVariant& value)>
            setSetting;
    };

    // Owns the service name on the connection and exports the object; nothing, with one line
    // on standard error, when the connection is not connected or the name belongs to another
    // program.
    static std::unique_ptr<RemoteControl> publish(QDBusConnection connection, Actions actions);
    ~RemoteControl() override;

    // What the program shows, for views in other processes; DisplayChanged follows its
    // changes.
    DisplayFeed& display() { return feed; }

    // Emits QuotesChanged.
    void announceQuotesChanged();
    // Emits PropertiesChanged for the properties that differ from what was last announced.
    void announcePropertyChanges();

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    RemoteControl(QDBusConnection connection, Actions actions);

    struct Announced {
        QString language;
        bool paused = false;
        QVariantMap settings;
    };
    Announced current() const;
    // The property's value, or nothing for an unknown name.
    std::optional<QVariant> property(const QString& name) const;
    void handleMethod(const QDBusMessage& message);
    void handlePropertyCall(const QDBusMessage& message);
    void setSetting(const QDBusMessage& message, const Setting& setting, const QVariant& value);
    // The answer to a property set, refused or not, and the properties announced.
    void replyToSet(const QDBusMessage& message, const std::optional<Refusal>& refusal);
    const Setting* findSetting(const QString& name) const;
    void addQuotes(const QDBusMessage& message, const QStringList& quotes);
    void reply(const QDBusMessage& answer);

    QDBusConnection connection;
    Actions actions;
    Announced announced;
    DisplayFeed feed;
};
