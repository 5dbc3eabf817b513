// Measures the program as a person runs it, beside the bare xcb program that only puts a ready
// 250×24 image into a window 60 times a second. One run prints:
//
// - for 3 and 100,000 quotes (mixed Latin, Vietnamese, Chinese and emoji): the time from the
//   start to the first frame of the strip on screen and to the first movement, the resident
//   memory after start-up and after a Reload (and the process's peak), and the longest time the
//   main thread left the window manager's ping of the strip unanswered at start-up, at a Reload,
//   a save and a change of language;
// - both programs scrolling side by side for 20 seconds: the CPU time of all their threads
//   (the kernel's schedstat, in nanoseconds), their wake-ups a second, the bytes they sent to
//   the X server a second, and the CPU time of each one's X server.
//
// Each program gets an Xvfb of its own, reached through a small proxy that counts the bytes in
// each direction; the program gets a private session bus, over which the measurement reloads,
// saves and changes the language as a user's shortcut would. Nothing here asserts a figure.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

const QString service = u"io.github.sayvane.Sayvane"_s;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QString loadAverage() {
    QFile file(u"/proc/loadavg"_s);
    if (!file.open(QIODevice::ReadOnly))
        return u"?"_s;
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

// Quotes as people keep them: Latin, Vietnamese, Chinese and an emoji, each numbered.
QByteArray quotesFile(int count) {
    QJsonArray list;
    for (int i = 0; i < count; ++i)
        list.append(u"Quote %1: never give up; Đừng bao giờ từ bỏ; 千里之行 🌟"_s.arg(i));
    return QJsonDocument(QJsonObject{{u"quotes"_s, list}}).toJson();
}

// ---- The X servers and the byte counts ----

// An Xvfb on a display number of its own choosing.
struct Xvfb {
    QProcess process;
    int display = -1;

    bool start() {
        process.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1280x720x24"_s,
                                  u"-nolisten"_s, u"tcp"_s});
        if (!process.waitForStarted(5000))
            return false;
        const Clock::time_point start = Clock::now();
        QByteArray line;
        while (!line.contains('\n') && secondsSince(start) < 15) {
            process.waitForReadyRead(500);
            line += process.readAllStandardOutput();
        }
        bool ok = false;
        display = line.trimmed().toInt(&ok);
        return ok;
    }
    ~Xvfb() {
        process.terminate();
        process.waitForFinished(5000);
    }
};

sockaddr_un socketAddress(int display, bool abstract) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(display);
    std::memcpy(address.sun_path + (abstract ? 1 : 0), path.c_str(), path.size());
    return address;
}

// An abstract address's name is as long as the path, without a terminating zero.
socklen_t addressLength(int display) {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(display);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
}

// A display that forwards every connection to an X server and counts the bytes each way: what a
// client sends its server is what this proxy reads from the client.
class CountingProxy {
public:
    ~CountingProxy() {
        if (thread.joinable()) {
            const char stop = 0;
            (void)::write(stopPipe[1], &stop, 1);
            thread.join();
        }
        for (const int fd : listening)
            ::close(fd);
        if (display >= 0) {
            ::unlink(("/tmp/.X11-unix/X" + std::to_string(display)).c_str());
            ::unlink(("/tmp/.X" + std::to_string(display) + "-lock").c_str());
        }
    }

