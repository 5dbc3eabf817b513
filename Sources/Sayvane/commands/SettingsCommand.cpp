#include "SettingsCommand.h"

#include "CommandOutput.h"
#include "Preferences.h"

#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using namespace CommandOutput;

namespace SettingsCommand {

namespace {

QString unknownKey(const QString& name) {
    return u"there is no setting '%1'; the settings are %2."_s.arg(
        name, SettingKeys::names().join(u", "_s));
}

} // namespace

int set(const QStringList& assignments) {
    std::vector<std::pair<QString, QString>> values;
    for (const QString& assignment : assignments) {
        const qsizetype equals = assignment.indexOf(u'=');
        const QString name = assignment.left(equals).trimmed();
        const QString value = assignment.mid(equals + 1);
        const SettingKey* key = SettingKeys::find(name);
        if (!key)
            return notUnderstood(unknownKey(name));
        const auto parsed = key->parse(value);
        if (const auto* refusal = std::get_if<QString>(&parsed))
            return notUnderstood(*refusal + u'.');
        values.emplace_back(name, value);
    }
    Preferences preferences;
    for (const auto& [name, value] : values) {
        if (const auto problem = preferences.set(name, value)) {
            printError(u"sayvane: "_s + *problem);
            return failed;
        }
    }
    return done;
}

int get(const QString& name) {
    if (!SettingKeys::find(name))
        return notUnderstood(unknownKey(name));
    printOut(Preferences().text(name));
    return done;
}

} // namespace SettingsCommand
