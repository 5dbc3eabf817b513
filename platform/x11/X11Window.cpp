#include "X11Window.h"

#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifdef SAYVANE_HAVE_XCB
#include <xcb/xcb.h>

namespace {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, FreeDeleter>;

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* connection) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    return screen ? screen->root : xcb_window_t(XCB_WINDOW_NONE);
}

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    const ReplyPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The 32-bit items of a window property, empty when it is absent or of another type.
std::vector<uint32_t> property32(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name,
                                 xcb_atom_t type) {
    const auto cookie = xcb_get_property(connection, 0, window, name, type, 0, 64);
    const ReplyPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->format != 32 || reply->type != type)
        return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<uint32_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

void setProperty32(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t name,
                   xcb_atom_t type, const std::vector<uint32_t>& values) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, name, type, 32,
                        static_cast<uint32_t>(values.size()), values.data());
}

std::vector<xcb_window_t> children(xcb_connection_t* connection, xcb_window_t window) {
    const ReplyPtr<xcb_query_tree_reply_t> reply(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!reply)
        return {};
    const xcb_window_t* first = xcb_query_tree_children(reply.get());
    return std::vector<xcb_window_t>(first, first + xcb_query_tree_children_length(reply.get()));
}

} // namespace
#endif

void makeX11DockWindow(QWidget* window, const char* instanceName, const char* className) {
#ifdef SAYVANE_HAVE_XCB
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());

    setProperty32(connection, id, internAtom(connection, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM,
                  {internAtom(connection, "_NET_WM_WINDOW_TYPE_DOCK")});
    setProperty32(connection, id, internAtom(connection, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL,
                  {0xFFFFFFFF});
    setProperty32(connection, id, internAtom(connection, "_NET_WM_STATE"), XCB_ATOM_ATOM,
                  {internAtom(connection, "_NET_WM_STATE_STICKY"),
                   internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                   internAtom(connection, "_NET_WM_STATE_SKIP_PAGER")});

    // WM_CLASS is two strings, each ending in a NUL.
    std::string wmClass(instanceName);
    wmClass.push_back('\0');
    wmClass.append(className);
    wmClass.push_back('\0');
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING,
                        8, static_cast<uint32_t>(wmClass.size()), wmClass.data());
    refuseX11Focus(window);
#else
    (void)window;
    (void)instanceName;
    (void)className;
#endif
}

void refuseX11Focus(QWidget* window) {
#ifdef SAYVANE_HAVE_XCB
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());

    // WM_HINTS: flags, input, initial state, then six fields this leaves as they are.
    constexpr uint32_t inputHint = 1;
    std::vector<uint32_t> hints = property32(connection, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS);
    hints.resize(std::max<size_t>(hints.size(), 9), 0);
    hints[0] |= inputHint;
    hints[1] = 0;
    setProperty32(connection, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, hints);

    const xcb_atom_t protocolsAtom = internAtom(connection, "WM_PROTOCOLS");
    const xcb_atom_t takeFocus = internAtom(connection, "WM_TAKE_FOCUS");
    std::vector<uint32_t> protocols = property32(connection, id, protocolsAtom, XCB_ATOM_ATOM);
    if (std::erase(protocols, takeFocus) > 0)
        setProperty32(connection, id, protocolsAtom, XCB_ATOM_ATOM, protocols);
    xcb_flush(connection);
#else
    (void)window;
#endif
}

void setX11Strut(QWidget* window, const Strut& strut) {
#ifdef SAYVANE_HAVE_XCB
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    auto value = [](int number) { return static_cast<uint32_t>(std::max(number, 0)); };
    setProperty32(connection, id, internAtom(connection, "_NET_WM_STRUT_PARTIAL"),
                  XCB_ATOM_CARDINAL,
                  {value(strut.left), value(strut.right), value(strut.top), value(strut.bottom),
                   value(strut.leftStartY), value(strut.leftEndY), value(strut.rightStartY),
                   value(strut.rightEndY), value(strut.topStartX), value(strut.topEndX),
                   value(strut.bottomStartX), value(strut.bottomEndX)});
    setProperty32(connection, id, internAtom(connection, "_NET_WM_STRUT"), XCB_ATOM_CARDINAL,
                  {value(strut.left), value(strut.right), value(strut.top), value(strut.bottom)});
    xcb_flush(connection);
#else
    (void)window;
    (void)strut;
#endif
}

