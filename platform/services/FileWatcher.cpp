#include "FileWatcher.h"

#include <QFileInfo>

FileWatcher::FileWatcher(const QString& path, QObject* parent, int settleMilliseconds)
    : QObject(parent)
    , watchedPath(QFileInfo(path).absoluteFilePath()) {
    settle.setSingleShot(true);
    settle.setInterval(settleMilliseconds);
    connect(&settle, &QTimer::timeout, this, [this] {
        rewatch();
        Q_EMIT changed();
    });
    auto restart = [this] {
        rewatch();
        settle.start();
    };
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, restart);
    // A change of the folder may be anything in it; only one that touches the file counts, which
    // the receiver tells by the file's identity. Waking it for a neighbour's change is harmless.
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, restart);
    rewatch();
}

void FileWatcher::rewatch() {
    const QString folder = QFileInfo(watchedPath).absolutePath();
    if (!watcher.directories().contains(folder) && QFileInfo(folder).isDir())
        watcher.addPath(folder);
    if (!watcher.files().contains(watchedPath) && QFileInfo::exists(watchedPath))
        watcher.addPath(watchedPath);
}
