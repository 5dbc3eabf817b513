#include "StrutWatch.h"

#include <QCoreApplication>
#include <QGuiApplication>

#ifdef SAYVANE_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_connection_t* strutConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t strutAtom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

} // namespace
#endif

StrutWatch::StrutWatch(QObject* parent)
    : QObject(parent) {
#ifdef SAYVANE_HAVE_XCB
    xcb_connection_t* connection = strutConnection();
    if (!connection)
        return;
    partialAtom = strutAtom(connection, "_NET_WM_STRUT_PARTIAL");
    plainAtom = strutAtom(connection, "_NET_WM_STRUT");
    clientListAtom = strutAtom(connection, "_NET_CLIENT_LIST");
    if (const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data)
        root = screen->root;
    // Qt already follows the root window's properties: the client list comes with them.
    QCoreApplication::instance()->installNativeEventFilter(this);
#endif
}

StrutWatch::~StrutWatch() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void StrutWatch::watch(const QList<quint32>& windows) {
#ifdef SAYVANE_HAVE_XCB
    xcb_connection_t* connection = strutConnection();
    if (!connection)
        return;
    for (const quint32 window : windows) {
        if (watched.contains(window))
            continue;
        watched.insert(window);
        // Added to what this connection already asks of the window, if anything.
        xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, window), nullptr);
        if (!attributes)
            continue;
        const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
        std::free(attributes);
        xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
    }
    xcb_flush(connection);
#else
    Q_UNUSED(windows);
#endif
}

bool StrutWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
#ifdef SAYVANE_HAVE_XCB
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_DESTROY_NOTIFY) {
        watched.remove(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
        return false;
    }
    if (type != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if ((change->atom == clientListAtom && change->window == root) ||
        ((change->atom == partialAtom || change->atom == plainAtom) &&
         watched.contains(change->window)))
        Q_EMIT changed();
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}
