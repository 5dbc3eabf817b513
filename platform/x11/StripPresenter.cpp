#include "StripPresenter.h"

#include "MediaClock.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef SAYVANE_HAVE_XCB
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

// Whether the window's pixels are 32-bit words in the host's byte order with 8-bit red, green
// and blue where a premultiplied ARGB image has them, so that the image's bytes go to the
// server as they are (as Qt's own xcb backing store sends them); and the window's depth.
bool takesImagePixels(xcb_connection_t* connection, xcb_window_t window, uint8_t* depth) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    constexpr auto hostOrder =
        Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != hostOrder)
        return false;
    auto* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    auto* attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr);
    const bool found = geometry && attributes;
    const uint8_t windowDepth = geometry ? geometry->depth : 0;
    const xcb_visualid_t visual = attributes ? attributes->visual : 0;
    std::free(geometry);
    std::free(attributes);
    if (!found || (windowDepth != 24 && windowDepth != 32))
        return false;
    bool thirtyTwoBits = false;
    for (auto format = xcb_setup_pixmap_formats_iterator(setup); format.rem;
         xcb_format_next(&format)) {
        if (format.data->depth == windowDepth)
            thirtyTwoBits = format.data->bits_per_pixel == 32 && format.data->scanline_pad == 32;
    }
    if (!thirtyTwoBits)
        return false;
    for (auto screen = xcb_setup_roots_iterator(setup); screen.rem; xcb_screen_next(&screen)) {
        for (auto depths = xcb_screen_allowed_depths_iterator(screen.data); depths.rem;
             xcb_depth_next(&depths)) {
            for (auto type = xcb_depth_visuals_iterator(depths.data); type.rem;
                 xcb_visualtype_next(&type)) {
                if (type.data->visual_id != visual)
                    continue;
                *depth = windowDepth;
                return type.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                       type.data->red_mask == 0xff0000 && type.data->green_mask == 0xff00 &&
                       type.data->blue_mask == 0xff;
            }
        }
    }
    return false;
}

// X protocol requests, written by hand for the frame connection (see below), in the byte order
// the connection announced (the host's).
constexpr uint32_t copyAreaOpcode = 62;
constexpr uint32_t getInputFocusOpcode = 43;

