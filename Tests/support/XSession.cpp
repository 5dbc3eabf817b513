#include "XSession.h"

#include "PrivateBus.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

// A reply of libxcb, freed with the object.
template <typename Reply> auto own(Reply* reply) {
    return std::unique_ptr<Reply, decltype(&std::free)>(reply, &std::free);
}

} // namespace

XSession::XSession() {
    connectTo(qEnvironmentVariable("DISPLAY"));
}

XSession::XSession(const QString& screenSize) {
    const QString xvfbProgram = QStandardPaths::findExecutable(u"Xvfb"_s);
    if (xvfbProgram.isEmpty()) {
        problem = u"Xvfb is not installed"_s;
        return;
    }
    // Xvfb picks a free display number and writes it on the descriptor given, once it listens.
    xvfb.start(xvfbProgram, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, screenSize,
                             u"-nolisten"_s, u"tcp"_s});
    const std::optional<QString> number = xvfb.nextLine();
    if (!number || number->trimmed().isEmpty()) {
        problem = u"Xvfb did not start: "_s + xvfb.errors();
        return;
    }
    connectTo(u":"_s + number->trimmed());
}

XSession::~XSession() {
    panel.stop();
    windowManager.stop();
    if (connection)
        xcb_disconnect(connection);
    xvfb.stop();
}

void XSession::connectTo(const QString& display) {
    displayName = display;
    if (display.isEmpty()) {
        problem = u"no display"_s;
        return;
    }
    connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        connection = nullptr;
        problem = u"cannot connect to the display "_s + display;
        return;
    }
    root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    // Clients answer pings to the root window, each with its own choice of these masks.
    const quint32 mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

QProcessEnvironment XSession::environment(QProcessEnvironment base) const {
    base.insert(u"DISPLAY"_s, displayName);
    if (bus)
        base.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus->address());
    return base;
}

bool XSession::startWindowManager(const QString& name) {
    if (!isReady())
        return false;
    QStringList arguments;
    if (name == u"xfwm4"_s) {
        bus = std::make_unique<PrivateBus>();
        if (!bus->isRunning()) {
            problem = bus->error();
            return false;
        }
        bus->makeSessionBus();
        arguments = {u"--compositor=off"_s};
    }
    windowManager.setEnvironment(environment());
    if (!windowManager.start(name, arguments, ChildProcess::Output::discard)) {
        problem = name + u" did not start"_s;
        return false;
    }
    if (!eventually([this] { return !rootNumbers(u"_NET_SUPPORTING_WM_CHECK"_s).isEmpty(); })) {
        problem = name + u" did not take the screen"_s;
        return false;
    }
    return true;
}

bool XSession::startPanel(const QString& name) {
    QStringList arguments;
    if (name == u"tint2"_s) {
        QString config = QString::fromUtf8(readBytes(u"/etc/xdg/tint2/tint2rc"_s));
        config.replace(u"panel_position = bottom"_s, u"panel_position = top"_s);
        const QString path = panelConfig.filePath(u"tint2rc"_s);
        writeBytes(path, config.toUtf8());
        arguments = {u"-c"_s, path};
    }
    panel.setEnvironment(environment());
    return panel.start(name, arguments, ChildProcess::Output::discard);
}

quint32 XSession::atom(const QString& name) const {
    const QByteArray bytes = name.toLatin1();
    const auto reply = own(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, quint16(bytes.size()), bytes.constData()),
        nullptr));
    return reply ? reply->atom : 0;
}

QList<quint32> XSession::numbers(quint32 window, const QString& property) const {
    if (!isReady())
        return {};
    const auto reply = own(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
        nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
    return QList<quint32>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

QList<quint32> XSession::rootNumbers(const QString& property) const {
    return numbers(root, property);
}

QStringList XSession::atomNames(quint32 window, const QString& property) const {
    QStringList names;
    for (const quint32 item : numbers(window, property)) {
        const auto reply =
            own(xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, item), nullptr));
        if (reply)
            names.append(QString::fromLatin1(xcb_get_atom_name_name(reply.get()),
                                             xcb_get_atom_name_name_length(reply.get())));
    }
    return names;
}

quint32 XSession::activeWindow() const {
    return rootNumbers(u"_NET_ACTIVE_WINDOW"_s).value(0);
}

bool XSession::ping(quint32 window, int milliseconds) {
    if (!isReady())
        return false;
    const quint32 pingAtom = atom(u"_NET_WM_PING"_s);
    // The timestamp field tells this ping's answer from others.
    const quint32 stamp = ++pings;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom(u"WM_PROTOCOLS"_s);
    message.data.data32[0] = pingAtom;
    message.data.data32[1] = stamp;
    message.data.data32[2] = window;
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    bool answered = false;
    return eventually(
        [&] {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                const auto owned = own(event);
                if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
                    continue;
                const auto* answer = reinterpret_cast<const xcb_client_message_event_t*>(event);
                answered = answered ||
                           (answer->data.data32[0] == pingAtom && answer->data.data32[1] == stamp &&
                            answer->data.data32[2] == window);
            }
            return answered;
        },
        milliseconds);
}

QString XSession::xdotool(const QStringList& arguments) const {
    return runProgram(u"xdotool"_s, arguments, environment()).out.trimmed();
}

QString startXvfb(QProcess& server, const QString& size) {
    const QString xvfb = QStandardPaths::findExecutable(u"Xvfb"_s);
    if (xvfb.isEmpty())
        return {};
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(xvfb,
                 {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, size, u"-nolisten"_s, u"tcp"_s});
    QDeadlineTimer deadline(10000);
    while (!server.canReadLine()) {
        if (deadline.hasExpired() || !server.waitForReadyRead(int(deadline.remainingTime())))
            return {};
    }
    const QByteArray number = server.readLine().trimmed();
    return number.isEmpty() ? QString() : u":"_s + QString::fromLatin1(number);
}

int runTestsUnderXvfb(int argc, char* argv[], const QString& size) {
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    isolateTestProcess(home);
    qunsetenv("XDG_CURRENT_DESKTOP");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Listing the tests needs no display.
    QProcess xServer;
    if (!::testing::GTEST_FLAG(list_tests)) {
        if (const QString display = startXvfb(xServer, size); !display.isEmpty()) {
            qputenv("DISPLAY", display.toUtf8());
            qputenv("QT_QPA_PLATFORM", "xcb");
        }
    }
    int status = 0;
    {
        QApplication application(argc, argv);
        status = RUN_ALL_TESTS();
    }
    xServer.terminate();
    xServer.waitForFinished(3000);
    return status;
}
