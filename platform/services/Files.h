#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Whole-file reading and writing for the small files the utility keeps. Every failure comes
// back as a description for a person that names the file and says what went wrong.
namespace Files {

// What tells one version of a file from another without reading it: the file (device, inode)
// and its size and modification time. Two equal stamps can still hide a change made within the
// same tick of the clock, so callers that must be sure compare the bytes as well.
struct Stamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNanoseconds = 0;
    friend bool operator==(const Stamp&, const Stamp&) = default;
};

// The stamp of the file at the path (following symbolic links), or nothing when none is there.
std::optional<Stamp> stamp(const QString& path);

// The user's home folder: $HOME, or the user database's entry when $HOME is unset or empty.
QString homeFolder();

// True when something (file, folder, or the target of a symbolic link) is at the path.
bool exists(const QString& path);

// Makes the folder with every missing parent. Returns whether it exists afterwards.
bool makeFolder(const QString& path);

// The whole file; with fileStamp, also the stamp of the very file that was read.
std::optional<QByteArray> read(const QString& path, QString* error, Stamp* fileStamp = nullptr);

// Replaces the file's content in one step, so that a crash or a full disk leaves either the
// old content or the new one, never a cut-off file: the bytes go to a temporary file in the
// same folder, which is flushed to disk, renamed over the file and followed by a flush of the
// folder. A symbolic link stays a link and its target is replaced; an existing file keeps its
// permissions. A file that its owner may not write is not replaced. Temporary files that an
// interrupted earlier save left beside the file are removed once a save has succeeded. With
// fileStamp, also the stamp of the file just written.
bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error,
                     Stamp* fileStamp = nullptr);

// Puts the bytes in the place of the file at the path in one step, as writeAtomically does, and
// hands back what stood there at that instant: on Linux the new file is swapped in
// (renameat2 with RENAME_EXCHANGE), which leaves the earlier file under the temporary's name
// for the caller to compare, keep or discard; no other writer's file can slip in between a
// last look and the rename. Where the file system refuses the swap, a plain rename replaces
// the file and what stood there is gone.
struct Replacement {
    // The earlier file, now under a temporary name beside the new one; empty when nothing stood
    // at the path, or after a plain rename.
    QString previous;
    // False after the plain rename, when nobody can tell what was replaced.
    bool exchanged = false;
    // The stamp of the new file.
    Stamp stamp;
    // beforeSwap said no: nothing was changed.
    bool abandoned = false;
};
// With beforeSwap, the new file is put in place only if beforeSwap answers true once the new
// file is on disk, just before the swap; otherwise it is dropped and `abandoned` is set.
std::optional<Replacement> putInPlace(const QString& path, const QByteArray& bytes, QString* error,
                                      const std::function<bool()>& beforeSwap = {});

// Gives the file the name "<path>.<stem>-<yyyyMMdd-HHmmss>" (with "-2", "-3"... rather than
// ever replacing an existing name) by a rename, so that whatever is still written into it
// stays in it. Returns the new name.
std::optional<QString> moveBeside(const QString& file, const QString& path, const QString& stem,
                                  QString* error);

// Whether a process other than this one has the file open now (it may be about to write into
// it): an exclusive lease cannot be had while it does. False where leases are not available.
bool openElsewhere(const QString& path);

// The final file a path stands for: the end of its chain of symbolic links.
QString finalTarget(const QString& path);

// An exclusive advisory lock (flock) on a lock file, held while the object lives. Every Sayvane
// process takes the one beside the quotes file before it reads the file to change it, and
// holds it until the changed file is in place, so that writers take turns.
class ExclusiveLock {
public:
    // Waits up to the time for the lock; nothing, with a description, when it cannot be had.
    static std::optional<ExclusiveLock> take(const QString& lockPath, int milliseconds,
                                             QString* error);
    ExclusiveLock(ExclusiveLock&& other) noexcept;
    ExclusiveLock& operator=(ExclusiveLock&&) = delete;
    ExclusiveLock(const ExclusiveLock&) = delete;
    ~ExclusiveLock();

private:
    explicit ExclusiveLock(int fd)
        : fd(fd) {}
    int fd = -1;
};

// Removes the temporary files that saves of the file were cut short in (a crash, a kill), but
// none that a save still in progress holds. Returns how many were removed.
int removeLeftoverTemporaries(const QString& path);

// Gives the file's current content a new name beside it, "<path>.<stem>-<yyyyMMdd-HHmmss>",
// adding "-2", "-3"... rather than ever replacing an existing name. The file itself stays where
// it is. Returns the new path.
std::optional<QString> keepCopyBeside(const QString& path, const QString& stem, QString* error);

} // namespace Files
