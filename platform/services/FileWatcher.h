#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

// Tells when the file at a path may have changed: written in place, replaced by a rename (as
// editors and sync tools save), removed or created again. QFileSystemWatcher forgets a file that
// is replaced or removed, so the folder is watched too and the file is watched again whenever it
// reappears. Bursts of events (a save is often several) come out as one changed(), a short moment
// after the last of them.
class FileWatcher : public QObject {
    Q_OBJECT

public:
    explicit FileWatcher(const QString& path, QObject* parent = nullptr,
                         int settleMilliseconds = 150);

    QString path() const { return watchedPath; }

Q_SIGNALS:
    void changed();

private:
    void rewatch();

    QString watchedPath;
    QFileSystemWatcher watcher;
    QTimer settle;
};
