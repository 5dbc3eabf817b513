#pragma once

#include <QString>
#include <QStringList>

// `sayvane --set KEY=VALUE ...` and `sayvane --get KEY`: the settings file read and written
// without the program. A running program follows the file, so what is set reaches it at once.
namespace SettingsCommand {

// Writes every assignment, or none when one names no key or a value the key does not take
// (status 2, with the reason).
int set(const QStringList& assignments);
// Prints the key's value now: the file's, or the fallback when the file's cannot be read.
int get(const QString& name);

} // namespace SettingsCommand
