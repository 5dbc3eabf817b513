#include "LoginItemService.h"

#include "Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace Qt::StringLiterals;

XdgAutostartService::XdgAutostartService(QString autostartFolder, QString executablePath)
    : autostartFolder(std::move(autostartFolder))
    , executablePath(std::move(executablePath)) {}

std::shared_ptr<XdgAutostartService> XdgAutostartService::forThisProgram() {
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and counts as unset.
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = Files::homeFolder() + u"/.config"_s;
    QString executable = qEnvironmentVariable("APPIMAGE");
    if (executable.isEmpty())
        executable = QCoreApplication::applicationFilePath();
    return std::make_shared<XdgAutostartService>(configHome + u"/autostart"_s, executable);
}

QString XdgAutostartService::entryPath() const {
    return autostartFolder + u"/sayvane.desktop"_s;
}

namespace {

bool isSwitchedOff(const QByteArray& entry) {
    bool inMainGroup = false;
    bool off = false;
    for (QByteArray line : entry.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed().toLower();
        if (key == "Hidden")
            off = off || value == "true";
        else if (key == "X-GNOME-Autostart-enabled")
            off = off || value == "false";
    }
    return off;
}

} // namespace

LoginItemStatus XdgAutostartService::status() const {
    if (executablePath.isEmpty() || !QFileInfo(executablePath).isFile())
        return LoginItemStatus::notFound;
    const QString path = entryPath();
    if (!QFileInfo(path).isFile())
        return LoginItemStatus::notRegistered;
    QString ignored;
    const auto entry = Files::read(path, &ignored);
    if (entry && isSwitchedOff(*entry))
        return LoginItemStatus::requiresApproval;
    return LoginItemStatus::enabled;
}

QString XdgAutostartService::execValue(const QString& path) {
    // Inside a quoted argument, ", `, $ and \ take a backslash; then the value as a whole is a
    // string whose backslashes are doubled again: \\" for a quote, \\\\ for a backslash.
    // % starts a field code and is written %%.
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$')
            quoted += u"\\\\"_s;
        else if (c == u'\\')
            quoted += u"\\\\\\"_s;
        else if (c == u'%')
            quoted += u"%"_s;
        quoted += c;
    }
    return u"\""_s + quoted + u"\""_s;
}

bool XdgAutostartService::registerApp(QString* error) {
    if (executablePath.isEmpty() || !QFileInfo(executablePath).isFile()) {
        *error = u"the program cannot find its own executable file, so there is nothing to start "
                 "at login"_s;
        return false;
    }
    if (executablePath.contains(u'\n') || executablePath.contains(u'\r')) {
        *error = u"the path of the program holds a line break, which an autostart entry cannot "
                 "hold: %1"_s.arg(executablePath);
        return false;
    }
    if (!QDir().mkpath(autostartFolder)) {
        *error = u"cannot make the folder %1"_s.arg(QDir::toNativeSeparators(autostartFolder));
        return false;
    }
    const QString entry = u"[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Sayvane\n"
                          "Comment=Your own quotes, scrolling at the top of the screen\n"
                          "Exec=%1\n"
                          "Icon=sayvane\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n"_s.arg(execValue(executablePath));
    return Files::writeAtomically(entryPath(), entry.toUtf8(), error);
}

bool XdgAutostartService::unregisterApp(QString* error) {
    const QString path = entryPath();
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT) {
        *error = u"cannot remove %1: %2"_s.arg(QDir::toNativeSeparators(path),
                                               QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}
