#pragma once

#include "DisplayController.h"
#include "Files.h"
#include "LoginItemService.h"
#include "MarqueeView.h"
#include "PanelIndicator.h"
#include "QuoteManager.h"
#include "StatusItem.h"
#include "StatusMenu.h"
#include "VisibilityWatch.h"

#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QDir>
#include <QObject>
#include <QUrl>

#include <memory>
#include <optional>

class DBusMenuExporter;
class LiveSettings;
class Preferences;
class PreferencesWindow;
class QAction;
class QMenu;
class QtTranslations;
class RemoteControl;
class StatusNotifierHosts;
class StripPresence;
class TrayIconStandIn;

// What the delegate is given from outside: tests pass their own.
struct AppEnvironment {
    QString homeFolder = Files::homeFolder();
    std::shared_ptr<LoginItemService> loginItems = XdgAutostartService::forThisProgram();
    MarqueeTiming timing = MarqueeTiming::system();
    // The session bus the program's D-Bus objects go on; tests give a private one. A bus that
    // is not connected leaves them out.
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The desktop's opener: a file in the user's default application for its type, a page in
    // the browser. False when it could not be started.
    std::function<bool(const QUrl&)> openUrl = [](const QUrl& url) {
        return QDesktopServices::openUrl(url);
    };
    // Where a kept copy of the quotes file is announced; unset, desktop notifications on the bus.
    std::shared_ptr<DesktopNotifier> notifier = nullptr;
};

// Owns every long-lived part of the program and wires them: the menu-bar item, the quote
// manager, the display, the menus and the editor window.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(AppEnvironment environment = {});
    ~AppDelegate() override;

    // Start-up, once the event loop runs.
    void applicationDidFinishLaunching();

    // Describes the status menu in the current language and gives it to the status item, as a
    // QMenu, and to the menu exported over D-Bus.
    void setupMenu();
    // Shows the editor window, making it on first use, above other programs' windows.
    void openQuotesUI();
    // The same for the Preferences window.
    void openPreferences();
    // Reads the quotes file again; shows the list held until then at once, and the reloaded
    // list when it arrives.
    void reloadQuotes();
    // Saves any edit not saved yet, then opens the quotes file in the user's own application.
    void openQuotesFile();
    // Stops the ticker where it stands, or lets it go on; the menu's check mark follows.
    void togglePause();
    // Shows the About window, making it on first use.
    void showAbout();
    // Sets the language of that raw value; ignores anything else.
    void changeLanguage(const QVariant& rawValue);
    // Registers or unregisters the login item; the menu's check mark follows what succeeded.
    void toggleLaunchAtLogin();
    // Puts the strip on the screen of that name; an empty name lets the strip choose. The
    // choice is the setting "Screen".
    void changeScreen(const QVariant& name);

    QMenu* mainMenu() const { return mainMenuBar.get(); }
    // The status menu as it was last described.
    const MenuDescription& statusMenu() const { return statusMenuDescription.description; }
    // The status menu on D-Bus at "/MenuBar" (com.canonical.dbusmenu); null without a bus.
    DBusMenuExporter* menuExporter() const { return exporter.get(); }

    // The settings, from start-up on; the running program follows them.
    std::unique_ptr<Preferences> preferences;
    std::unique_ptr<StatusItem> statusItem;
    const std::unique_ptr<DisplayController> displayController;
    const std::unique_ptr<QuoteManager> quoteManager;
    std::unique_ptr<QWidget> quotesWindow;
    std::unique_ptr<PreferencesWindow> preferencesWindow;
    std::unique_ptr<QWidget> aboutWindow;
    // The item in the desktop panel's indicator area, when the bus is there.
    std::unique_ptr<PanelIndicator> panelIndicator;
    // Keeps the strip away where a panel shows the ticker itself.
    std::unique_ptr<StripPresence> stripPresence;

private:
    // Puts the program's D-Bus interface on the environment's bus, when it is connected.
    void setupRemoteControl();
    // Shows the item checked or not, in every view of the menu.
    void showChecked(int id, bool checked);
    // The status menu on the environment's bus at its path, when the bus is connected.
    void exportMenu();
    void setupPanelIndicator();
    // The display as the strip shows it, for the panel's label and for views in other processes.
    void showDisplayElsewhere();

    AppEnvironment environment;
    std::unique_ptr<QMenu> mainMenuBar;
    std::unique_ptr<QtTranslations> qtTranslations;
    std::unique_ptr<RemoteControl> remoteControl;
    std::unique_ptr<LiveSettings> liveSettings;
    StatusMenu statusMenuDescription;
    std::unique_ptr<DBusMenuExporter> exporter;
    std::unique_ptr<StatusNotifierHosts> notifierHosts;
    std::unique_ptr<TrayIconStandIn> trayIconStandIn;
};
