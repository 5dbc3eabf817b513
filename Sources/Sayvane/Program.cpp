#include "Program.h"

#include "AppDelegate.h"
#include "DisplayCheck.h"
#include "Files.h"
#include "SignalNotifier.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>

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

// Without HOME, Qt takes "/" for the home folder; the user database knows the real one, and
// every later look-up (the quotes file, settings, autostart) goes through HOME.
void ensureHome() {
    if (qEnvironmentVariableIsEmpty("HOME"))
        qputenv("HOME", QFile::encodeName(Files::homeFolder()));
}

void printError(const QString& line) {
    std::fprintf(stderr, "sayvane: %s\n", line.toLocal8Bit().constData());
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
    ensureHome();
    preferXWayland();
    if (const QString problem = displayProblem(); !problem.isEmpty()) {
        printError(problem);
        return 1;
    }
    preferPlainImages();
    QApplication application(argc, argv);
    app = &application;
    QApplication::setApplicationName(QStringLiteral("Sayvane"));
    QApplication::setApplicationVersion(QStringLiteral(SAYVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.sayvane.sayvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/sayvane.svg")));
    // Closing the editor hides it; the program lives in its strip until Quit.
    QApplication::setQuitOnLastWindowClosed(false);

    // One program per quotes file: the lock lives beside it, the socket in this session's
    // runtime folder.
    SingleInstance instance(SingleInstance::userFolder(), nullptr,
                            QuoteManager::quotesFolder(Files::homeFolder()));
    if (!instance.claim()) {
        if (instance.runningInstanceAnswered())
            return 0;
        printError(QStringLiteral("Sayvane already runs for this quotes file, in a session that "
                                  "cannot be reached from here (the lock %1 is held); a second "
                                  "copy would overwrite its saves")
                       .arg(instance.lockFilePath()));
        return 1;
    }

    AppDelegate appDelegate;
    delegate = &appDelegate;
    QObject::connect(&instance, &SingleInstance::activationRequested, &appDelegate,
                     &AppDelegate::openQuotesUI);
    QObject::connect(&instance, &SingleInstance::reloadRequested, &appDelegate,
                     &AppDelegate::reloadQuotes);
    QObject::connect(&instance, &SingleInstance::preferencesRequested, &appDelegate,
                     &AppDelegate::openPreferences);
    QObject::connect(&instance, &SingleInstance::pauseToggleRequested, &appDelegate,
                     &AppDelegate::togglePause);
    QTimer::singleShot(0, &appDelegate, &AppDelegate::applicationDidFinishLaunching);
    // A log-out's SIGTERM, Ctrl+C and a closed terminal end the program as Quit does.
    SignalNotifier termination(SignalNotifier::termination());
    QObject::connect(&termination, &SignalNotifier::received, &application,
                     [] { QCoreApplication::exit(0); });
    const int status = application.exec();
    // Edits typed but not submitted (a row changed without Return) are not lost at the end.
    appDelegate.quoteManager->saveUnsavedEdits();
    delegate = nullptr;
    app = nullptr;
    return status;
}
