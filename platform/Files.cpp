#include "Files.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Files {
namespace {

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString describe(const QString& action, const QString& path, const QString& reason) {
    return u"%1 %2: %3"_s.arg(action, QDir::toNativeSeparators(path), reason);
}

// Closes a POSIX descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd; }

private:
    int fd = -1;
};

bool syncFolderOf(const QString& path, QString* error) {
    const QString folder = QFileInfo(path).absolutePath();
    Descriptor dir(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fsync(dir.get()) != 0) {
        if (error)
            *error = describe(u"cannot flush the folder"_s, folder, systemError(errno));
        return false;
    }
    return true;
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

bool exists(const QString& path) { return QFileInfo::exists(path); }

bool makeFolder(const QString& path) { return QDir().mkpath(path); }

std::optional<QByteArray> read(const QString& path, QString* error) {
    Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0) {
        *error = describe(u"cannot read"_s, path, systemError(errno));
        return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
        *error = describe(u"cannot read"_s, path, u"it is a folder, not a file"_s);
        return std::nullopt;
    }
    QByteArray bytes;
    if (S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(static_cast<qsizetype>(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            *error = describe(u"cannot read"_s, path, systemError(errno));
            return std::nullopt;
        }
        bytes.append(buffer, count);
    }
    return bytes;
}

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    const QString action = u"cannot write"_s;
    // The rename below would replace a read-only file without asking; keep the owner's wish.
    if (QFileInfo(path).isFile() && ::access(QFile::encodeName(path).constData(), W_OK) != 0) {
        *error = describe(action, path, systemError(errno));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = describe(action, path, file.errorString());
        return false;
    }
    // QSaveFile syncs before its rename but ignores a failed sync; do it here and report it.
    if (!writeAll(file.handle(), bytes) || ::fsync(file.handle()) != 0) {
        *error = describe(action, path, systemError(errno));
        file.cancelWriting();
        file.commit();
        return false;
    }
    if (!file.commit()) {
        *error = describe(action, path, file.errorString());
        return false;
    }
    // The rename is durable only once the folder that holds the file is flushed.
    return syncFolderOf(QFileInfo(path).canonicalFilePath(), error);
}

std::optional<QString> keepCopyBeside(const QString& path, const QString& stem, QString* error) {
    const QString base =
        u"%1.%2-%3"_s.arg(path, stem, QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s));
    const QByteArray source = QFile::encodeName(path);
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QString target = attempt == 1 ? base : u"%1-%2"_s.arg(base).arg(attempt);
        const QByteArray targetName = QFile::encodeName(target);
        // A second hard link keeps the bytes without reading them, so it works for a file we may
        // not read; it fails with EEXIST rather than replace an earlier copy.
        if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, targetName.constData(),
                     AT_SYMLINK_FOLLOW) == 0) {
            if (!syncFolderOf(target, error))
                return std::nullopt;
            return target;
        }
        if (errno == EEXIST)
            continue;
        // No hard links here (another file system, or one without links): copy the bytes.
        QString readError;
        const auto bytes = read(path, &readError);
        if (!bytes) {
            *error = describe(u"cannot keep a copy of"_s, path, readError);
            return std::nullopt;
        }
        Descriptor copy(::open(targetName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                               S_IRUSR | S_IWUSR));
        if (copy.get() < 0 && errno == EEXIST)
            continue;
        if (copy.get() < 0 || !writeAll(copy.get(), *bytes) || ::fsync(copy.get()) != 0) {
            *error = describe(u"cannot keep a copy of"_s, path, systemError(errno));
            if (copy.get() >= 0)
                ::unlink(targetName.constData());
            return std::nullopt;
        }
        if (!syncFolderOf(target, error))
            return std::nullopt;
        return target;
    }
    *error = describe(u"cannot keep a copy of"_s, path, u"too many earlier copies"_s);
    return std::nullopt;
}

} // namespace Files