QList<Strut> otherX11Struts(const QWidget* except, QList<quint32>* holders) {
    QList<Strut> struts;
#ifdef SAYVANE_HAVE_XCB
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return struts;
    const auto own = except ? static_cast<xcb_window_t>(except->internalWinId()) : 0;
    const xcb_atom_t partial = internAtom(connection, "_NET_WM_STRUT_PARTIAL");
    const xcb_atom_t plain = internAtom(connection, "_NET_WM_STRUT");
    const QSize root = x11RootSize();

    auto strutOf = [&](xcb_window_t window) -> std::optional<Strut> {
        if (window == own)
            return std::nullopt;
        std::vector<uint32_t> values = property32(connection, window, partial, XCB_ATOM_CARDINAL);
        if (values.size() < 12) {
            // The older form reserves each band along its whole edge.
            values = property32(connection, window, plain, XCB_ATOM_CARDINAL);
            if (values.size() < 4)
                return std::nullopt;
            values.resize(4);
            const uint32_t lastY = uint32_t(std::max(root.height() - 1, 0));
            const uint32_t lastX = uint32_t(std::max(root.width() - 1, 0));
            values.insert(values.end(), {0, lastY, 0, lastY, 0, lastX, 0, lastX});
        }
        auto at = [&values](size_t index) {
            return int(std::min<uint32_t>(values[index], 1u << 30));
        };
        return Strut{at(0), at(1), at(2), at(3), at(4),  at(5),
                     at(6), at(7), at(8), at(9), at(10), at(11)};
    };
    // A reparenting window manager keeps the client inside a frame: look one level down too.
    for (const xcb_window_t topLevel : children(connection, rootWindow(connection))) {
        if (const auto strut = strutOf(topLevel)) {
            struts.append(*strut);
            if (holders)
                holders->append(topLevel);
            continue;
        }
        for (const xcb_window_t client : children(connection, topLevel)) {
            if (const auto strut = strutOf(client)) {
                struts.append(*strut);
                if (holders)
                    holders->append(client);
            }
        }
    }
#else
    (void)except;
    (void)holders;
#endif
    return struts;
}

QRect x11WorkArea() {
#ifdef SAYVANE_HAVE_XCB
    if (xcb_connection_t* connection = x11Connection()) {
        const xcb_window_t root = rootWindow(connection);
        const std::vector<uint32_t> current = property32(
            connection, root, internAtom(connection, "_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL);
        const std::vector<uint32_t> areas = property32(
            connection, root, internAtom(connection, "_NET_WORKAREA"), XCB_ATOM_CARDINAL);
        // Four values a desktop: x, y, width, height.
        const size_t desktop = current.empty() ? 0 : current.front();
        if (areas.size() >= (desktop + 1) * 4) {
            const uint32_t* area = areas.data() + desktop * 4;
            auto clamp = [](uint32_t value) { return int(std::min<uint32_t>(value, 1u << 30)); };
            return QRect(clamp(area[0]), clamp(area[1]), clamp(area[2]), clamp(area[3]));
        }
    }
#endif
    return {};
}

QString x11WindowManagerName() {
#ifdef SAYVANE_HAVE_XCB
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return {};
    const std::vector<uint32_t> check =
        property32(connection, rootWindow(connection),
                   internAtom(connection, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW);
    if (check.empty())
        return {};
    const auto cookie =
        xcb_get_property(connection, 0, check.front(), internAtom(connection, "_NET_WM_NAME"),
                         internAtom(connection, "UTF8_STRING"), 0, 256);
    const ReplyPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->format != 8)
        return {};
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.get())),
                             xcb_get_property_value_length(reply.get()));
#else
    return {};
#endif
}

QSize x11RootSize() {
#ifdef SAYVANE_HAVE_XCB
    if (xcb_connection_t* connection = x11Connection()) {
        if (const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data)
            return QSize(screen->width_in_pixels, screen->height_in_pixels);
    }
#endif
    return {};
}

bool x11CompositingManagerRunning() {
#ifdef SAYVANE_HAVE_XCB
    if (xcb_connection_t* connection = x11Connection()) {
        const xcb_atom_t selection = internAtom(connection, "_NET_WM_CM_S0");
        const ReplyPtr<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, selection), nullptr));
        return reply && reply->owner != XCB_WINDOW_NONE;
    }
#endif
    return false;
}
