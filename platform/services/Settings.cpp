#include "Settings.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace Settings {

std::unique_ptr<QSettings> open() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, u"Sayvane"_s,
                                       u"Sayvane"_s);
}

QString path() {
    return open()->fileName();
}

} // namespace Settings
