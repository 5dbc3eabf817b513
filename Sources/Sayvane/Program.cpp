#include "Program.h"

#include "AppDelegate.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

// The process-wide application object and delegate, set once here and kept to the end.
QApplication* app = nullptr;
AppDelegate* delegate = nullptr;

namespace {

// A Wayland client may neither place nor raise its own windows, which the menu-bar strip needs;
// run through XWayland when it is there, unless the user chose a platform.
void preferXWayland() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

// Qt hands window contents to the X server through shared memory, which costs a round trip and
// a completion event (waking a second thread) at every frame; a 250 by 24 strip is sent faster
// as a plain image. Unless the user chose otherwise.
void preferPlainImages() {
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}

} // namespace

int runProgram(int& argc, char* argv[]) {
    preferXWayland();
    preferPlainImages();
    QApplication application(argc, argv);
    app = &application;
    QApplication::setApplicationName(QStringLiteral("Sayvane"));
    QApplication::setApplicationVersion(QStringLiteral(SAYVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("sayvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/sayvane.svg")));
    // Closing the editor hides it; the program lives in its strip until Quit.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(SingleInstance::userFolder());
    if (!instance.claim())
        return 0;

    AppDelegate appDelegate;
    delegate = &appDelegate;
    QObject::connect(&instance, &SingleInstance::activationRequested, &appDelegate,
                     &AppDelegate::openQuotesUI);
    QTimer::singleShot(0, &appDelegate, &AppDelegate::applicationDidFinishLaunching);
    const int status = application.exec();
    delegate = nullptr;
    app = nullptr;
    return status;
}
