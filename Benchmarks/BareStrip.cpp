// The floor for scrolling: a bare xcb program that puts a 250×24 image into a window 60 times a
// second, paced by a timer, and does nothing else. The process measurement runs it beside the
// program to compare CPU use and wake-ups on the same machine at the same time.
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/timerfd.h>
#include <unistd.h>
#include <vector>

int main() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "no X server\n");
        return 2;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    constexpr uint16_t width = 250;
    constexpr uint16_t height = 24;
    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t values[] = {screen->white_pixel};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, width, height,
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                      values);
    const char wmClass[] = "bare-strip\0bare-strip";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, sizeof wmClass, wmClass);
    xcb_map_window(connection, window);
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, window, 0, nullptr);
    xcb_flush(connection);

    // A moving stripe pattern, so that every frame differs.
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    const int timer = timerfd_create(CLOCK_MONOTONIC, 0);
    itimerspec period{};
    period.it_interval.tv_nsec = 1'000'000'000 / 60;
    period.it_value.tv_nsec = 1'000'000'000 / 60;
    timerfd_settime(timer, 0, &period, nullptr);
    for (uint32_t frame = 0;; ++frame) {
        uint64_t expirations = 0;
        if (read(timer, &expirations, sizeof expirations) != sizeof expirations)
            break;
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = ((i + frame) / 8 % 2) ? 0x00202020u : 0x00f0f0f0u;
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, width, height, 0, 0, 0,
                      screen->root_depth, static_cast<uint32_t>(pixels.size() * 4),
                      reinterpret_cast<const uint8_t*>(pixels.data()));
        xcb_flush(connection);
        if (xcb_connection_has_error(connection))
            break;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
            std::free(event);
    }
    xcb_disconnect(connection);
    return 0;
}
