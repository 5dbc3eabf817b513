#include "Files.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

// The end of the chain of symbolic links, which need not exist yet.
QString finalTarget(const QString& path) {
    QString target = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < 40 && QFileInfo(target).isSymLink(); ++hop)
        target = QFileInfo(target).symLinkTarget();
    return target;
}

namespace {

constexpr char temporaryInfix[] = ".saving-";

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

namespace {

// Made with the mode 0666, which the umask trims, like any new file of the user's; an existing
// file's permissions (and owner, when allowed: root saving a user's file) go to its successor.
// Holds an advisory lock on the temporary until it is closed, which marks it as a save in
// progress (see removeTemporariesBeside). Gives the temporary's name, or nothing.
std::optional<QString> writeTemporary(const QString& target, const struct stat* existing,
                                      const QByteArray& bytes, Stamp* stamp, QString* reason,
                                      int* heldOpen) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temporary =
            temporaryPrefix(target) + QString::number(QRandomGenerator::global()->generate64(), 36);
        const QByteArray name = QFile::encodeName(temporary);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            *reason = systemError(errno);
            return std::nullopt;
        }
        auto file = std::make_unique<Descriptor>(fd);
        struct stat own {};
        // Another process's clean-up may have taken it for a leftover between the open and the
        // lock: then it is not ours to use (locked by the cleaner, or already unlinked).
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &own) != 0 || own.st_nlink == 0)
            continue;
        auto discard = [&](int error) {
            ::unlink(name.constData());
            *reason = systemError(error);
            return std::nullopt;
        };
        if (existing) {
            if (::fchmod(fd, existing->st_mode & 07777) != 0)
                return discard(errno);
            if (::fchown(fd, existing->st_uid, existing->st_gid) != 0 && errno != EPERM)
                return discard(errno);
        }
        if (!writeAll(fd, bytes) || ::fsync(fd) != 0)
            return discard(errno);
        struct stat written {};
        if (::fstat(fd, &written) == 0)
            *stamp = stampOf(written);
        // The caller closes it, which ends the lock, once the file has left the temporary name.
        *heldOpen = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        return temporary;
    }
    *reason = systemError(EEXIST);
    return std::nullopt;
}

} // namespace

std::optional<Replacement> putInPlace(const QString& path, const QByteArray& bytes, QString* error,
                                      const std::function<bool()>& beforeSwap) {
    const QString target = finalTarget(path);
    const QByteArray targetName = QFile::encodeName(target);
    auto fail = [&](const QString& reason) {
        *error = describe(u"cannot write"_s, path, reason);
        return std::nullopt;
    };
    if (QFileInfo(target).isSymLink())
        return fail(systemError(ELOOP));
    struct stat existing {};
    const bool exists = ::stat(targetName.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return fail(u"it is a folder, not a file"_s);
    // A pipe or a device would be replaced by a regular file; it is not ours to replace.
    if (exists && !S_ISREG(existing.st_mode))
        return fail(u"it is not a regular file"_s);
    // The rename below would replace a read-only file without asking; keep the owner's wish.
    if (exists && ::access(targetName.constData(), W_OK) != 0)
        return fail(systemError(errno));

    Replacement done;
    QString reason;
    int heldOpen = -1;
    const auto temporary = writeTemporary(target, exists ? &existing : nullptr, bytes, &done.stamp,
                                          &reason, &heldOpen);
    if (!temporary)
        return fail(reason);
    const Descriptor lockedUntilRenamed(heldOpen);
    const QByteArray temporaryName = QFile::encodeName(*temporary);
    if (beforeSwap && !beforeSwap()) {
        ::unlink(temporaryName.constData());
        done.abandoned = true;
        return done;
    }
    int result = -1;
    for (int attempt = 0; attempt < 10 && result != 0; ++attempt) {
        result = ::renameat2(AT_FDCWD, temporaryName.constData(), AT_FDCWD, targetName.constData(),
                             RENAME_EXCHANGE);
        if (result == 0) {
            done.previous = *temporary;
            done.exchanged = true;
        } else if (errno == ENOENT) {
            // Nothing to swap with: put the file there unless another writer just did.
            result = ::renameat2(AT_FDCWD, temporaryName.constData(), AT_FDCWD,
                                 targetName.constData(), RENAME_NOREPLACE);
            done.exchanged = result == 0;
            if (result != 0 && errno != EEXIST)
                break;
        } else {
            break;
        }
    }
    if (result != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
        // A file system that cannot swap (some network and FUSE ones): the plain rename, with
        // the earlier file kept under a second name just before it, where links can be made.
        const QString kept = *temporary + u"-previous"_s;
        if (::link(targetName.constData(), QFile::encodeName(kept).constData()) == 0)
            done.previous = kept;
        result = ::rename(temporaryName.constData(), targetName.constData());
        if (result != 0 && !done.previous.isEmpty()) {
            const int cause = errno;
            ::unlink(QFile::encodeName(done.previous).constData());
            done.previous.clear();
            errno = cause;
        }
    }
    if (result != 0) {
        const int cause = errno;
        ::unlink(temporaryName.constData());
        return fail(systemError(cause));
    }
    // The rename is durable only once the folder that holds the file is flushed.
    if (!syncFolderOf(target, error))
        return std::nullopt;
    return done;
}

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error,
                     Stamp* fileStamp) {
    const auto replaced = putInPlace(path, bytes, error);
    if (!replaced)
        return false;
    if (!replaced->previous.isEmpty())
        ::unlink(QFile::encodeName(replaced->previous).constData());
    removeTemporariesBeside(finalTarget(path), QString());
    if (fileStamp)
        *fileStamp = replaced->stamp;
    return true;
}

