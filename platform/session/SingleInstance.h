#pragma once

#include <QObject>

#include <memory>

class QLocalServer;

// One running program per quotes file. The first process to claim the lock listens on a local
// socket; a later one asks it to come forward and then leaves. The lock is an advisory lock held
// on the lock file, which ends with its holder: a file left by a process that is gone (a crash,
// a kill), whatever process id it names, does not count.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // The socket lives in the folder, which should be the user's own (the runtime folder,
    // $XDG_RUNTIME_DIR). The lock lives in lockFolder, the folder of the quotes file, so that
    // it holds for every session that shares the file whatever their runtime folders; without
    // one, or when no lock can be made there, it lives beside the socket.
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr,
                            const QString& lockFolder = {});

    // The user's runtime folder ($XDG_RUNTIME_DIR), or ~/.cache/Sayvane when there is no usable
    // one: never a folder shared with other users, never the current folder.
    static QString userFolder();
    ~SingleInstance() override;

    // True when this process is the one to run. Otherwise the running one has been asked to
    // show itself (activationRequested there), and this process should end.
    bool claim();
    // After a claim that failed: whether the running instance took the request. When it did
    // not, it runs where this process cannot reach it (another session, say).
    bool runningInstanceAnswered() const { return answered; }
    // The lock file that decides which process runs.
    QString lockFilePath() const { return lockPath; }

    // What another process can ask of the running one. A connection that asks nothing else
    // asks it to come forward.
    enum class Request { show, reload, togglePause, preferences };
    enum class Answer { done, noneRunning, noAnswer };
    // Asks the program listening in the folder, without taking a lock: noneRunning when no live
    // process holds the lock (in lockFolder, or beside the socket), noAnswer when it did not
    // confirm within the time.
    static Answer ask(const QString& folder, Request request, int milliseconds = 3000,
                      const QString& lockFolder = {});

Q_SIGNALS:
    void activationRequested();
    void reloadRequested();
    void preferencesRequested();
    void pauseToggleRequested();

private:
    bool askRunningInstance();

    QString lockPath;
    QString socketPath;
    // The descriptor holding the lock, -1 while none is held.
    int lockDescriptor = -1;
    QString fallbackLockPath;
    bool answered = false;
    QLocalServer* server = nullptr;
};
