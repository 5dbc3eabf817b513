#include "SignalNotifier.h"

#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The pipe each signal is written to, plus one (0 for none); read by the handler, so an atomic
// per signal.
std::array<std::atomic<int>, NSIG> writeEnds{};

extern "C" void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const int end = writeEnds[static_cast<size_t>(signalNumber)].load() - 1;
    const auto number = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds this signal unread; nothing is lost by dropping one more.
    if (end >= 0) [[maybe_unused]]
        const auto written = ::write(end, &number, 1);
    errno = savedErrno;
}

} // namespace

struct SignalNotifier::Handled {
    int signalNumber;
    int previousWriteEnd;
    struct sigaction previousAction;
};

std::initializer_list<int> SignalNotifier::termination() {
    static constexpr std::initializer_list<int> signals = {SIGTERM, SIGINT, SIGHUP};
    return signals;
}

SignalNotifier::SignalNotifier(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent) {
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        while (::read(pipeEnds[0], &number, 1) == 1)
            Q_EMIT received(number);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : signalNumbers) {
        if (signalNumber <= 0 || signalNumber >= NSIG)
            continue;
        auto* entry =
            new Handled{signalNumber,
                        writeEnds[static_cast<size_t>(signalNumber)].exchange(pipeEnds[1] + 1),
                        {}};
        ::sigaction(signalNumber, &action, &entry->previousAction);
        handled.append(entry);
    }
}

SignalNotifier::~SignalNotifier() {
    for (Handled* entry : std::as_const(handled)) {
        ::sigaction(entry->signalNumber, &entry->previousAction, nullptr);
        writeEnds[static_cast<size_t>(entry->signalNumber)].store(entry->previousWriteEnd);
        delete entry;
    }
    handled.clear();
    delete notifier;
    notifier = nullptr;
    if (pipeEnds[0] >= 0) {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
    }
}
