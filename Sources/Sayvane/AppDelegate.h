#pragma once

#include "DisplayController.h"
#include "Files.h"
#include "LoginItemService.h"
#include "MarqueeView.h"
#include "PanelIndicator.h"
#include "QuoteManager.h"
#include "StatusItem.h"
#include "VisibilityWatch.h"

#include <QDBusConnection>
#include <QDir>
#include <QObject>

#include <memory>

class QAction;
class QMenu;
class QtTranslations;

// What the delegate is given from outside: tests pass their own.
struct AppEnvironment {
    QString homeFolder = Files::homeFolder();
    std::shared_ptr<LoginItemService> loginItems = XdgAutostartService::forThisProgram();
    MarqueeTiming timing = MarqueeTiming::system();
    // The session bus the program's D-Bus objects go on; tests give a private one. A bus that
    // is not connected leaves them out.
    QDBusConnection bus = QDBusConnection::sessionBus();
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

    // Builds the status menu in the current language and gives it to the status item.
    void setupMenu();
    // Shows the editor window, making it on first use, above other programs' windows.
    void openQuotesUI();
    // Reads the quotes file again; shows the list held until then at once, and the reloaded
    // list when it arrives.
    void reloadQuotes();
    // Sets the language whose raw value the item carries; ignores anything else.
    void changeLanguage(QAction* sender);
    void toggleLaunchAtLogin(QAction* sender);
    // Puts the strip on the screen whose name the item carries; an empty name lets the strip
    // choose. The choice is kept under "Screen" in the program's settings.
    void changeScreen(QAction* sender);

    QMenu* mainMenu() const { return mainMenuBar.get(); }

    std::unique_ptr<StatusItem> statusItem;
    const std::unique_ptr<DisplayController> displayController;
    const std::unique_ptr<QuoteManager> quoteManager;
    std::unique_ptr<QWidget> quotesWindow;
    // The item in the desktop panel's indicator area, when the bus is there.
    std::unique_ptr<PanelIndicator> panelIndicator;
    // Whether the strip can be seen, and so the panel beside it: the label rests when not.
    std::unique_ptr<VisibilityWatch> stripVisibility;

private:
    void setupMainMenu();
    // The Edit menu's titles in the current language.
    void retitleMainMenu();
    void addScreenMenu(QMenu* menu);
    void setupPanelIndicator();

    AppEnvironment environment;
    std::unique_ptr<QMenu> mainMenuBar;
    std::unique_ptr<QtTranslations> qtTranslations;
    bool trayIconOverDBus = false;
};
