#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a log-out, Ctrl+C, a closed terminal) into received() in the
// event loop, so that the program can end the way Quit ends it. The handler does nothing but
// write the signal's number to a pipe, which is all a signal handler may safely do; a socket
// notifier reads it in the event loop. Qt has no portable class for this. Signal handlers are
// process-wide: make one at a time.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    // Puts the earlier handlers back.
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    QSocketNotifier* notifier = nullptr;
};