    // Listens on a free display number (with its lock file, as X servers keep them).
    bool start(int serverDisplay) {
        server = serverDisplay;
        for (int candidate = 200; candidate < 400 && display < 0; ++candidate) {
            const std::string lock = "/tmp/.X" + std::to_string(candidate) + "-lock";
            const int lockFd = ::open(lock.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0444);
            if (lockFd < 0)
                continue;
            char pid[12];
            std::snprintf(pid, sizeof pid, "%10d\n", static_cast<int>(::getpid()));
            (void)::write(lockFd, pid, 11);
            ::close(lockFd);
            std::vector<int> fds;
            for (const bool abstract : {true, false}) {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
                const sockaddr_un address = socketAddress(candidate, abstract);
                const socklen_t length = abstract ? addressLength(candidate) : sizeof address;
                if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
                    ::listen(fd, 8) != 0) {
                    ::close(fd);
                    break;
                }
                fds.push_back(fd);
            }
            if (fds.size() != 2) {
                for (const int fd : fds)
                    ::close(fd);
                ::unlink(lock.c_str());
                continue;
            }
            listening = fds;
            display = candidate;
        }
        if (display < 0 || ::pipe(stopPipe) != 0)
            return false;
        thread = std::thread([this] { run(); });
        return true;
    }

    QString name() const { return u":%1"_s.arg(display); }
    quint64 bytesToServer() const { return toServer.load(); }
    quint64 bytesFromServer() const { return fromServer.load(); }

private:
    struct Link {
        int client;
        int server;
    };

    int connectToServer() const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_un address = socketAddress(server, false);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    static bool forward(int from, int to, std::atomic<quint64>& counter) {
        char buffer[65536];
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        counter += static_cast<quint64>(got);
        for (ssize_t sent = 0; sent < got;) {
            const ssize_t n = ::write(to, buffer + sent, static_cast<size_t>(got - sent));
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }

    void run() {
        std::vector<Link> links;
        for (;;) {
            std::vector<pollfd> fds;
            fds.push_back({stopPipe[0], POLLIN, 0});
            for (const int fd : listening)
                fds.push_back({fd, POLLIN, 0});
            for (const Link& link : links) {
                fds.push_back({link.client, POLLIN, 0});
                fds.push_back({link.server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), -1) < 0)
                continue;
            if (fds[0].revents)
                break;
            for (size_t i = 0; i < listening.size(); ++i) {
                if (!(fds[1 + i].revents & POLLIN))
                    continue;
                const int client = ::accept4(listening[i], nullptr, nullptr, SOCK_CLOEXEC);
                const int upstream = client >= 0 ? connectToServer() : -1;
                if (upstream >= 0)
                    links.push_back({client, upstream});
                else if (client >= 0)
                    ::close(client);
            }
            const size_t first = 1 + listening.size();
            std::vector<Link> open;
            for (size_t i = 0; i < links.size(); ++i) {
                const pollfd& client = fds[first + 2 * i];
                const pollfd& upstream = fds[first + 2 * i + 1];
                bool alive = true;
                if (client.revents)
                    alive = forward(links[i].client, links[i].server, toServer);
                if (alive && upstream.revents)
                    alive = forward(links[i].server, links[i].client, fromServer);
                if (alive) {
                    open.push_back(links[i]);
                } else {
                    ::close(links[i].client);
                    ::close(links[i].server);
                }
            }
            links = std::move(open);
        }
        for (const Link& link : links) {
            ::close(link.client);
            ::close(link.server);
        }
    }

    int server = -1;
    int display = -1;
    std::vector<int> listening;
    int stopPipe[2] = {-1, -1};
    std::thread thread;
    std::atomic<quint64> toServer{0};
    std::atomic<quint64> fromServer{0};
};

// ---- Looking at the strip ----

// The measurement's own connection to an X server: finds the strip, reads its pixels and pings
// it as a window manager does (_NET_WM_PING). The program's toolkit answers a ping on its main
// thread, so the time until the answer is how long that thread was busy with something else.
class Observer {
public:
    explicit Observer(int display) {
        connection = xcb_connect(u":%1"_s.arg(display).toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(connection))
            return;
        root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        protocols = atom("WM_PROTOCOLS");
        ping = atom("_NET_WM_PING");
        // The answer goes to the root window for the window manager (Qt sends it to those that
        // select structure notices or substructure redirection there).
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
    }
    ~Observer() { xcb_disconnect(connection); }

    bool connected() const { return !xcb_connection_has_error(connection); }

