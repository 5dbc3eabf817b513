#include "LoginItemService.h"

#include "Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <optional>
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

// The program that an Exec value starts: its first argument, with the string escapes of a
// desktop entry and then the quoting of its arguments undone.
QString programOf(const QString& exec) {
    QString value;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec[i] != u'\\' || i + 1 == exec.size()) {
            value += exec[i];
            continue;
        }
        const QChar next = exec[++i];
        value += next == u's'   ? QChar(u' ')
                 : next == u'n' ? QChar(u'\n')
                 : next == u't' ? QChar(u'\t')
                 : next == u'r' ? QChar(u'\r')
                                : next;
    }
    value = value.trimmed();
    QString program;
    if (value.startsWith(u'"')) {
        for (qsizetype i = 1; i < value.size() && value[i] != u'"'; ++i) {
            if (value[i] == u'\\' && i + 1 < value.size())
                ++i;
            program += value[i];
        }
    } else {
        program = value.section(u' ', 0, 0);
    }
    return program.replace(u"%%"_s, u"%"_s);
}

// The Exec value of the entry's main group, or nothing.
std::optional<QString> execOf(const QByteArray& entry) {
    bool inMainGroup = false;
    for (QByteArray line : entry.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (inMainGroup && line.startsWith("Exec") && line.mid(4).trimmed().startsWith('='))
            return QString::fromUtf8(line.mid(line.indexOf('=') + 1).trimmed());
    }
    return std::nullopt;
}

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

bool XdgAutostartService::startsThisProgram(const QByteArray& entry) const {
    const auto exec = execOf(entry);
    if (!exec)
        return false;
    QString program = programOf(*exec);
    if (!program.contains(u'/'))
        program = QStandardPaths::findExecutable(program);
    if (program.isEmpty())
        return false;
    if (program == executablePath)
        return true;
    const QString canonical = QFileInfo(program).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(executablePath).canonicalFilePath();
}

LoginItemStatus XdgAutostartService::status() const {
    if (executablePath.isEmpty() || !QFileInfo(executablePath).isFile())
        return LoginItemStatus::notFound;
    const QString path = entryPath();
    if (!QFileInfo(path).isFile())
        return LoginItemStatus::notRegistered;
    QString ignored;
    const auto entry = Files::read(path, &ignored);
    // Someone else's entry under our name does not start this program.
    if (!entry || !startsThisProgram(*entry))
        return LoginItemStatus::notRegistered;
    if (isSwitchedOff(*entry))
        return LoginItemStatus::requiresApproval;
    return LoginItemStatus::enabled;
}

bool XdgAutostartService::isSomeoneElsesEntry(QString* error) const {
    const QString path = entryPath();
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return false;
    QString readError;
    const auto entry = Files::read(path, &readError);
    if (entry && startsThisProgram(*entry))
        return false;
    *error = u"%1 was not written by Sayvane (it does not start %2); it was left as it is"_s.arg(
        QDir::toNativeSeparators(path), QDir::toNativeSeparators(executablePath));
    return true;
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
    if (isSomeoneElsesEntry(error))
        return false;
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
    if (isSomeoneElsesEntry(error))
        return false;
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT) {
        *error = u"cannot remove %1: %2"_s.arg(QDir::toNativeSeparators(path),
                                               QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}