bool openElsewhere(const QString& path) {
    // A lease break would send SIGIO, whose default action ends the process; the lease is held
    // for a moment only, and nothing here wants the signal.
    static const bool ignoringSigio = [] {
        struct sigaction current {};
        if (::sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            ::signal(SIGIO, SIG_IGN);
        return true;
    }();
    (void)ignoringSigio;
    Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (file.get() < 0)
        return false;
    if (::fcntl(file.get(), F_SETLEASE, F_WRLCK) == 0) {
        ::fcntl(file.get(), F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN || errno == EBUSY;
}

std::optional<QString> moveBeside(const QString& file, const QString& path, const QString& stem,
                                  QString* error) {
    const QString base =
        u"%1.%2-%3"_s.arg(path, stem, QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_s));
    const QByteArray source = QFile::encodeName(file);
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QString target = attempt == 1 ? base : u"%1-%2"_s.arg(base).arg(attempt);
        const QByteArray targetName = QFile::encodeName(target);
        int result = ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, targetName.constData(),
                                 RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
            // Without the flag: a hard link never replaces a name either.
            result = ::link(source.constData(), targetName.constData());
            if (result == 0)
                ::unlink(source.constData());
        }
        if (result == 0)
            return syncFolderOf(target, error) ? std::optional(target) : std::nullopt;
        if (errno != EEXIST) {
            *error = describe(u"cannot keep a copy of"_s, path, systemError(errno));
            return std::nullopt;
        }
    }
    *error = describe(u"cannot keep a copy of"_s, path, u"too many earlier copies"_s);
    return std::nullopt;
}

std::optional<ExclusiveLock> ExclusiveLock::take(const QString& lockPath, int milliseconds,
                                                 QString* error) {
    const QByteArray name = QFile::encodeName(lockPath);
    // Read-only is enough for flock, and works on a lock file another user made.
    int fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // No lock file can be made (a read-only folder): lock the folder itself.
        fd = ::open(QFile::encodeName(QFileInfo(lockPath).absolutePath()).constData(),
                    O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) {
        *error = describe(u"cannot lock"_s, lockPath, systemError(errno));
        return std::nullopt;
    }
    const QDeadlineTimer deadline(milliseconds);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return ExclusiveLock(fd);
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (deadline.hasExpired()) {
            ::close(fd);
            *error =
                describe(u"cannot lock"_s, lockPath, u"another process has held it for too long"_s);
            return std::nullopt;
        }
        ::usleep(1000);
    }
    // A file system without flock: go on unlocked, as every writer there must.
    return ExclusiveLock(fd);
}

ExclusiveLock::ExclusiveLock(ExclusiveLock&& other) noexcept
    : fd(std::exchange(other.fd, -1)) {}

ExclusiveLock::~ExclusiveLock() {
    if (fd >= 0)
        ::close(fd);
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
