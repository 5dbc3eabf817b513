#pragma once

#include <QString>

#include <memory>

// The registration status of the program as a login item; the numbers are the platform's.
enum class LoginItemStatus {
    notRegistered = 0,
    enabled = 1,
    requiresApproval = 2,
    notFound = 3,
};

// Starting the program when the user logs in. The service is the only record of it.
class LoginItemService {
public:
    virtual ~LoginItemService() = default;

    virtual LoginItemStatus status() const = 0;
    // `register` is a reserved word in C++, hence registerApp and unregisterApp. Each returns
    // false with a description for a person on failure.
    virtual bool registerApp(QString* error) = 0;
    virtual bool unregisterApp(QString* error) = 0;
};

// Launch at login on a Linux desktop, the freedesktop.org autostart way: a desktop entry
// "sayvane.desktop" in $XDG_CONFIG_HOME/autostart (~/.config/autostart when unset) that starts
// the running program's own executable.
class XdgAutostartService final : public LoginItemService {
public:
    XdgAutostartService(QString autostartFolder, QString executablePath);

    // The service for this process: the autostart folder of the user and the path of the
    // running executable, or of the AppImage it runs from.
    static std::shared_ptr<XdgAutostartService> forThisProgram();

    QString entryPath() const;

    // Enabled when our entry is there (one whose Exec starts this program's executable; an entry
    // of that name written by another program is never ours to replace or remove) and not
    // switched off (Hidden=true or
    // X-GNOME-Autostart-enabled=false, as desktops do when the user turns it off), which counts
    // as awaiting approval; not found when the program cannot find its own executable.
    LoginItemStatus status() const override;
    bool registerApp(QString* error) override;
    bool unregisterApp(QString* error) override;

    // The Exec value that runs the program at the path, quoted for a desktop entry.
    static QString execValue(const QString& path);

private:
    bool startsThisProgram(const QByteArray& entry) const;
    // True, with a description, when an entry is there that does not start this program.
    bool isSomeoneElsesEntry(QString* error) const;

    QString autostartFolder;
    QString executablePath;
};
