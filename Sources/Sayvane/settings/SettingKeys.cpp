#include "SettingKeys.h"

#include "LabelTicker.h"
#include "Localization.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// "a, b or c"
QString listed(const QStringList& words) {
    if (words.size() < 2)
        return words.join(QString());
    return words.first(words.size() - 1).join(u", "_s) + u" or "_s + words.last();
}

SettingKey choice(const QString& name, const QStringList& choices) {
    SettingKey key;
    key.name = name;
    key.kind = SettingKey::Kind::choice;
    key.choices = choices;
    key.defaultValue = choices.first();
    return key;
}

SettingKey number(const QString& name, int defaultValue, int minimum, int maximum,
                  const QString& unit) {
    SettingKey key;
    key.name = name;
    key.kind = SettingKey::Kind::number;
    key.defaultValue = defaultValue;
    key.minimum = minimum;
    key.maximum = maximum;
    key.unit = unit;
    return key;
}

std::vector<SettingKey> makeKeys() {
    using namespace SettingKeys;
    std::vector<SettingKey> keys;
    keys.push_back(choice(strip, {u"auto"_s, u"on"_s, u"off"_s}));
    keys.push_back(number(stripWidth, 250, 100, 1000, u"pixels"_s));
    keys.push_back(number(stripSpeed, 45, 10, 300, u"pixels a second"_s));
    keys.push_back(number(stripFontSize, 14, 8, 48, u"pixels"_s));
    keys.push_back(choice(stripAlign, {u"right"_s, u"center"_s, u"left"_s}));
    SettingKey pause;
    pause.name = pauseOnHover;
    pause.kind = SettingKey::Kind::boolean;
    pause.defaultValue = true;
    keys.push_back(pause);
    keys.push_back(choice(order, {u"written"_s, u"shuffled"_s}));
    keys.push_back(choice(label, {u"scrolling"_s, u"quote"_s, u"off"_s}));
    SettingKey columns =
        number(labelColumns, LabelSettings::defaultColumns, LabelSettings::minimumColumns,
               LabelSettings::maximumColumns, u"columns"_s);
    columns.clamps = true;
    keys.push_back(columns);
    SettingKey interval =
        number(labelInterval, LabelSettings::defaultInterval, LabelSettings::minimumInterval,
               LabelSettings::maximumInterval, u"milliseconds"_s);
    interval.clamps = true;
    keys.push_back(interval);
    SettingKey screenName;
    screenName.name = screen;
    screenName.defaultValue = QString();
    keys.push_back(screenName);
    QStringList codes;
    for (const AppLanguage language : AppLanguages::allCases)
        codes.append(AppLanguages::rawValue(language));
    SettingKey languageCode = choice(appLanguage, codes);
    languageCode.caseSensitive = true;
    languageCode.quiet = true;
    keys.push_back(languageCode);
    return keys;
}

} // namespace

QString SettingKey::accepted() const {
    switch (kind) {
    case Kind::choice:
        return listed(choices);
    case Kind::number:
        return u"a whole number of %1 from %2 to %3"_s.arg(unit).arg(minimum).arg(maximum);
    case Kind::boolean:
        return u"true or false"_s;
    case Kind::text:
        break;
    }
    return u"any text"_s;
}

std::variant<QVariant, QString> SettingKey::parse(const QString& text) const {
    const QString given = text.trimmed();
    const QString refusal = u"%1 takes %2, not \"%3\""_s.arg(name, accepted(), text);
    switch (kind) {
    case Kind::choice:
        for (const QString& choice : choices) {
            if (caseSensitive ? text == choice : given.compare(choice, Qt::CaseInsensitive) == 0)
                return QVariant(choice);
        }
        return refusal;
    case Kind::number: {
        bool ok = false;
        const qlonglong value = given.toLongLong(&ok);
        if (!ok || value < minimum || value > maximum)
            return refusal;
        return QVariant(int(value));
    }
    case Kind::boolean: {
        static const QStringList yes = {u"true"_s, u"1"_s, u"yes"_s, u"on"_s};
        static const QStringList no = {u"false"_s, u"0"_s, u"no"_s, u"off"_s};
        if (yes.contains(given, Qt::CaseInsensitive))
            return QVariant(true);
        if (no.contains(given, Qt::CaseInsensitive))
            return QVariant(false);
        return refusal;
    }
    case Kind::text:
        break;
    }
    return QVariant(text);
}

SettingKey::Reading SettingKey::read(const QString& text) const {
    const auto parsed = parse(text);
    if (const auto* value = std::get_if<QVariant>(&parsed))
        return {*value, {}};
    Reading fallback{defaultValue, std::get<QString>(parsed)};
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (kind == Kind::number && clamps && ok)
        fallback.value = int(std::clamp<qlonglong>(value, minimum, maximum));
    return fallback;
}

QString SettingKey::format(const QVariant& value) const {
    switch (kind) {
    case Kind::number:
        return QString::number(value.toInt());
    case Kind::boolean:
        return value.toBool() ? u"true"_s : u"false"_s;
    case Kind::choice:
    case Kind::text:
        break;
    }
    return value.toString();
}

namespace SettingKeys {

const std::vector<SettingKey>& all() {
    static const std::vector<SettingKey> keys = makeKeys();
    return keys;
}

const SettingKey* find(const QString& name) {
    const auto& keys = all();
    const auto found = std::find_if(keys.begin(), keys.end(),
                                    [&name](const SettingKey& key) { return key.name == name; });
    return found == keys.end() ? nullptr : &*found;
}

QStringList names() {
    QStringList names;
    for (const SettingKey& key : all())
        names.append(key.name);
    return names;
}

} // namespace SettingKeys
