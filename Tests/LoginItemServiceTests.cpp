#include "LoginItemService.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

struct Autostart {
    QTemporaryDir folder;
    QString program = folder.filePath(u"bin/my app/say$vane"_s);
    QString autostart = folder.filePath(u"config/autostart"_s);
    XdgAutostartService service{autostart, program};

    Autostart() {
        writeBytes(program, "#!/bin/sh\n");
        QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
    }
    QByteArray entry() const { return readBytes(service.entryPath()); }
    QByteArray exec() const { return XdgAutostartService::execValue(program).toUtf8(); }
};

} // namespace

TEST(XdgAutostart, RegisterWritesAnEntryThatStartsThisProgram) {
    Autostart a;
    EXPECT_EQ(a.service.status(), LoginItemStatus::notRegistered);
    QString error;
    ASSERT_TRUE(a.service.registerApp(&error)) << error.toStdString();
    EXPECT_EQ(a.service.entryPath(), a.autostart + u"/sayvane.desktop"_s);
    EXPECT_EQ(a.service.status(), LoginItemStatus::enabled);
    const QByteArray entry = a.entry();
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("Type=Application\n"));
    EXPECT_TRUE(entry.contains(
        QByteArray("Exec=" + XdgAutostartService::execValue(a.program).toUtf8() + "\n")));

    const QString validate = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
    if (!validate.isEmpty()) {
        const ProgramRun check = runProgram(validate, {a.service.entryPath()});
        EXPECT_EQ(check.status, 0) << check.out.toStdString();
    }

    ASSERT_TRUE(a.service.unregisterApp(&error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(a.service.entryPath()));
    EXPECT_EQ(a.service.status(), LoginItemStatus::notRegistered);
}

TEST(XdgAutostart, SomeoneElsesEntryIsNeitherEnabledNorReplacedNorRemoved) {
    Autostart a;
    const QByteArray foreign = "[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/bin/other "
                               "--tray\n";
    writeBytes(a.service.entryPath(), foreign);
    EXPECT_EQ(a.service.status(), LoginItemStatus::notRegistered);
    QString error;
    EXPECT_FALSE(a.service.registerApp(&error));
    EXPECT_TRUE(error.contains(u"not written by Sayvane"_s)) << error.toStdString();
    error.clear();
    EXPECT_FALSE(a.service.unregisterApp(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(a.entry(), foreign) << "the entry is left byte for byte";

    // An entry of ours written by hand, starting the program by another spelling of its path.
    writeBytes(a.service.entryPath(),
               "[Desktop Entry]\nExec=\"" +
                   QFile::encodeName(a.folder.filePath(u"bin/./my app/say\\\\$vane"_s)) +
                   "\" --flag\n");
    EXPECT_EQ(a.service.status(), LoginItemStatus::enabled);
    EXPECT_TRUE(a.service.unregisterApp(&error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(a.service.entryPath()));
}

TEST(XdgAutostart, TheExecValueIsQuotedForADesktopEntry) {
    EXPECT_EQ(XdgAutostartService::execValue(u"/usr/bin/sayvane"_s), u"\"/usr/bin/sayvane\""_s);
    EXPECT_EQ(XdgAutostartService::execValue(u"/opt/my app/say$vane"_s),
              u"\"/opt/my app/say\\\\$vane\""_s);
    EXPECT_EQ(XdgAutostartService::execValue(u"/a\"b`c"_s), u"\"/a\\\\\"b\\\\`c\""_s);
    EXPECT_EQ(XdgAutostartService::execValue(u"/a\\b"_s), u"\"/a\\\\\\\\b\""_s);
    EXPECT_EQ(XdgAutostartService::execValue(u"/100%/x"_s), u"\"/100%%/x\""_s);
}

TEST(XdgAutostart, AnEntrySwitchedOffByTheDesktopAwaitsApproval) {
    for (const QByteArray& off :
         {QByteArray("Hidden=true"), QByteArray("X-GNOME-Autostart-enabled=false"),
          QByteArray("Hidden = True")}) {
        Autostart a;
        writeBytes(a.service.entryPath(),
                   "[Desktop Entry]\nType=Application\nExec=" + a.exec() + "\n" + off + "\n");
        EXPECT_EQ(a.service.status(), LoginItemStatus::requiresApproval) << off.toStdString();
    }
    Autostart a;
    writeBytes(a.service.entryPath(),
               "[Desktop Entry]\nExec=" + a.exec() + "\n[Desktop Action other]\nHidden=true\n");
    EXPECT_EQ(a.service.status(), LoginItemStatus::enabled) << "only the main group counts";
}

TEST(XdgAutostart, WithoutItsOwnExecutableTheProgramIsNotFound) {
    QTemporaryDir folder;
    XdgAutostartService service(folder.filePath(u"autostart"_s), folder.filePath(u"gone"_s));
    EXPECT_EQ(service.status(), LoginItemStatus::notFound);
    QString error;
    EXPECT_FALSE(service.registerApp(&error));
    EXPECT_TRUE(error.contains(u"executable"_s)) << error.toStdString();
    XdgAutostartService nothing(folder.filePath(u"autostart"_s), QString());
    EXPECT_EQ(nothing.status(), LoginItemStatus::notFound);
}

TEST(XdgAutostart, FailuresSayWhatWentWrong) {
    Autostart a;
    QString error;
    ASSERT_TRUE(a.service.registerApp(&error));
    QDir().mkpath(a.autostart);
    for (const QString& folder : {a.folder.path(), a.folder.filePath(u"config"_s), a.autostart})
        ::chmod(QFile::encodeName(folder).constData(), 0555);
    const int result = asUnprivilegedUser([&a] {
        QString unregisterError;
        QString registerError;
        const bool removed = a.service.unregisterApp(&unregisterError);
        QFile::remove(a.service.entryPath());
        const bool made = a.service.registerApp(&registerError);
        return !removed && unregisterError.contains(a.service.entryPath()) && !made &&
                       !registerError.isEmpty()
                   ? 0
                   : 1;
    });
    for (const QString& folder : {a.folder.path(), a.folder.filePath(u"config"_s), a.autostart})
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(a.service.status(), LoginItemStatus::enabled);
}

TEST(XdgAutostart, ThisProgramsServiceFollowsXdgConfigHomeAndAppImage) {
    QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.filePath(u"cfg"_s)));
    qputenv("APPIMAGE", "/opt/Sayvane.AppImage");
    auto service = XdgAutostartService::forThisProgram();
    EXPECT_EQ(service->entryPath(), folder.filePath(u"cfg/autostart/sayvane.desktop"_s));
    EXPECT_EQ(service->status(), LoginItemStatus::notFound) << "no AppImage at that path";
    qunsetenv("APPIMAGE");
    qputenv("XDG_CONFIG_HOME", "relative/ignored");
    service = XdgAutostartService::forThisProgram();
    EXPECT_EQ(service->entryPath(), QDir::homePath() + u"/.config/autostart/sayvane.desktop"_s);
    EXPECT_EQ(service->status(), LoginItemStatus::notRegistered)
        << "the test program itself is found";
    qunsetenv("XDG_CONFIG_HOME");
}
