#include "ButtonImages.h"

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

// The XSETTINGS data of the manager of the first screen; none without a manager.
std::optional<QByteArray> managerSettings() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return std::nullopt;
    const xcb_atom_t selection = xsettingsAtom(connection, "_XSETTINGS_S0");
    const xcb_atom_t property = xsettingsAtom(connection, "_XSETTINGS_SETTINGS");
    if (selection == XCB_ATOM_NONE || property == XCB_ATOM_NONE)
        return std::nullopt;
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const xcb_window_t manager = owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
    std::free(owner);
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
