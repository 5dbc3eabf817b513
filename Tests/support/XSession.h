#pragma once

#include "ChildProcess.h"

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class PrivateBus;
struct xcb_connection_t;

// An X display for a test, and what the test starts on it: a window manager, a panel. The
// display is the one this process's application runs on (see runTestsUnderXvfb) or an Xvfb of
// the session's own for programs the test starts. Properties are read and windows pinged
// through a connection of the session's own; input goes through xdotool. Everything the
// session started stops with it.
class XSession {
public:
    // The display this process runs on ($DISPLAY).
    XSession();
    // An Xvfb of its own at the size given ("1024x768x24").
    explicit XSession(const QString& screenSize);
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // False when there is no display to connect to (Xvfb missing or not started); why in error().
    bool isReady() const { return connection != nullptr; }
    QString error() const { return problem; }
    QString display() const { return displayName; }
    // The environment of a program started on this display: the given one with DISPLAY set
    // (and the window manager's session bus, when it has one).
    QProcessEnvironment
    environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

    // Starts a window manager, "openbox" or "xfwm4" (which keeps its settings through xfconf on
    // a session bus: the session starts one of its own for it and makes it this process's
    // session bus), and waits until it manages the screen (it has set
    // _NET_SUPPORTING_WM_CHECK). False when it did not within the time.
    bool startWindowManager(const QString& name);
    // Starts a panel across the top of the screen and returns at once: "tint2" with its stock
    // configuration moved to the top, or "xfce4-panel" as it starts for a new home (or with the
    // configuration the test wrote under $XDG_CONFIG_HOME).
    bool startPanel(const QString& name);
    void stopPanel() { panel.stop(); }

    // The 32-bit items of a property (CARDINAL, WINDOW, ATOM...); empty when it is not set.
    QList<quint32> numbers(quint32 window, const QString& property) const;
    QList<quint32> rootNumbers(const QString& property) const;
    // The names of the atoms a property lists (WM_PROTOCOLS, _NET_WM_STATE...).
    QStringList atomNames(quint32 window, const QString& property) const;
    // _NET_ACTIVE_WINDOW: the window the window manager says has the focus, 0 for none.
    quint32 activeWindow() const;

    // Pings the client that owns the window (_NET_WM_PING, as window managers do) and waits for
    // its answer, running this thread's events meanwhile (the window may be this process's). A
    // client answers in order: once it has, it has handled every event the X server sent it
    // before, the input that xdotool gave included. False when no answer came within the time.
    bool ping(quint32 window, int milliseconds = 10000);

    // Runs xdotool on this display with the arguments (mousemove, click, key, type, search...);
    // it returns once the X server has the input. What it printed.
    QString xdotool(const QStringList& arguments) const;

private:
    void connectTo(const QString& display);
    quint32 atom(const QString& name) const;

    ChildProcess xvfb;
    std::unique_ptr<PrivateBus> bus;
    ChildProcess windowManager;
    ChildProcess panel;
    xcb_connection_t* connection = nullptr;
    quint32 root = 0;
    quint32 pings = 0;
    QString displayName;
    QString problem;
    QTemporaryDir panelConfig;
};

// The main function of a test program that runs its cases on an X server of its own: Xvfb at
// the given size (offscreen when Xvfb is missing, and for listing the tests), a QApplication
// on it, an isolated home, no desktop of the caller's.
int runTestsUnderXvfb(int argc, char* argv[], const QString& size);

// Starts Xvfb on a display number it picks itself, at the given size ("1280x800x24"). Returns
// the display (":N"), or nothing when Xvfb is missing or did not start.
QString startXvfb(QProcess& server, const QString& size);
