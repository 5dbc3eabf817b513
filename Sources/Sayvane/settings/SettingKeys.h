#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <variant>
#include <vector>

// One key of the program's settings file: the kind of value it takes, its default and what it
// accepts, and how a text (a line of the file, a command-line argument) becomes its value.
struct SettingKey {
    enum class Kind { choice, number, boolean, text };

    QString name;
    Kind kind = Kind::text;
    QVariant defaultValue;
    // A choice: the values, as they are written.
    QStringList choices;
    // A number: its range and unit ("pixels").
    int minimum = 0;
    int maximum = 0;
    QString unit;
    // A number out of range read from the file is brought into it, rather than replaced by the
    // default (the label's keys always were).
    bool clamps = false;
    // A choice compared exactly, not in any case (the language codes).
    bool caseSensitive = false;
    // A bad value read from the file falls back without a word (the language: an unknown code is
    // left for whoever wrote it).
    bool quiet = false;

    // What the key takes, in words: "auto, on or off", "a whole number of pixels from 100 to
    // 1000".
    QString accepted() const;
    // The value the text gives, or why it gives none.
    std::variant<QVariant, QString> parse(const QString& text) const;
    // What a text read from the file counts as: its value, or the value to fall back on (the
    // default, or a number brought into range) with the reason.
    struct Reading {
        QVariant value;
        QString problem;
    };
    Reading read(const QString& text) const;
    // The value as the file holds it and `--get` prints it.
    QString format(const QVariant& value) const;
};

// Every key of the settings file, Sayvane.conf.
namespace SettingKeys {

inline const QString strip = QStringLiteral("Strip");
inline const QString stripWidth = QStringLiteral("StripWidth");
inline const QString stripSpeed = QStringLiteral("StripSpeed");
inline const QString stripFontSize = QStringLiteral("StripFontSize");
inline const QString stripAlign = QStringLiteral("StripAlign");
inline const QString pauseOnHover = QStringLiteral("PauseOnHover");
inline const QString order = QStringLiteral("Order");
inline const QString label = QStringLiteral("Label");
inline const QString labelColumns = QStringLiteral("LabelColumns");
inline const QString labelInterval = QStringLiteral("LabelInterval");
inline const QString screen = QStringLiteral("Screen");
inline const QString appLanguage = QStringLiteral("AppLanguage");

const std::vector<SettingKey>& all();
// The key of that name (compared exactly), or null.
const SettingKey* find(const QString& name);
QStringList names();

} // namespace SettingKeys
