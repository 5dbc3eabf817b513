// Measures the program as a person runs it, on an X server (Xvfb in `make bench`): the time from
// start to the first frame of the strip on screen and to the first movement, the resident memory
// after start-up, and the CPU time used over ten seconds of scrolling, for 3 and 10,000 quotes.
#include "QuotesDocument.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

QStringList quotes(int count) {
    QStringList list;
    for (int i = 0; i < count; ++i)
        list
            << u"Quote %1: simplicity is the ultimate sophistication; Đừng bao giờ từ bỏ; 千里之行 🌟"_s
                   .arg(i);
    return list;
}

// The strip: a viewable top-level window of the given class, 250 by 24.
std::optional<xcb_window_t> findStrip(xcb_connection_t* connection, xcb_window_t root,
                                      const std::string& windowClass = "sayvane") {
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr), &std::free);
    if (!tree)
        return std::nullopt;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        Reply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(connection, xcb_get_geometry(connection, children[i]), nullptr),
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
                                   xcb_get_property(connection, 0, children[i], XCB_ATOM_WM_CLASS,
                                                    XCB_ATOM_STRING, 0, 64),
                                   nullptr),
            &std::free);
        if (wmClass && std::string(static_cast<const char*>(
                           xcb_get_property_value(wmClass.get()))) == windowClass)
            return children[i];
    }
    return std::nullopt;
}

// The strip's pixels, or nothing while it cannot be read.
std::optional<QByteArray> grab(xcb_connection_t* connection, xcb_window_t window) {
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

// Whether text shows: enough pixels far darker than the background (the first pixel).
bool showsText(const QByteArray& pixels) {
    const auto* p = reinterpret_cast<const uchar*>(pixels.constData());
    const int background = p[0] + p[1] + p[2];
    int dark = 0;
    for (qsizetype i = 0; i + 3 < pixels.size(); i += 4)
        dark += (background - (p[i] + p[i + 1] + p[i + 2])) > 200 ? 1 : 0;
    return dark > 30;
}

double cpuSeconds(qint64 pid) {
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the command name.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) /
           static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Wake-ups so far: the context switches of every thread of the process, voluntary (a wait that
// ended) and involuntary (preempted), since each needed the thread to be scheduled again.
double wakeUps(qint64 pid) {
    double total = 0;
    const QDir tasks(u"/proc/%1/task"_s.arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task + u"/status"_s));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:") ||
                line.startsWith("nonvoluntary_ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toDouble();
        }
    }
    return total;
}

double residentMegabytes(qint64 pid) {
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Result {
    double firstFrame = -1;
    double firstMovement = -1;
    double residentMB = 0;
    double cpuPercent = 0;
    // The median of the ten one-second slices: a virtual machine's hiccups show in the total
    // but not here.
    double medianSecondPercent = 0;
    double wakeUpsPerSecond = 0;
};

// CPU and wake-ups of a running process over ten seconds.
void measureRunning(qint64 pid, Result& result) {
    const double before = cpuSeconds(pid);
    const double wakeUpsBefore = wakeUps(pid);
    std::vector<double> slices;
    double last = before;
    for (int second = 0; second < 10; ++second) {
        QThread::sleep(1);
        const double now = cpuSeconds(pid);
        slices.push_back((now - last) * 100.0);
        last = now;
    }
    result.wakeUpsPerSecond = (wakeUps(pid) - wakeUpsBefore) / 10.0;
    result.cpuPercent = (last - before) / 10.0 * 100.0;
    std::sort(slices.begin(), slices.end());
    result.medianSecondPercent = (slices[4] + slices[5]) / 2;
}

Result measure(const QString& program, int count, xcb_connection_t* connection, xcb_window_t root) {
    QTemporaryDir home;
    ::chmod(QFile::encodeName(home.path()).constData(), 0700);
    QDir().mkpath(home.filePath(u".config/Sayvane"_s));
    QFile file(home.filePath(u".config/Sayvane/quotes.json"_s));
    file.open(QIODevice::WriteOnly);
    file.write(QuotesDocument::encode(quotes(count)));
    file.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"XDG_RUNTIME_DIR"_s, home.path());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);

    Result result;
    const Clock::time_point start = Clock::now();
    process.start(program, {});
    process.waitForStarted();
    std::optional<QByteArray> first;
    while (millisecondsSince(start) < 60'000 && result.firstMovement < 0) {
        if (const auto strip = findStrip(connection, root)) {
            if (const auto pixels = grab(connection, *strip)) {
                if (!first && showsText(*pixels)) {
                    result.firstFrame = millisecondsSince(start);
                    first = pixels;
                } else if (first && *pixels != *first) {
                    // A change after the first frame: the list has arrived, or it moves.
                    if (result.firstMovement < 0 && showsText(*pixels))
                        result.firstMovement = millisecondsSince(start);
                }
            }
        }
        QThread::usleep(1000);
    }
    QThread::msleep(static_cast<unsigned long>(std::max(0.0, 2000 - millisecondsSince(start))));
    const qint64 pid = process.processId();
    result.residentMB = residentMegabytes(pid);
    measureRunning(pid, result);
    process.terminate();
    process.waitForFinished(5000);
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s path/to/sayvane (with DISPLAY set)\n", argv[0]);
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "no X server: run under xvfb-run\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const QString program = QString::fromLocal8Bit(argv[1]);

    std::printf("\n%-8s %17s %20s %14s %23s %21s %18s\n", "quotes", "first frame (ms)",
                "scrolling from (ms)", "resident (MB)", "CPU over 10 s (%core)",
                "median second (%)", "wake-ups a second");
    for (const int count : {3, 10'000, 100'000}) {
        const Result r = measure(program, count, connection, root);
        std::printf("%-8d %17.0f %20.0f %14.1f %23.1f %21.1f %18.0f\n", count, r.firstFrame,
                    r.firstMovement, r.residentMB, r.cpuPercent, r.medianSecondPercent,
                    r.wakeUpsPerSecond);
        std::fflush(stdout);
    }
    // The floor: a bare xcb program putting a 250×24 image 60 times a second.
    if (argc > 2) {
        QProcess bare;
        bare.setProcessChannelMode(QProcess::ForwardedChannels);
        bare.start(QString::fromLocal8Bit(argv[2]), {});
        bare.waitForStarted();
        QThread::sleep(2);
        Result r;
        r.residentMB = residentMegabytes(bare.processId());
        measureRunning(bare.processId(), r);
        std::printf("%-8s %17s %20s %14.1f %23.1f %21.1f %18.0f\n", "bare xcb", "-", "-",
                    r.residentMB, r.cpuPercent, r.medianSecondPercent, r.wakeUpsPerSecond);
        bare.terminate();
        bare.waitForFinished(5000);
    }
    xcb_disconnect(connection);
    return 0;
}