    // A viewable top-level window of the class, 250 by 24.
    std::optional<xcb_window_t> findStrip(const std::string& windowClass = "sayvane") {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr),
            &std::free);
        if (!tree)
            return std::nullopt;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            Reply<xcb_get_geometry_reply_t> geometry(
                xcb_get_geometry_reply(connection, xcb_get_geometry(connection, children[i]),
                                       nullptr),
                &std::free);
            Reply<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(
                    connection, xcb_get_window_attributes(connection, children[i]), nullptr),
                &std::free);
            if (!geometry || !attributes || geometry->width != 250 || geometry->height != 24 ||
                attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            Reply<xcb_get_property_reply_t> wmClass(
                xcb_get_property_reply(connection,
                                       xcb_get_property(connection, 0, children[i],
                                                        XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
                                       nullptr),
                &std::free);
            if (wmClass && xcb_get_property_value_length(wmClass.get()) > 0 &&
                std::string(static_cast<const char*>(xcb_get_property_value(wmClass.get()))) ==
                    windowClass)
                return children[i];
        }
        return std::nullopt;
    }

    std::optional<QByteArray> grab(xcb_window_t window) {
        Reply<xcb_get_image_reply_t> image(
            xcb_get_image_reply(
                connection,
                xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, 250, 24, ~0u),
                nullptr),
            &std::free);
        if (!image)
            return std::nullopt;
        return QByteArray(reinterpret_cast<const char*>(xcb_get_image_data(image.get())),
                          xcb_get_image_data_length(image.get()));
    }

    // Pings the window and waits for each answer for the given time, one ping at a time with a
    // millisecond between; calls between(), if given, while waiting. Returns the longest wait
    // in milliseconds, counting a ping still unanswered at the end.
    double longestUnanswered(xcb_window_t window, double seconds,
                             const std::function<void()>& between = {}) {
        const Clock::time_point start = Clock::now();
        double longest = 0;
        std::optional<Clock::time_point> sent;
        std::optional<Clock::time_point> next = Clock::now();
        while (secondsSince(start) < seconds) {
            if (!sent && next && Clock::now() >= *next) {
                sendPing(window);
                sent = Clock::now();
            }
            pollfd fd{xcb_get_file_descriptor(connection), POLLIN, 0};
            ::poll(&fd, 1, 1);
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                if (sent && isAnswer(event)) {
                    longest = std::max(longest, secondsSince(*sent) * 1000);
                    sent.reset();
                    next = Clock::now() + std::chrono::milliseconds(1);
                }
                std::free(event);
            }
            if (xcb_connection_has_error(connection))
                break;
            if (between)
                between();
        }
        if (sent)
            longest = std::max(longest, secondsSince(*sent) * 1000);
        // An answer that comes after the end is read (and dropped) by the next call.
        return longest;
    }

private:
    xcb_atom_t atom(const char* name) {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(
                connection,
                xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
                nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    void sendPing(xcb_window_t window) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = protocols;
        event.data.data32[0] = ping;
        event.data.data32[1] = ++serial;
        event.data.data32[2] = window;
        xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection);
    }

    bool isAnswer(const xcb_generic_event_t* event) const {
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
        return message->window == root && message->data.data32[0] == ping &&
               message->data.data32[1] == serial;
    }

    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t protocols = 0;
    xcb_atom_t ping = 0;
    uint32_t serial = 0;
};

// Whether text shows: enough pixels far darker than the background (the first pixel).
bool showsText(const QByteArray& pixels) {
    const auto* p = reinterpret_cast<const uchar*>(pixels.constData());
    const int background = p[0] + p[1] + p[2];
    int dark = 0;
    for (qsizetype i = 0; i + 3 < pixels.size(); i += 4)
        dark += std::abs(background - (p[i] + p[i + 1] + p[i + 2])) > 200 ? 1 : 0;
    return dark > 30;
}

// ---- The kernel's account of a process ----

struct Usage {
    double cpuNanoseconds = 0;
    double wakeUps = 0;
    double preemptions = 0;
};

