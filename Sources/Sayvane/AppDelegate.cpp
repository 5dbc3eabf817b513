#include "AppDelegate.h"

#include "AboutWindow.h"
#include "ButtonImages.h"
#include "Console.h"
#include "DBusMenuExporter.h"
#include "EditMenu.h"
#include "EditorWindow.h"
#include "LiveSettings.h"
#include "Localization.h"
#include "MenuView.h"
#include "NotificationCenter.h"
#include "PanelMenuPosition.h"
#include "Preferences.h"
#include "PreferencesWindow.h"
#include "QtTranslations.h"
#include "RemoteActions.h"
#include "StatusNotifierHosts.h"
#include "StoreNotices.h"
#include "StripPresence.h"
#include "TrayIconStandIn.h"
#include "X11Window.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QMenu>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

// Where the status menu is on the bus, for status notifier hosts.
const QString statusMenuPath = u"/MenuBar"_s;

void showInFront(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

AppDelegate::AppDelegate(AppEnvironment environment)
    : statusItem(nullptr)
    , displayController(std::make_unique<DisplayController>(environment.timing))
    , quoteManager(std::make_unique<QuoteManager>(environment.homeFolder))
    , quotesWindow(nullptr)
    , environment(std::move(environment)) {}

AppDelegate::~AppDelegate() {
    // The window's menu bar shows the main menu's Edit menu: the window goes first.
    quotesWindow.reset();
    preferencesWindow.reset();
    aboutWindow.reset();
    // Its calls reach the parts below.
    remoteControl.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    qtTranslations = std::make_unique<QtTranslations>();
    qtTranslations->setLanguage(LocalizationManager::shared().currentLanguage);
    preferences = std::make_unique<Preferences>();
    preferences->follow();
    // The menu is on the bus before the panel item names it: hosts read the item's menu once,
    // when it registers.
    exportMenu();
    // Before the strip, so that its tray icon never shows beside the item in the panel.
    setupPanelIndicator();
    // On the screen once the strip's presence is decided below.
    statusItem = std::make_unique<StatusItem>(preferences->stripWidth(), false);
    if (panelIndicator) {
        trayIconStandIn = std::make_unique<TrayIconStandIn>(*statusItem, panelIndicator->item());
        if (const VisibilityWatchFactory& watches = environment.timing.watchVisibility)
            panelIndicator->followScreen(watches(nullptr));
    }
    if (environment.bus.isConnected())
        notifierHosts = std::make_unique<StatusNotifierHosts>(environment.bus);
    stripPresence = std::make_unique<StripPresence>(
        *statusItem, StripChoice::setting(preferences->strip()),
        preferences->label().mode != LabelMode::off,
        panelIndicator ? &panelIndicator->item() : nullptr, notifierHosts.get(),
        &x11WindowManagerName, &ButtonImages::shownNow);
    // Icons on buttons turned on or off in the desktop's settings decide the item's label anew.
    connect(new ButtonImagesWatch(stripPresence.get()), &ButtonImagesWatch::changed,
            stripPresence.get(), &StripPresence::reconsider);
    connect(stripPresence.get(), &StripPresence::decided, this, [this] {
        if (preferencesWindow)
            preferencesWindow->updatePlaces();
    });
    liveSettings = std::make_unique<LiveSettings>(
        *preferences,
        LiveSettings::Targets{statusItem.get(), displayController.get(), panelIndicator.get(),
                              stripPresence.get(), [this] { setupMenu(); }});
    connect(statusItem.get(), &StatusItem::screensChanged, this, &AppDelegate::setupMenu);
    if (StatusBarButton* button = statusItem->button())
        button->setTitle(u""_s);
    mainMenuBar = EditMenu::makeMainMenu();
    setupMenu();
    NotificationCenter::defaultCenter().addObserver(
        LocalizationManager::languageChangedNotification, [weak = QPointer<AppDelegate>(this)] {
            if (!weak)
                return;
            weak->qtTranslations->setLanguage(LocalizationManager::shared().currentLanguage);
            EditMenu::retitle(weak->mainMenuBar.get());
            weak->setupMenu();
            EditorWindow::retitle(weak->quotesWindow.get());
            weak->quoteManager->retranslatePlaceholder();
            weak->displayController->quotes = weak->quoteManager->quotes;
            weak->displayController->resetDisplay();
            if (weak->remoteControl)
                weak->remoteControl->announcePropertyChanges();
        });
    quoteManager->onQuotesChanged = [weak = QPointer<AppDelegate>(this)] {
        if (!weak)
            return;
        if (weak->remoteControl && weak->displayController->quotes != weak->quoteManager->quotes)
            weak->remoteControl->announceQuotesChanged();
        weak->displayController->quotes = weak->quoteManager->quotes;
        weak->displayController->resetDisplay();
    };
    // A pause from the menu, the panel or a script holds the strip and the label alike.
    displayController->onPausedChanged = [weak = QPointer<AppDelegate>(this)] {
        if (!weak)
            return;
        const bool paused = weak->displayController->isPaused();
        weak->showChecked(weak->statusMenuDescription.pauseId, paused);
        if (weak->panelIndicator)
            weak->panelIndicator->setPaused(paused);
        weak->showDisplayElsewhere();
        if (weak->remoteControl)
            weak->remoteControl->announcePropertyChanges();
    };
    displayController->onDisplayReset = [weak = QPointer<AppDelegate>(this)] {
        if (weak)
            weak->showDisplayElsewhere();
    };
    if (!environment.notifier)
        environment.notifier = std::make_shared<FreedesktopNotifier>(environment.bus);
    StoreNotices::attach(*quoteManager, environment.notifier);
    quoteManager->loadQuotes();
    quoteManager->startWatching();
    displayController->statusItem = statusItem.get();
    displayController->quotes = quoteManager->quotes;
    displayController->startDisplay();
    setupRemoteControl();
}

void AppDelegate::setupRemoteControl() {
    remoteControl = RemoteControl::publish(
        environment.bus,
        remoteActions({*quoteManager, *displayController, [this] { openQuotesUI(); },
                       [this] { reloadQuotes(); },
                       // With the strip away, the label is the ticker the user sees: its quote
                       // is the current one, and the wheel over it moves it.
                       [this] {
                           return panelIndicator && statusItem && !statusItem->isStripShown()
                                      ? panelIndicator->ticker().tooltip()
                                      : QString();
                       },
                       preferences.get()}));
    if (!remoteControl)
        return;
    connect(preferences.get(), &Preferences::changed, remoteControl.get(),
            &RemoteControl::announcePropertyChanges);
    // The program's panel widget shows the ticker: the strip stays away as for the label.
    connect(&remoteControl->display(), &DisplayFeed::viewShowingChanged, this,
            [this](bool showing) { stripPresence->setWidgetInPanel(showing); });
    remoteControl->display().setMenu(statusMenuDescription.description);
    showDisplayElsewhere();
}

void AppDelegate::exportMenu() {
    if (!environment.bus.isConnected())
        return;
    exporter = std::make_unique<DBusMenuExporter>(environment.bus, statusMenuPath);
    if (!exporter->isExported()) {
        printLine(u"Failed to export the menu on D-Bus: "_s + statusMenuPath + u" is in use"_s);
        exporter.reset();
    }
}

void AppDelegate::setupPanelIndicator() {
    if (!environment.bus.isConnected())
        return;
    panelIndicator = std::make_unique<PanelIndicator>(environment.bus, preferences->label());
    StatusNotifierItem& item = panelIndicator->item();
    if (!item.isExported()) {
        panelIndicator.reset();
        return;
    }
    connect(&item, &StatusNotifierItem::registeredChanged, this, [this] {
        if (preferencesWindow)
            preferencesWindow->updatePlaces();
    });
    // The panel's point is not to be relied on: the menu opens where the click was.
    auto popUp = [this] {
        if (statusItem && statusItem->menu())
            statusItem->menu()->popup(PanelMenuPosition::now());
    };
    connect(&item, &StatusNotifierItem::activated, this, popUp);
    connect(&item, &StatusNotifierItem::contextMenuRequested, this, popUp);
    connect(&item, &StatusNotifierItem::secondaryActivated, this, [this] { togglePause(); });
    // One current quote: the strip goes where the wheel took the label.
    connect(panelIndicator.get(), &PanelIndicator::quoteJumped, this,
            [this](qsizetype quote) { displayController->showQuote(quote); });
}

void AppDelegate::showDisplayElsewhere() {
    const QString still = LocalizationManager::shared().localizedString(u"NoQuotes"_s);
    if (panelIndicator)
        panelIndicator->show(displayController->segments(), still);
    if (remoteControl)
        remoteControl->display().show(displayController->segments(), still,
                                      displayController->isPaused());
}

void AppDelegate::setupMenu() {
    if (!statusItem)
        return;
    StatusMenu::State state;
    state.paused = displayController->isPaused();
    state.launchAtLogin = environment.loginItems->status() == LoginItemStatus::enabled;
    state.language = LocalizationManager::shared().currentLanguage;
    state.screens = StatusMenu::screensNow();
    state.chosenScreen = statusItem->preferredScreen();
    StatusMenu::Actions actions;
    actions.editQuotes = [this] { openQuotesUI(); };
    actions.openQuotesFile = [this] { openQuotesFile(); };
    actions.reloadQuotes = [this] { reloadQuotes(); };
    actions.togglePause = [this] { togglePause(); };
    actions.toggleLaunchAtLogin = [this] { toggleLaunchAtLogin(); };
    actions.openPreferences = [this] { openPreferences(); };
    actions.changeLanguage = [this](const QString& rawValue) { changeLanguage(rawValue); };
    actions.changeScreen = [this](const QString& name) { changeScreen(name); };
    actions.about = [this] { showAbout(); };
    actions.quit = [] { QCoreApplication::exit(0); };
    statusMenuDescription = StatusMenu::describe(state, actions);
    statusItem->setMenu(makeMenu(statusMenuDescription.description));
    if (exporter)
        exporter->setMenu(statusMenuDescription.description);
    if (remoteControl)
        remoteControl->display().setMenu(statusMenuDescription.description);
}

void AppDelegate::changeScreen(const QVariant& choice) {
    if (!statusItem || choice.typeId() != QMetaType::QString)
        return;
    // The strip and the menu follow the setting.
    if (const auto problem = preferences->set(SettingKeys::screen, choice))
        printLine(u"Failed to choose the screen: "_s + *problem);
}

void AppDelegate::openQuotesUI() {
    if (!quotesWindow)
        quotesWindow =
            EditorWindow::make(*quoteManager, LocalizationManager::shared(), mainMenuBar.get());
    showInFront(*quotesWindow);
}

void AppDelegate::openPreferences() {
    if (!preferences)
        return;
    if (!preferencesWindow)
        preferencesWindow = std::make_unique<PreferencesWindow>(
            *preferences, LocalizationManager::shared(),
            [this] { return stripPresence ? stripPresence->places() : TickerPlaces(); });
    showInFront(*preferencesWindow);
}

void AppDelegate::reloadQuotes() {
    quoteManager->loadQuotes();
    displayController->quotes = quoteManager->quotes;
    displayController->resetDisplay();
}

void AppDelegate::openQuotesFile() {
    // The other application reads the file: what the user typed and did not submit goes first.
    quoteManager->saveUnsavedEdits();
    const QString path = quoteManager->quotesFileURL;
    if (!environment.openUrl(QUrl::fromLocalFile(path)))
        printLine(u"Could not open the quotes file: no application was started for "_s +
                  QDir::toNativeSeparators(path));
}

void AppDelegate::togglePause() {
    displayController->setPaused(!displayController->isPaused());
}

void AppDelegate::showAbout() {
    if (!aboutWindow)
        aboutWindow = std::make_unique<AboutWindow>(LocalizationManager::shared(),
                                                    quoteManager->quotesFileURL);
    showInFront(*aboutWindow);
}

void AppDelegate::changeLanguage(const QVariant& rawValue) {
    if (rawValue.typeId() != QMetaType::QString)
        return;
    if (const auto language = AppLanguages::fromRawValue(rawValue.toString()))
        LocalizationManager::shared().currentLanguage = *language;
}

void AppDelegate::toggleLaunchAtLogin() {
    LoginItemService& service = *environment.loginItems;
    QString error;
    if (service.status() == LoginItemStatus::enabled) {
        if (service.unregisterApp(&error)) {
            showChecked(statusMenuDescription.launchAtLoginId, false);
            return;
        }
    } else if (service.registerApp(&error)) {
        showChecked(statusMenuDescription.launchAtLoginId, true);
        return;
    }
    printLine(u"Failed to toggle launch at login: "_s + error);
}

void AppDelegate::showChecked(int id, bool checked) {
    // The changes made in place (the pause, launch at login): the menu is otherwise only ever
    // replaced whole.
    MenuEntry* entry = statusMenuDescription.description.find(id);
    if (!entry)
        return;
    entry->checked = checked;
    if (QAction* item = statusItem ? findMenuItem(statusItem->menu(), id) : nullptr)
        item->setChecked(checked);
    if (exporter)
        exporter->updateEntry(*entry);
    if (remoteControl)
        remoteControl->display().setMenu(statusMenuDescription.description);
}