// The chunks live in one pixmap on the X server, side by side, each with its phases one above
// the other, set up and filled over a connection the main thread uses (`control`).
//
// The frames are put by a thread of the presenter's own, woken by a timer at the refresh rate,
// over a second connection (`frames`): xcb opens it, and then the thread writes its CopyArea
// requests to its socket itself, one write() a frame. A flush through xcb would poll the socket
// first and take its locks, which costs about a fifth of what the whole frame costs. The frame
// connection asks for nothing but a round trip when the thread stops, which it reads itself;
// the server sends it nothing else but errors (a copy into a window already gone), which the
// thread reads and drops now and then. Requests of two connections keep no order between them:
// an upload is waited for (a round trip on the control connection) before a frame may use it.
class X11StripPresenter final : public StripPresenter {
public:
    X11StripPresenter(xcb_connection_t* control, xcb_connection_t* frames, xcb_window_t window,
                      uint8_t depth, std::shared_ptr<const MediaClock> clock)
        : control(control)
        , frames(frames)
        , socket(xcb_get_file_descriptor(frames))
        , window(window)
        , depth(depth)
        , clock(std::move(clock))
        , timer(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC)) {
        thread = std::thread([this] { loop(); });
    }

    ~X11StripPresenter() override {
        {
            std::lock_guard lock(mutex);
            quit = true;
        }
        poke();
        thread.join();
        if (pixmap)
            xcb_free_pixmap(control, pixmap);
        if (gc)
            xcb_free_gc(control, gc);
        xcb_disconnect(control);
        xcb_disconnect(frames);
        ::close(timer);
    }

    bool setUp(int slots, QSize chunk, int phases) override {
        stop();
        if (pixmap)
            xcb_free_pixmap(control, pixmap);
        pixmap = xcb_generate_id(control);
        chunkSize = QSize(chunk.width(), chunk.height() * phases);
        const auto cookie = xcb_create_pixmap_checked(
            control, depth, pixmap, window, static_cast<uint16_t>(chunkSize.width() * slots),
            static_cast<uint16_t>(chunkSize.height()));
        if (xcb_generic_error_t* error = xcb_request_check(control, cookie)) {
            std::free(error);
            pixmap = 0;
            return false;
        }
        if (!gc) {
            gc = xcb_generate_id(control);
            // No GraphicsExpose or NoExpose event for every copy.
            const uint32_t noExposures = 0;
            xcb_create_gc(control, gc, pixmap, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
            // The frame connection uses both: they exist before it does.
            std::free(xcb_get_input_focus_reply(control, xcb_get_input_focus(control), nullptr));
        }
        chunkHeight = chunk.height();
        return true;
    }

    void upload(int slot, const QImage& picture) override {
        if (!pixmap || picture.size() != chunkSize ||
            picture.format() != QImage::Format_ARGB32_Premultiplied)
            return;
        // In bands of rows that each fit one request.
        const auto rowBytes = static_cast<uint32_t>(picture.bytesPerLine());
        const uint32_t mostBytes = xcb_get_maximum_request_length(control) * 4 - 64;
        const int rowsPerBand = std::max<int>(1, static_cast<int>(mostBytes / rowBytes));
        for (int top = 0; top < picture.height(); top += rowsPerBand) {
            const int rows = std::min(rowsPerBand, picture.height() - top);
            xcb_put_image(control, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc,
                          static_cast<uint16_t>(picture.width()), static_cast<uint16_t>(rows),
                          static_cast<int16_t>(slot * chunkSize.width()), static_cast<int16_t>(top),
                          0, depth, rowBytes * static_cast<uint32_t>(rows),
                          picture.constScanLine(top));
        }
        // Carried out before any frame that comes after this may copy from the slot.
        std::free(xcb_get_input_focus_reply(control, xcb_get_input_focus(control), nullptr));
    }

    void run(std::shared_ptr<const Frames> source, QPoint at, double refreshRate) override {
        if (!pixmap || broken)
            return;
        {
            std::lock_guard lock(mutex);
            current = std::move(source);
            target = at;
            active = true;
            ++runs;
        }
        const double hertz = refreshRate >= 1 ? refreshRate : 60.0;
        if (!running || hertz != rate) {
            rate = hertz;
            const auto period = static_cast<long>(1e9 / hertz);
            itimerspec spec{};
            spec.it_interval.tv_nsec = period;
            spec.it_value.tv_nsec = period;
            ::timerfd_settime(timer, 0, &spec, nullptr);
        }
        running = true;
    }

    void stop() override {
        if (!running)
            return;
        running = false;
        std::unique_lock lock(mutex);
        active = false;
        const quint64 asked = ++stopsAsked;
        lock.unlock();
        poke();
        lock.lock();
        settledCondition.wait(lock, [&] { return stopsSettled >= asked || quitDone; });
    }

    bool isRunning() const override { return running; }

private:
    // Wakes the thread at once, and only once: the timer expires now and not again until run()
    // arms it anew.
    void poke() {
        itimerspec now{};
        now.it_value.tv_nsec = 1;
        ::timerfd_settime(timer, 0, &now, nullptr);
    }

    // Writes what is left of the requests; false while the socket takes no more.
    bool send() {
        while (!unsent.empty()) {
            const ssize_t written = ::write(socket, unsent.data(), unsent.size());
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return false;
            if (written <= 0) {
                broken = true;
                return false;
            }
            unsent.erase(unsent.begin(), unsent.begin() + written);
        }
        return true;
    }

    void put(const Frame& frame, QPoint at) {
        std::array<uint32_t, 7 * 4> words{};
        size_t used = 0;
        for (int i = 0; i < frame.count; ++i) {
            Copy copy = frame.copies[static_cast<size_t>(i)];
            // Neighbouring chunks in neighbouring slots are one stretch of the pixmap.
            while (i + 1 < frame.count) {
                const Copy& next = frame.copies[static_cast<size_t>(i + 1)];
                if (next.slot != copy.slot + 1 || next.sourceX != 0 ||
                    copy.sourceX + copy.width != chunkSize.width())
                    break;
                copy.width += next.width;
                ++i;
            }
            const auto pair = [](int low, int high) {
                return uint32_t(uint16_t(low)) | (uint32_t(uint16_t(high)) << 16);
            };
            const uint32_t request[7] = {
                copyAreaOpcode | (7u << 16),
                pixmap,
                window,
                gc,
                pair(copy.slot * chunkSize.width() + copy.sourceX, frame.phase * chunkHeight),
                pair(at.x() + copy.targetX, at.y()),
                pair(copy.width, chunkHeight)};
            std::copy(std::begin(request), std::end(request), words.begin() + used);
            used += 7;
        }
        // No buffer grows here: while requests wait for the socket, frames are left out.
        if (!unsent.empty() && !send())
            return;
        const ssize_t written = ::write(socket, words.data(), used * 4);
        if (written == static_cast<ssize_t>(used * 4))
            return;
        const auto* bytes = reinterpret_cast<const char*>(words.data());
        const size_t sent = written > 0 ? static_cast<size_t>(written) : 0;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            broken = true;
        else
            unsent.assign(bytes + sent, bytes + used * 4);
    }

    // Reads and drops what the server sent (errors); with `untilReply`, waits for the reply to
    // a round trip as well. False when the connection is gone.
    bool readAnswers(bool untilReply) {
        for (;;) {
            if (untilReply) {
                pollfd fd{socket, POLLIN, 0};
                if (::poll(&fd, 1, 1000) <= 0)
                    return false;
            }
            const ssize_t got =
                ::read(socket, received.data() + receivedBytes, received.size() - receivedBytes);
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                if (!untilReply)
                    return true;
                continue;
            }
            if (got <= 0)
                return false;
            receivedBytes += static_cast<size_t>(got);
            // Whole packets: 32 bytes, and a reply's extra length in 4-byte units.
            size_t at = 0;
            bool replied = false;
            while (receivedBytes - at >= 32) {
                uint32_t extra = 0;
                std::memcpy(&extra, received.data() + at + 4, 4);
                const bool reply = received[at] == 1;
                const size_t length = 32 + (reply ? size_t(extra) * 4 : 0);
                if (receivedBytes - at < length)
                    break;
                replied = replied || reply;
                at += length;
            }
            std::memmove(received.data(), received.data() + at, receivedBytes - at);
            receivedBytes -= at;
            if (replied || !untilReply)
                return true;
        }
    }

    // The thread sleeps in a read of its timer and nothing else: one wake-up a frame.
    void loop() {
        quint64 wantedForRun = 0;
        bool putSinceSettled = false;
        unsigned ticks = 0;
        for (;;) {
            uint64_t expirations = 0;
            if (::read(timer, &expirations, sizeof expirations) != sizeof expirations &&
                errno != EINTR)
                break;
            std::shared_ptr<const Frames> source;
            QPoint at;
            quint64 run = 0;
            {
                std::unique_lock lock(mutex);
                if (quit)
                    break;
                if (!active) {
                    const quint64 asked = stopsAsked;
                    lock.unlock();
                    // A round trip: every copy sent before it has been carried out.
                    if (putSinceSettled) {
                        const uint32_t request = getInputFocusOpcode | (1u << 16);
                        const auto* bytes = reinterpret_cast<const char*>(&request);
                        unsent.insert(unsent.end(), bytes, bytes + 4);
                        for (int tries = 0; tries < 100 && !send() && !broken; ++tries)
                            ::usleep(1000);
                        if (!unsent.empty() || !readAnswers(true))
                            broken = true;
                    }
                    putSinceSettled = false;
                    lock.lock();
                    stopsSettled = asked;
                    settledCondition.notify_all();
                    continue;
                }
                source = current;
                at = target;
                run = runs;
            }
            if (!source)
                continue;
            const Frame frame = (*source)(clock->now());
            if (frame.complete) {
                put(frame, at);
                putSinceSettled = true;
            }
            if ((!frame.complete || !frame.aheadReady) && wantedForRun != run) {
                wantedForRun = run;
                Q_EMIT chunksWanted();
            }
            // About once a second, whatever errors came back.
            if (++ticks % 64 == 0 && !readAnswers(false))
                broken = true;
            if (broken) {
                Q_EMIT failed();
                break;
            }
        }
        std::lock_guard lock(mutex);
        quitDone = true;
        settledCondition.notify_all();
    }

    xcb_connection_t* control;
    xcb_connection_t* frames;
    int socket;
    xcb_window_t window;
    uint8_t depth;
    std::shared_ptr<const MediaClock> clock;
    xcb_pixmap_t pixmap = 0;
    xcb_gcontext_t gc = 0;
    QSize chunkSize;
    int chunkHeight = 0;
    int timer;
    double rate = 0;
    // Main thread only.
    bool running = false;
    std::atomic<bool> broken{false};
    // The frame thread's only.
    std::vector<char> unsent;
    std::array<char, 4096> received{};
    size_t receivedBytes = 0;

    std::mutex mutex;
    std::condition_variable settledCondition;
    // Under the mutex.
    std::shared_ptr<const Frames> current;
    QPoint target;
    bool active = false;
    bool quit = false;
    bool quitDone = false;
    quint64 runs = 0;
    quint64 stopsAsked = 0;
    quint64 stopsSettled = 0;

    std::thread thread;
};

} // namespace

StripPresenterFactory x11StripPresenters() {
    return [](QWidget* view,
              std::shared_ptr<const MediaClock> clock) -> std::unique_ptr<StripPresenter> {
        if (!view || QGuiApplication::platformName() != QLatin1String("xcb"))
            return nullptr;
        const QByteArray display = qgetenv("DISPLAY");
        const char* name = display.isEmpty() ? nullptr : display.constData();
        xcb_connection_t* control = xcb_connect(name, nullptr);
        xcb_connection_t* frames = xcb_connect(name, nullptr);
        const auto window = static_cast<xcb_window_t>(view->window()->winId());
        uint8_t depth = 0;
        if (xcb_connection_has_error(control) || xcb_connection_has_error(frames) ||
            !takesImagePixels(control, window, &depth)) {
            xcb_disconnect(control);
            xcb_disconnect(frames);
            return nullptr;
        }
        return std::make_unique<X11StripPresenter>(control, frames, window, depth,
                                                   std::move(clock));
    };
}

#else

StripPresenterFactory x11StripPresenters() {
    return [](QWidget*, std::shared_ptr<const MediaClock>) -> std::unique_ptr<StripPresenter> {
        return nullptr;
    };
}

#endif
