#include "X11Window.h"

#include <QGuiApplication>
#include <QWidget>

#include <cstdlib>
#include <cstring>
#include <string>

#ifdef SAYVANE_HAVE_XCB
#include <xcb/xcb.h>

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace
#endif

void makeX11DockWindow(QWidget* window, const char* instanceName, const char* className) {
#ifdef SAYVANE_HAVE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());

    const xcb_atom_t dock = internAtom(connection, "_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id,
                        internAtom(connection, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &dock);
    const uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id,
                        internAtom(connection, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);

    // WM_CLASS is two strings, each ending in a NUL.
    const size_t instanceLength = std::strlen(instanceName);
    const size_t classLength = std::strlen(className);
    std::string wmClass(instanceName, instanceLength);
    wmClass.push_back('\0');
    wmClass.append(className, classLength);
    wmClass.push_back('\0');
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING,
                        8, static_cast<uint32_t>(wmClass.size()), wmClass.data());
    xcb_flush(connection);
#else
    (void)window;
    (void)instanceName;
    (void)className;
#endif
}
