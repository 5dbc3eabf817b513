#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// The program's settings file, ~/.config/Sayvane/Sayvane.conf (under $XDG_CONFIG_HOME when set):
// the interface language, the screen of the strip, the label in the panel. The one place that
// says where it is; every reader and writer opens it here.
namespace Settings {

// The file, opened afresh: a new object reads what other processes wrote meanwhile.
std::unique_ptr<QSettings> open();
// Where the file is (or would be), for a watch on it and for messages.
QString path();

} // namespace Settings
