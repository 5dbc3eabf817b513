#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

// Turns POSIX signals into received() in the event loop: SIGTERM, SIGINT and SIGHUP (a log-out,
// Ctrl+C, a closed terminal) so that the program ends the way Quit ends it, SIGUSR1 so that a
// bar's feed pauses. The handler does nothing but write the signal's number to a pipe, which is
// all a signal handler may safely do; a socket notifier reads it in the event loop. Qt has no
// class for this. A signal is handled by one notifier at a time; the last one made takes it.
class SignalNotifier : public QObject {
    Q_OBJECT

public:
    explicit SignalNotifier(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    // Puts the earlier handlers back.
    ~SignalNotifier() override;

    // The signals that end a program in a session: SIGTERM, SIGINT and SIGHUP.
    static std::initializer_list<int> termination();

Q_SIGNALS:
    // Once for each signal delivered.
    void received(int signalNumber);

private:
    struct Handled;
    QList<Handled*> handled;
    int pipeEnds[2] = {-1, -1};
    QSocketNotifier* notifier = nullptr;
};