// CPU time of every thread from schedstat (nanoseconds, where /proc/<pid>/stat counts 10 ms
// ticks); wake-ups, the voluntary context switches of every thread (each a wait that ended);
// and preemptions, the involuntary ones, which follow the machine's load more than the program.
Usage usageOf(qint64 pid) {
    Usage usage;
    const QDir tasks(u"/proc/%1/task"_s.arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + u"/schedstat"_s));
        if (schedstat.open(QIODevice::ReadOnly))
            usage.cpuNanoseconds += schedstat.readAll().split(' ').value(0).toDouble();
        QFile status(tasks.filePath(task + u"/status"_s));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n')) {
            const double value = line.mid(line.indexOf(':') + 1).trimmed().toDouble();
            if (line.startsWith("voluntary_ctxt_switches:"))
                usage.wakeUps += value;
            else if (line.startsWith("nonvoluntary_ctxt_switches:"))
                usage.preemptions += value;
        }
    }
    return usage;
}

// VmRSS or VmHWM (the peak) in megabytes.
double megabytes(qint64 pid, const char* field) {
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toDouble() /
                   1024.0;
    }
    return 0;
}

// ---- The program under measurement ----

// A private session bus for the program, through which the measurement acts as a user would.
struct SessionBus {
    QProcess daemon;
    QString address;
    std::optional<QDBusConnection> connection;

    bool start() {
        daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000))
            return false;
        address = QString::fromLatin1(daemon.readLine()).trimmed();
        connection = QDBusConnection::connectToBus(address, u"measure"_s);
        return connection->isConnected();
    }
    ~SessionBus() {
        if (connection)
            QDBusConnection::disconnectFromBus(u"measure"_s);
        daemon.terminate();
        daemon.waitForFinished(5000);
    }

    bool serviceThere() const {
        return connection && connection->interface()->isServiceRegistered(service);
    }
    // Sent without waiting for the answer: the main thread's time is what the pings measure.
    void call(const QString& interface, const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, u"/"_s, interface, method);
        message.setArguments(arguments);
        connection->send(message);
    }
};

struct Program {
    QTemporaryDir home;
    QProcess process;

    Program(const QString& path, int quotes, const QString& display, const QString& bus) {
        ::chmod(QFile::encodeName(home.path()).constData(), 0700);
        QDir().mkpath(home.filePath(u".config/Sayvane"_s));
        QFile file(home.filePath(u".config/Sayvane/quotes.json"_s));
        if (file.open(QIODevice::WriteOnly))
            file.write(quotesFile(quotes));
        file.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, home.path());
        environment.insert(u"XDG_RUNTIME_DIR"_s, home.path());
        environment.remove(u"XDG_CONFIG_HOME"_s);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        environment.insert(u"DISPLAY"_s, display);
        environment.remove(u"WAYLAND_DISPLAY"_s);
        if (!bus.isEmpty())
            environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus);
        else
            environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path=/nonexistent"_s);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(path, {});
        process.waitForStarted();
    }
    ~Program() {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    qint64 pid() const { return process.processId(); }
};

struct ListFigures {
    double firstFrame = -1;
    double firstMovement = -1;
    double residentAfterStart = 0;
    double residentAfterReload = 0;
    double peak = 0;
    double blockStart = 0;
    double blockReload = 0;
    double blockSave = 0;
    double blockLanguage = 0;
};

