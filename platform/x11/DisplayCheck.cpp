#include "DisplayCheck.h"

#include <QtGlobal>

#ifdef SAYVANE_HAVE_XCB
#include <xcb/xcb.h>
#endif

using namespace Qt::StringLiterals;

QString displayProblem() {
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    // Qt picks Wayland by itself when it is there and no platform is named; other platforms
    // (offscreen, wayland, vnc) report their own failures.
    if (platform.isEmpty() ? !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                           : !platform.startsWith(u"xcb"_s))
        return {};
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return u"cannot open the display: the DISPLAY variable is not set"_s;
#ifdef SAYVANE_HAVE_XCB
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (failed)
        return u"cannot open the display \"%1\" named by the DISPLAY variable"_s.arg(
            QString::fromLocal8Bit(display));
#endif
    return {};
}
