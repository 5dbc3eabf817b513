#include "ButtonImages.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QtEndian>

#ifdef SAYVANE_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif

using namespace Qt::StringLiterals;

namespace {

// XSETTINGS is a property of the settings manager's window, read here by hand: Qt parses it
// too, but only inside its private X11 plugin.
class Reader {
public:
    explicit Reader(const QByteArray& data)
        : data(data)
        , bigEndian(!data.isEmpty() && data.at(0) == 1) {}

    bool skip(qsizetype count) {
        at += count;
        return at <= data.size();
    }
    std::optional<quint32> card32() { return number<quint32>(); }
    std::optional<quint16> card16() { return number<quint16>(); }
    std::optional<quint8> card8() { return number<quint8>(); }
    QByteArray bytes(qsizetype count) const { return data.mid(at, count); }

private:
    template <typename T> std::optional<T> number() {
        if (at + qsizetype(sizeof(T)) > data.size())
            return std::nullopt;
        const auto* p = data.constData() + at;
        at += sizeof(T);
        return bigEndian ? qFromBigEndian<T>(p) : qFromLittleEndian<T>(p);
    }

    const QByteArray& data;
    bool bigEndian;
    qsizetype at = 0;
};

constexpr qsizetype padded(qsizetype length) {
    return (length + 3) & ~qsizetype(3);
}

#ifdef SAYVANE_HAVE_XCB
xcb_atom_t xsettingsAtom(xcb_connection_t* connection, const QByteArray& name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

xcb_connection_t* settingsConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t selectionOwner(xcb_connection_t* connection, xcb_atom_t selection) {
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const xcb_window_t found = owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
    std::free(owner);
    return found;
}

// Adds the events to those this connection already asks of the window.
void addEvents(xcb_connection_t* connection, xcb_window_t window, uint32_t events) {
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr);
    if (!attributes)
        return;
    const uint32_t mask = attributes->your_event_mask | events;
    std::free(attributes);
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
}

// The XSETTINGS data of the manager of the first screen; none without a manager.
std::optional<QByteArray> managerSettings() {
    xcb_connection_t* connection = settingsConnection();
    if (!connection)
        return std::nullopt;
    const xcb_atom_t selection = xsettingsAtom(connection, "_XSETTINGS_S0");
    const xcb_atom_t property = xsettingsAtom(connection, "_XSETTINGS_SETTINGS");
    if (selection == XCB_ATOM_NONE || property == XCB_ATOM_NONE)
        return std::nullopt;
    const xcb_window_t manager = selectionOwner(connection, selection);
    if (manager == XCB_WINDOW_NONE)
        return std::nullopt;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, manager, property, property, 0, 1 << 20),
        nullptr);
    if (!reply)
        return std::nullopt;
    QByteArray data(static_cast<const char*>(xcb_get_property_value(reply)),
                    xcb_get_property_value_length(reply));
    std::free(reply);
    return data;
}
#endif

} // namespace

namespace ButtonImages {

std::optional<bool> fromXSettings(const QByteArray& data) {
    Reader read(data);
    std::optional<quint32> count;
    if (!read.skip(8) || !(count = read.card32()))
        return std::nullopt;
    for (quint32 i = 0; i < *count; ++i) {
        const std::optional<quint8> type = read.card8();
        std::optional<quint16> nameLength;
        if (!type || !read.skip(1) || !(nameLength = read.card16()))
            return std::nullopt;
        const QByteArray name = read.bytes(*nameLength);
        if (!read.skip(padded(*nameLength)) || !read.skip(4)) // and the last change's serial
            return std::nullopt;
        switch (*type) {
        case 0: { // an integer
            const std::optional<quint32> value = read.card32();
            if (!value)
                return std::nullopt;
            if (name == "Gtk/ButtonImages")
                return *value != 0;
            break;
        }
        case 1: { // a string
            const std::optional<quint32> length = read.card32();
            if (!length || !read.skip(padded(*length)))
                return std::nullopt;
            break;
        }
        case 2: // a colour: four 16-bit channels
            if (!read.skip(8))
                return std::nullopt;
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool shownNow() {
    if (QGuiApplication::platformName() != u"xcb"_s)
        return true;
#ifdef SAYVANE_HAVE_XCB
    if (const std::optional<QByteArray> data = managerSettings())
        if (const std::optional<bool> shown = fromXSettings(*data))
            return *shown;
#endif
    // Without a manager, GTK reads its settings file (and a manager that does not publish the
    // setting leaves it there too).
    const QString file =
        QStandardPaths::locate(QStandardPaths::GenericConfigLocation, u"gtk-3.0/settings.ini"_s);
    if (!file.isEmpty()) {
        const QSettings settings(file, QSettings::IniFormat);
        const QString value = settings.value(u"Settings/gtk-button-images"_s).toString();
        if (!value.isEmpty())
            return value == u"1"_s || value.compare(u"true"_s, Qt::CaseInsensitive) == 0;
    }
    return false;
}

} // namespace ButtonImages

ButtonImagesWatch::ButtonImagesWatch(QObject* parent)
    : QObject(parent) {
#ifdef SAYVANE_HAVE_XCB
    xcb_connection_t* connection = settingsConnection();
    if (!connection)
        return;
    selection = xsettingsAtom(connection, "_XSETTINGS_S0");
    settingsProperty = xsettingsAtom(connection, "_XSETTINGS_SETTINGS");
    managerMessage = xsettingsAtom(connection, "MANAGER");
    // A new manager announces itself to the root window's structure listeners.
    if (const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data)
        addEvents(connection, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    followManager();
    QCoreApplication::instance()->installNativeEventFilter(this);
#endif
}

ButtonImagesWatch::~ButtonImagesWatch() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void ButtonImagesWatch::followManager() {
#ifdef SAYVANE_HAVE_XCB
    xcb_connection_t* connection = settingsConnection();
    if (!connection || selection == XCB_ATOM_NONE)
        return;
    manager = selectionOwner(connection, selection);
    if (manager != XCB_WINDOW_NONE)
        addEvents(connection, manager,
                  XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    xcb_flush(connection);
#endif
}

bool ButtonImagesWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
#ifdef SAYVANE_HAVE_XCB
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (manager != 0 && change->window == manager && change->atom == settingsProperty)
            Q_EMIT changed();
        break;
    }
    case XCB_CLIENT_MESSAGE: {
        const auto* announcement = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (announcement->type == managerMessage && announcement->format == 32 &&
            announcement->data.data32[1] == selection) {
            followManager();
            Q_EMIT changed();
        }
        break;
    }
    case XCB_DESTROY_NOTIFY:
        if (manager != 0 &&
            reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == manager) {
            manager = 0;
            Q_EMIT changed();
        }
        break;
    default:
        break;
    }
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}
