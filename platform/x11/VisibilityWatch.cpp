#include "VisibilityWatch.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

#ifdef SAYVANE_HAVE_XCB_SCREENSAVER
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <optional>

namespace {

// Qt selects structure and exposure events on its windows but not visibility changes; the
// screen saver's notices come only to a client that asks for them. Both come in on Qt's
// connection, where a native event filter sees every event before Qt handles it.
class X11VisibilityWatch final : public VisibilityWatch, public QAbstractNativeEventFilter {
public:
    X11VisibilityWatch(QWidget* window, xcb_connection_t* connection)
        : connection(connection)
        , windowId(window ? static_cast<xcb_window_t>(window->winId())
                          : static_cast<xcb_window_t>(XCB_WINDOW_NONE))
        , mapped(!window || window->isVisible()) {
        // Add to the events Qt already selects on the window rather than replace them.
        if (auto* attributes =
                window ? xcb_get_window_attributes_reply(
                             connection, xcb_get_window_attributes(connection, windowId), nullptr)
                       : nullptr) {
            const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
            std::free(attributes);
            xcb_change_window_attributes(connection, windowId, XCB_CW_EVENT_MASK, &mask);
        }
        if (const auto* extension = xcb_get_extension_data(connection, &xcb_screensaver_id);
            extension && extension->present) {
            screenSaverEvent = extension->first_event + XCB_SCREENSAVER_NOTIFY;
            const xcb_window_t root =
                xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
            xcb_screensaver_select_input(connection, root, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
            if (auto* info = xcb_screensaver_query_info_reply(
                    connection, xcb_screensaver_query_info(connection, root), nullptr)) {
                blanked = info->state == XCB_SCREENSAVER_STATE_ON ||
                          info->state == XCB_SCREENSAVER_STATE_CYCLE;
                std::free(info);
            }
        }
        xcb_flush(connection);
        qApp->installNativeEventFilter(this);
    }

    ~X11VisibilityWatch() override {
        if (qApp)
            qApp->removeNativeEventFilter(this);
    }

    bool canBeSeen() const override { return mapped && !obscured && !blanked; }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const bool before = canBeSeen();
        const uint8_t kind = event->response_type & 0x7f;
        if (kind == XCB_MAP_NOTIFY &&
            reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == windowId) {
            mapped = true;
        } else if (kind == XCB_UNMAP_NOTIFY &&
                   reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window == windowId) {
            mapped = false;
        } else if (kind == XCB_VISIBILITY_NOTIFY) {
            const auto* notice = reinterpret_cast<const xcb_visibility_notify_event_t*>(event);
            if (notice->window == windowId)
                obscured = notice->state == XCB_VISIBILITY_FULLY_OBSCURED;
        } else if (screenSaverEvent && kind == *screenSaverEvent) {
            const auto* notice = reinterpret_cast<const xcb_screensaver_notify_event_t*>(event);
            blanked = notice->state == XCB_SCREENSAVER_STATE_ON ||
                      notice->state == XCB_SCREENSAVER_STATE_CYCLE;
        } else {
            return false;
        }
        if (canBeSeen() != before)
            Q_EMIT canBeSeenChanged(canBeSeen());
        return false;
    }

private:
    xcb_connection_t* connection;
    xcb_window_t windowId;
    std::optional<uint8_t> screenSaverEvent;
    bool mapped = true;
    bool obscured = false;
    bool blanked = false;
};

} // namespace

VisibilityWatchFactory x11VisibilityWatches() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return {};
    return [](QWidget* window) -> std::unique_ptr<VisibilityWatch> {
        auto* x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !x11->connection())
            return nullptr;
        return std::make_unique<X11VisibilityWatch>(window, x11->connection());
    };
}

#else

VisibilityWatchFactory x11VisibilityWatches() {
    return {};
}

#endif