// One program's life with a list: start-up, a Reload, a save and two changes of language.
ListFigures measureList(const QString& path, int quotes, const QString& display, Observer& observer,
                        SessionBus& bus) {
    ListFigures figures;
    const Clock::time_point start = Clock::now();
    Program program(path, quotes, display, bus.address);
    std::optional<xcb_window_t> strip;
    while (!strip && secondsSince(start) < 30) {
        strip = observer.findStrip();
        if (!strip)
            QThread::usleep(500);
    }
    if (!strip) {
        std::fprintf(stderr, "the strip did not show within 30 s\n");
        return figures;
    }
    // Start-up: from the moment the window is there, the first frame with text, the first frame
    // after it that differs (the list has arrived, or it moves), and the main thread's longest
    // silence over the first six seconds.
    std::optional<QByteArray> first;
    figures.blockStart = observer.longestUnanswered(*strip, 6 - secondsSince(start), [&] {
        if (figures.firstMovement >= 0)
            return;
        const auto pixels = observer.grab(*strip);
        if (!pixels)
            return;
        if (!first && showsText(*pixels)) {
            figures.firstFrame = secondsSince(start) * 1000;
            first = pixels;
        } else if (first && *pixels != *first && showsText(*pixels)) {
            figures.firstMovement = secondsSince(start) * 1000;
        }
    });
    figures.residentAfterStart = megabytes(program.pid(), "VmRSS:");
    while (!bus.serviceThere() && secondsSince(start) < 30)
        QThread::msleep(10);
    const QString interface = service;
    bus.call(interface, u"Reload"_s, {});
    figures.blockReload = observer.longestUnanswered(*strip, 5);
    figures.residentAfterReload = megabytes(program.pid(), "VmRSS:");
    bus.call(interface, u"AddQuote"_s, {u"A quote added while measuring 🌟"_s});
    figures.blockSave = observer.longestUnanswered(*strip, 4);
    const QString properties = u"org.freedesktop.DBus.Properties"_s;
    bus.call(properties, u"Set"_s,
             {interface, u"Language"_s, QVariant::fromValue(QDBusVariant(u"vi"_s))});
    figures.blockLanguage = observer.longestUnanswered(*strip, 3);
    bus.call(properties, u"Set"_s,
             {interface, u"Language"_s, QVariant::fromValue(QDBusVariant(u"en"_s))});
    figures.blockLanguage = std::max(figures.blockLanguage, observer.longestUnanswered(*strip, 3));
    figures.peak = megabytes(program.pid(), "VmHWM:");
    return figures;
}

