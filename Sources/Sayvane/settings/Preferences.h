#pragma once

#include "DisplayText.h"
#include "LabelTicker.h"
#include "Localization.h"
#include "SettingKeys.h"

#include <QHash>
#include <QObject>
#include <QVariant>

#include <memory>
#include <optional>

class FileWatcher;
class QSettings;

// The program's settings, typed: what each key of Sayvane.conf holds now, a value that cannot be
// read counting as its fallback (with one line on standard error, once for each bad value).
// Setting a value writes it at once; followed, the file's changes made by anyone else (a hand
// edit, `sayvane --set`, another copy of the program) arrive within about a second. Either way
// changed() names each key whose value changed, after it has.
class Preferences : public QObject {
    Q_OBJECT

public:
    // Reads the file (Settings::open()) at once.
    explicit Preferences(QObject* parent = nullptr);
    ~Preferences() override;

    // Watches the file from now on.
    void follow();
    // Reads the file again now.
    void reload();

    // The value of the key now (the fallback when the file's cannot be read); invalid for a name
    // that is no key.
    QVariant value(const QString& name) const;
    // The value as the file holds it and `sayvane --get` prints it.
    QString text(const QString& name) const;
    // Writes the value (its text, or a number or truth of the key's kind) to the file; the
    // reason when it is not one the key takes, or the file could not be written.
    std::optional<QString> set(const QString& name, const QVariant& value);

    QString strip() const;
    int stripWidth() const;
    int stripSpeed() const;
    int stripFontSize() const;
    // Where on the top edge the strip sits: Qt::AlignRight, Qt::AlignHCenter or Qt::AlignLeft.
    Qt::Alignment stripAlignment() const;
    bool pausesOnHover() const;
    QuoteOrder order() const;
    LabelSettings label() const;
    // The name of the screen chosen for the strip; empty for the automatic choice.
    QString screen() const;
    AppLanguage language() const;

Q_SIGNALS:
    void changed(const QString& name);

private:
    // Reads every key; gives the names whose values differ from before.
    QStringList readAll();

    std::unique_ptr<QSettings> file;
    std::unique_ptr<FileWatcher> watcher;
    QHash<QString, QVariant> values;
    // The text of each bad value said already, so that it is said once.
    QHash<QString, QString> reported;
};
