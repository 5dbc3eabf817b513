#include "Files.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Files {
namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

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
    Descriptor dir(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0 && ::fsync(dir.get()) == 0)
        return true;
    // Some file systems (FUSE, 9p, network ones) cannot flush a folder at all; the rename has
    // happened there and is as durable as they make it.
    if (errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP)
        return true;
    if (error)
        *error = describe(u"cannot flush the folder"_s, folder, systemError(errno));
    return false;
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

Stamp stampOf(const struct stat& info) {
    return {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
            static_cast<qint64>(info.st_size),
            static_cast<qint64>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

} // namespace

std::optional<Stamp> stamp(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return stampOf(info);
}

QString homeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return home;
    // getpwuid_r with a buffer of its own: getpwuid's result is shared process-wide.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    QByteArray buffer(size > 0 ? size : 16384, Qt::Uninitialized);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), static_cast<size_t>(buffer.size()),
                     &found) == 0 &&
        found && found->pw_dir && found->pw_dir[0] != '\0')
        return QFile::decodeName(found->pw_dir);
    return QDir::homePath();
}

bool exists(const QString& path) {
    return QFileInfo::exists(path);
}

bool makeFolder(const QString& path) {
    return QDir().mkpath(path);
}

std::optional<QByteArray> read(const QString& path, QString* error, Stamp* fileStamp) {
    // Without blocking: a named pipe at the path must not hang the program on its open.
    Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0) {
        *error = describe(u"cannot read"_s, path, systemError(errno));
        return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
        *error = describe(u"cannot read"_s, path, u"it is a folder, not a file"_s);
        return std::nullopt;
    }
    // A pipe or a device (a link to /dev/zero, say) could block or never end.
    if (!S_ISREG(info.st_mode)) {
        *error = describe(u"cannot read"_s, path, u"it is not a regular file"_s);
        return std::nullopt;
    }
    QByteArray bytes;
    if (info.st_size > 0)
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
    if (fileStamp)
        *fileStamp = stampOf(info);
    return bytes;
}

namespace {

constexpr char temporaryInfix[] = ".saving-";

// The file a path stands for: the end of its chain of symbolic links, which need not exist yet.
QString finalTarget(const QString& path) {
    QString target = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < 40 && QFileInfo(target).isSymLink(); ++hop)
        target = QFileInfo(target).symLinkTarget();
    return target;
}

// Temporary files are named ".<file>.saving-<random>" beside the file: hidden, and not a name
// anyone gives a file of their own, so that leftovers of a save cut short by a crash or a kill
// can be recognised and removed by the next save. (QSaveFile's temporary names cannot be told
// apart from a user's "quotes.json.backup", which is why the write is done by hand.)
QString temporaryPrefix(const QString& target) {
    const QFileInfo info(target);
    return info.absoluteDir().filePath(u"."_s + info.fileName() +
                                       QLatin1StringView(temporaryInfix));
}

// A save holds an advisory lock on its temporary file until the rename, so a file of the pattern
// that can be locked is a leftover; one that cannot belongs to a save still in progress.
int removeTemporariesBeside(const QString& target, const QString& current) {
    const QFileInfo prefix(temporaryPrefix(target));
    const QDir folder = prefix.absoluteDir();
    int removed = 0;
    for (const QString& name :
         folder.entryList({prefix.fileName() + u'*'}, QDir::Files | QDir::Hidden | QDir::System)) {
        const QString leftover = folder.filePath(name);
        if (leftover == current)
            continue;
        const QByteArray leftoverName = QFile::encodeName(leftover);
        Descriptor file(::open(leftoverName.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (file.get() < 0 || ::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (::unlink(leftoverName.constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace

int removeLeftoverTemporaries(const QString& path) {
    return removeTemporariesBeside(finalTarget(path), QString());
}

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error,
                     Stamp* fileStamp) {
    const QString target = finalTarget(path);
    const QByteArray targetName = QFile::encodeName(target);
    auto fail = [&](const QString& reason) {
        *error = describe(u"cannot write"_s, path, reason);
        return false;
    };
    if (QFileInfo(target).isSymLink())
        return fail(systemError(ELOOP));
    struct stat existing {};
    const bool exists = ::stat(targetName.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return fail(u"it is a folder, not a file"_s);
    // The rename below would replace a read-only file without asking; keep the owner's wish.
    if (exists && ::access(targetName.constData(), W_OK) != 0)
        return fail(systemError(errno));

    // Made with the mode 0666, which the umask trims, like any new file of the user's.
    QString temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary =
            temporaryPrefix(target) + QString::number(QRandomGenerator::global()->generate64(), 36);
        fd = ::open(QFile::encodeName(temporary).constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return fail(systemError(errno));
    }
    if (fd < 0)
        return fail(systemError(EEXIST));
    Descriptor file(fd);
    // Marks the file as a save in progress until it is closed (see removeTemporariesBeside).
    ::flock(fd, LOCK_EX | LOCK_NB);
    const QByteArray temporaryName = QFile::encodeName(temporary);
    auto discard = [&](int reason) {
        ::unlink(temporaryName.constData());
        return fail(systemError(reason));
    };
    if (exists) {
        // The new file takes the place of the old one with its permissions (and its owner, when
        // allowed: root saving a user's file).
        if (::fchmod(fd, existing.st_mode & 07777) != 0)
            return discard(errno);
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 && errno != EPERM)
            return discard(errno);
    }
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0)
        return discard(errno);
    struct stat written {};
    if (fileStamp && ::fstat(fd, &written) == 0)
        *fileStamp = stampOf(written);
    if (::rename(temporaryName.constData(), targetName.constData()) != 0)
        return discard(errno);
    removeTemporariesBeside(target, temporary);
    // The rename is durable only once the folder that holds the file is flushed.
    return syncFolderOf(target, error);
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