struct Side {
    double cpuPercent = 0;
    double wakeUpsPerSecond = 0;
    double preemptionsPerSecond = 0;
    double bytesPerSecond = 0;
    double bytesFromServerPerSecond = 0;
    double serverCpuPercent = 0;
    double resident = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s path/to/sayvane path/to/sayvane_bare_strip [seconds]\n"
                     "Starts X servers (Xvfb) and a session bus of its own.\n",
                     argv[0]);
        return 2;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const QString bare = QString::fromLocal8Bit(argv[2]);
    const double seconds = argc > 3 ? std::atof(argv[3]) : 20.0;

    Xvfb programServer;
    Xvfb bareServer;
    CountingProxy programDisplay;
    CountingProxy bareDisplay;
    SessionBus bus;
    if (!programServer.start() || !bareServer.start() ||
        !programDisplay.start(programServer.display) || !bareDisplay.start(bareServer.display)) {
        std::fprintf(stderr, "could not start Xvfb, or listen on a display\n");
        return 2;
    }
    if (!bus.start()) {
        std::fprintf(stderr, "could not start dbus-daemon\n");
        return 2;
    }
    Observer observer(programServer.display);
    if (!observer.connected()) {
        std::fprintf(stderr, "no connection to Xvfb\n");
        return 2;
    }
    std::printf("load average at the start: %s\n", qPrintable(loadAverage()));

    std::printf("\n%-8s %8s %9s | %17s %9s %8s | %30s\n", "", "first", "scrolling", "resident (MB)",
                "", "", "longest main-thread block (ms)");
    std::printf("%-8s %8s %9s | %8s %8s %8s %8s | %7s %7s %7s %7s\n", "quotes", "frame ms",
                "from ms", "start-up", "Reload", "peak", "÷ 3's", "start", "Reload", "save",
                "lang");
    double residentOfThree = 0;
    double reloadedOfThree = 0;
    for (const int count : {3, 100'000}) {
        const ListFigures f = measureList(program, count, programDisplay.name(), observer, bus);
        if (count == 3) {
            residentOfThree = f.residentAfterStart;
            reloadedOfThree = f.residentAfterReload;
        }
        const QString ratio =
            count == 3 ? u"-"_s
                       : u"%1/%2"_s.arg(f.residentAfterStart / residentOfThree, 0, 'f', 2)
                             .arg(f.residentAfterReload / reloadedOfThree, 0, 'f', 2);
        std::printf("%-8d %8.0f %9.0f | %8.1f %8.1f %8.1f %8s | %7.0f %7.0f %7.0f %7.0f\n", count,
                    f.firstFrame, f.firstMovement, f.residentAfterStart, f.residentAfterReload,
                    f.peak, qPrintable(ratio), f.blockStart, f.blockReload, f.blockSave,
                    f.blockLanguage);
        std::fflush(stdout);
    }

    // Scrolling, both at once: the same seconds of the same machine.
    Program measured(program, 3, programDisplay.name(), QString());
    QProcess floor;
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"DISPLAY"_s, bareDisplay.name());
        floor.setProcessEnvironment(environment);
        floor.setProcessChannelMode(QProcess::ForwardedChannels);
        floor.start(bare, {});
        floor.waitForStarted();
    }
    const Clock::time_point started = Clock::now();
    while (!observer.findStrip() && secondsSince(started) < 30)
        QThread::msleep(5);
    QThread::msleep(3000);
    struct Before {
        Usage process;
        Usage server;
        quint64 sent;
        quint64 received;
    };
    const qint64 pids[2] = {measured.pid(), floor.processId()};
    const qint64 servers[2] = {programServer.process.processId(), bareServer.process.processId()};
    const CountingProxy* proxies[2] = {&programDisplay, &bareDisplay};
    Before before[2];
    for (int i = 0; i < 2; ++i)
        before[i] = {usageOf(pids[i]), usageOf(servers[i]), proxies[i]->bytesToServer(),
                     proxies[i]->bytesFromServer()};
    const QString loadBefore = loadAverage();
    const Clock::time_point from = Clock::now();
    QThread::msleep(static_cast<unsigned long>(seconds * 1000));
    const double elapsed = secondsSince(from);
    Side sides[2];
    for (int i = 0; i < 2; ++i) {
        const Usage process = usageOf(pids[i]);
        const Usage server = usageOf(servers[i]);
        sides[i].cpuPercent =
            (process.cpuNanoseconds - before[i].process.cpuNanoseconds) / 1e9 / elapsed * 100;
        sides[i].wakeUpsPerSecond = (process.wakeUps - before[i].process.wakeUps) / elapsed;
        sides[i].preemptionsPerSecond =
            (process.preemptions - before[i].process.preemptions) / elapsed;
        sides[i].serverCpuPercent =
            (server.cpuNanoseconds - before[i].server.cpuNanoseconds) / 1e9 / elapsed * 100;
        sides[i].bytesPerSecond =
            static_cast<double>(proxies[i]->bytesToServer() - before[i].sent) / elapsed;
        sides[i].bytesFromServerPerSecond =
            static_cast<double>(proxies[i]->bytesFromServer() - before[i].received) / elapsed;
        sides[i].resident = megabytes(pids[i], "VmRSS:");
    }
    std::printf("\nscrolling 3 quotes, side by side for %.0f s (load average %s at the start, %s "
                "at the end)\n",
                elapsed, qPrintable(loadBefore), qPrintable(loadAverage()));
    std::printf("%-10s %11s %11s %12s %13s %15s %15s %9s\n", "", "CPU % core", "wake-ups/s",
                "preempted/s", "bytes to X/s", "bytes from X/s", "X server CPU %", "resident");
    const char* names[2] = {"sayvane", "bare xcb"};
    for (int i = 0; i < 2; ++i)
        std::printf("%-10s %11.3f %11.1f %12.1f %13.0f %15.0f %15.3f %9.1f\n", names[i],
                    sides[i].cpuPercent, sides[i].wakeUpsPerSecond, sides[i].preemptionsPerSecond,
                    sides[i].bytesPerSecond, sides[i].bytesFromServerPerSecond,
                    sides[i].serverCpuPercent, sides[i].resident);
    std::printf("%-10s %12.2f\n", "ratio", sides[0].cpuPercent / sides[1].cpuPercent);
    floor.terminate();
    floor.waitForFinished(5000);
    return 0;
}
