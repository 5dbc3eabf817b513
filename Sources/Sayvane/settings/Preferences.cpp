#include "Preferences.h"

#include "FileWatcher.h"
#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void printProblem(const QString& line) {
    std::fprintf(stderr, "sayvane: %s\n", line.toLocal8Bit().constData());
}

// The text of a stored value: INI files give a value with a comma as a list.
QString storedText(const QVariant& stored) {
    if (stored.typeId() == QMetaType::QStringList)
        return stored.toStringList().join(u", "_s);
    return stored.toString();
}

} // namespace

Preferences::Preferences(QObject* parent)
    : QObject(parent)
    , file(Settings::open()) {
    readAll();
}

Preferences::~Preferences() = default;

void Preferences::follow() {
    if (watcher)
        return;
    // The watch is on the folder too, which must be there for it (the quotes live in it anyway).
    QDir().mkpath(QFileInfo(file->fileName()).absolutePath());
    watcher = std::make_unique<FileWatcher>(file->fileName());
    connect(watcher.get(), &FileWatcher::changed, this, &Preferences::reload);
}

void Preferences::reload() {
    // Reads the file again when it changed on disk since it was last read or written here.
    file->sync();
    for (const QString& name : readAll())
        Q_EMIT changed(name);
}

QStringList Preferences::readAll() {
    QStringList differing;
    for (const SettingKey& key : SettingKeys::all()) {
        QVariant now = key.defaultValue;
        if (const QVariant stored = file->value(key.name); stored.isValid()) {
            const QString text = storedText(stored);
            const SettingKey::Reading reading = key.read(text);
            now = reading.value;
            if (reading.problem.isEmpty()) {
                reported.remove(key.name);
            } else if (!key.quiet && reported.value(key.name) != text) {
                reported.insert(key.name, text);
                printProblem(u"%1: %2; using %3."_s.arg(QDir::toNativeSeparators(file->fileName()),
                                                        reading.problem, key.format(now)));
            }
        } else {
            reported.remove(key.name);
        }
        const auto before = values.constFind(key.name);
        if (before != values.cend() && *before != now)
            differing.append(key.name);
        values.insert(key.name, now);
    }
    return differing;
}

QVariant Preferences::value(const QString& name) const {
    return values.value(name);
}

QString Preferences::text(const QString& name) const {
    const SettingKey* key = SettingKeys::find(name);
    return key ? key->format(value(name)) : QString();
}

std::optional<QString> Preferences::set(const QString& name, const QVariant& given) {
    const SettingKey* key = SettingKeys::find(name);
    if (!key)
        return u"There is no setting %1; the settings are %2."_s.arg(
            name, SettingKeys::names().join(u", "_s));
    QString text;
    if (given.typeId() == QMetaType::Bool)
        text = given.toBool() ? u"true"_s : u"false"_s;
    else
        text = given.toString();
    const auto parsed = key->parse(text);
    if (const auto* refusal = std::get_if<QString>(&parsed))
        return *refusal + u'.';
    const QVariant value = std::get<QVariant>(parsed);
    // The automatic screen is no name at all.
    if (key->kind == SettingKey::Kind::text && value.toString().isEmpty())
        file->remove(name);
    else
        file->setValue(name, key->format(value));
    file->sync();
    if (file->status() != QSettings::NoError)
        return u"%1 could not be written."_s.arg(QDir::toNativeSeparators(file->fileName()));
    reported.remove(name);
    if (values.value(name) != value) {
        values.insert(name, value);
        Q_EMIT changed(name);
    }
    return std::nullopt;
}

QString Preferences::strip() const {
    return value(SettingKeys::strip).toString();
}

int Preferences::stripWidth() const {
    return value(SettingKeys::stripWidth).toInt();
}

int Preferences::stripSpeed() const {
    return value(SettingKeys::stripSpeed).toInt();
}

int Preferences::stripFontSize() const {
    return value(SettingKeys::stripFontSize).toInt();
}

Qt::Alignment Preferences::stripAlignment() const {
    const QString align = value(SettingKeys::stripAlign).toString();
    if (align == u"left"_s)
        return Qt::AlignLeft;
    if (align == u"center"_s)
        return Qt::AlignHCenter;
    return Qt::AlignRight;
}

bool Preferences::pausesOnHover() const {
    return value(SettingKeys::pauseOnHover).toBool();
}

QuoteOrder Preferences::order() const {
    return value(SettingKeys::order).toString() == u"shuffled"_s ? QuoteOrder::shuffled
                                                                 : QuoteOrder::written;
}

LabelSettings Preferences::label() const {
    LabelSettings label;
    const QString mode = value(SettingKeys::label).toString();
    label.mode = mode == u"quote"_s ? LabelMode::quote
                 : mode == u"off"_s ? LabelMode::off
                                    : LabelMode::scrolling;
    label.columns = value(SettingKeys::labelColumns).toInt();
    label.intervalMilliseconds = value(SettingKeys::labelInterval).toInt();
    return label;
}

QString Preferences::screen() const {
    return value(SettingKeys::screen).toString();
}

AppLanguage Preferences::language() const {
    return AppLanguages::fromRawValue(value(SettingKeys::appLanguage).toString())
        .value_or(AppLanguage::english);
}
