#include "DetachedProgram.h"

#include "Files.h"

#include <QCoreApplication>
#include <QProcess>

namespace DetachedProgram {

qint64 start(const QStringList& arguments) {
    QProcess process;
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setWorkingDirectory(Files::homeFolder());
    qint64 pid = 0;
    return process.startDetached(&pid) ? pid : 0;
}

} // namespace DetachedProgram
