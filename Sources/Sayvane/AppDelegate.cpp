#include "AppDelegate.h"

#include "Console.h"
#include "DBusMenuExporter.h"
#include "Localization.h"
#include "MenuView.h"
#include "NotificationCenter.h"
#include "QtTranslations.h"
#include "QuotesView.h"
#include "RemoteActions.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Sends an editing command to the first widget that answers it, starting at the focused one and
// going up through its parents: QLineEdit and the other text widgets all have these slots.
void sendToFocusedWidget(const char* slot) {
    for (QObject* target = QApplication::focusWidget(); target; target = target->parent()) {
        if (target->metaObject()->indexOfMethod(
                QMetaObject::normalizedSignature(slot).constData()) >= 0) {
            QByteArray name(slot);
            name.truncate(name.indexOf('('));
            QMetaObject::invokeMethod(target, name.constData());
            return;
        }
    }
}

const QString screenKey = u"Screen"_s;
// Where the status menu is on the bus, for status notifier hosts.
const QString statusMenuPath = u"/MenuBar"_s;

QSettings programSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, u"Sayvane"_s, u"Sayvane"_s);
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
    // Its calls reach the parts below.
    remoteControl.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    qtTranslations = std::make_unique<QtTranslations>();
    qtTranslations->setLanguage(LocalizationManager::shared().currentLanguage);
    // The menu is on the bus before the panel item names it: hosts read the item's menu once,
    // when it registers.
    exportMenu();
    // Before the strip, so that its tray icon never shows beside the item in the panel.
    setupPanelIndicator();
    statusItem = std::make_unique<StatusItem>(250);
    showTrayIconBesidePanelIndicator();
    statusItem->setPreferredScreen(programSettings().value(screenKey).toString());
    connect(statusItem.get(), &StatusItem::screensChanged, this, &AppDelegate::setupMenu);
    if (StatusBarButton* button = statusItem->button())
        button->setTitle(u""_s);
    setupMainMenu();
    setupMenu();
    NotificationCenter::defaultCenter().addObserver(
        LocalizationManager::languageChangedNotification, [weak = QPointer<AppDelegate>(this)] {
            if (weak)
                weak->qtTranslations->setLanguage(LocalizationManager::shared().currentLanguage);
            if (weak)
                weak->retitleMainMenu();
            if (weak)
                weak->setupMenu();
            if (weak && weak->quotesWindow)
                weak->quotesWindow->setWindowTitle(
                    LocalizationManager::shared().localizedString(u"EditQuotesTitle"_s));
            if (weak)
                weak->displayController->resetDisplay();
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
        if (weak && weak->panelIndicator)
            weak->panelIndicator->setPaused(weak->displayController->isPaused());
        if (weak && weak->remoteControl)
            weak->remoteControl->announcePropertyChanges();
    };
    quoteManager->loadQuotes();
    quoteManager->startWatching();
    displayController->statusItem = statusItem.get();
    displayController->quotes = quoteManager->quotes;
    displayController->startDisplay();
    setupRemoteControl();
}

void AppDelegate::setupRemoteControl() {
    remoteControl = RemoteControl::publish(environment.bus, remoteActions(*this));
    if (!remoteControl)
        return;
    NotificationCenter::defaultCenter().addObserver(
        LocalizationManager::languageChangedNotification, [weak = QPointer<AppDelegate>(this)] {
            if (weak && weak->remoteControl)
                weak->remoteControl->announcePropertyChanges();
        });
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

void AppDelegate::showTrayIconBesidePanelIndicator() {
    if (!panelIndicator)
        return;
    // Qt's tray icon goes over D-Bus when it finds a watcher as it is made, and then shows
    // only where the item already shows: the item stands in for it for good. Otherwise it is
    // an X11 tray icon, for trays without a watcher, shown while no watcher holds the item.
    trayIconOverDBus = panelIndicator->item().isWatcherPresent();
    statusItem->setTrayIconShown(!trayIconOverDBus);
    // The label rests while the strip cannot be seen (a screen saver, a covering window).
    if (const VisibilityWatchFactory& watches = environment.timing.watchVisibility)
        stripVisibility = watches(statusItem->strip());
    if (stripVisibility) {
        panelIndicator->setOutOfSight(!stripVisibility->canBeSeen());
        connect(stripVisibility.get(), &VisibilityWatch::canBeSeenChanged, this,
                [this](bool seen) { panelIndicator->setOutOfSight(!seen); });
    }
}

void AppDelegate::setupPanelIndicator() {
    if (!environment.bus.isConnected())
        return;
    panelIndicator =
        std::make_unique<PanelIndicator>(environment.bus, LabelSettings::read(programSettings()));
    StatusNotifierItem& item = panelIndicator->item();
    if (!item.isExported()) {
        panelIndicator.reset();
        return;
    }
    // The tray icon stands in while no panel shows the item.
    connect(&item, &StatusNotifierItem::registeredChanged, this, [this](bool registered) {
        if (statusItem)
            statusItem->setTrayIconShown(!registered && !trayIconOverDBus);
    });
    auto popUp = [this](QPoint position) {
        if (statusItem && statusItem->menu())
            statusItem->menu()->popup(position);
    };
    connect(&item, &StatusNotifierItem::activated, this, popUp);
    connect(&item, &StatusNotifierItem::contextMenuRequested, this, popUp);
    connect(&item, &StatusNotifierItem::secondaryActivated, this,
            [this] { displayController->setPaused(!displayController->isPaused()); });
    displayController->onDisplayReset = [this] {
        panelIndicator->show(displayController->segments(),
                             LocalizationManager::shared().localizedString(u"NoQuotes"_s));
    };
}

void AppDelegate::setupMainMenu() {
    // On Linux there is no global menu bar: the editor window shows these menus as its own.
    mainMenuBar = std::make_unique<QMenu>();
    mainMenuBar->addMenu(new QMenu(mainMenuBar.get()));
    auto* edit = new QMenu(mainMenuBar.get());
    edit->setObjectName(u"Edit"_s);
    // Each item keeps its string key as its object name, for the titles in every language.
    auto addCommand = [edit](const QString& key, const QKeySequence& shortcut, const char* slot) {
        QAction* item = edit->addAction(key);
        item->setObjectName(key);
        item->setShortcut(shortcut);
        item->setShortcutVisibleInContextMenu(true);
        QObject::connect(item, &QAction::triggered, item, [slot] { sendToFocusedWidget(slot); });
    };
    addCommand(u"Undo"_s, QKeySequence(Qt::CTRL | Qt::Key_Z), "undo()");
    addCommand(u"Redo"_s, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), "redo()");
    edit->addSeparator();
    addCommand(u"Cut"_s, QKeySequence(Qt::CTRL | Qt::Key_X), "cut()");
    addCommand(u"Copy"_s, QKeySequence(Qt::CTRL | Qt::Key_C), "copy()");
    addCommand(u"Paste"_s, QKeySequence(Qt::CTRL | Qt::Key_V), "paste()");
    addCommand(u"SelectAll"_s, QKeySequence(Qt::CTRL | Qt::Key_A), "selectAll()");
    mainMenuBar->addMenu(edit);
    retitleMainMenu();
}

void AppDelegate::retitleMainMenu() {
    if (!mainMenuBar)
        return;
    const LocalizationManager& loc = LocalizationManager::shared();
    for (QAction* item : mainMenuBar->actions()) {
        QMenu* submenu = item->menu();
        if (!submenu || submenu->objectName().isEmpty())
            continue;
        submenu->setTitle(loc.localizedString(submenu->objectName()));
        for (QAction* command : submenu->actions()) {
            if (!command->objectName().isEmpty())
                command->setText(loc.localizedString(command->objectName()));
        }
    }
}

void AppDelegate::setupMenu() {
    if (!statusItem)
        return;
    statusMenuDescription = describeStatusMenu();
    statusItem->setMenu(makeMenu(statusMenuDescription));
    if (exporter)
        exporter->setMenu(statusMenuDescription);
}

MenuDescription AppDelegate::describeStatusMenu() {
    const LocalizationManager& loc = LocalizationManager::shared();
    MenuDescription menu;
    menu.add(MenuEntry::item(
        loc.localizedString(u"EditQuotes"_s), [this] { openQuotesUI(); },
        QKeySequence(Qt::CTRL | Qt::Key_E)));
    menu.add(MenuEntry::item(
        loc.localizedString(u"ReloadQuotes"_s), [this] { reloadQuotes(); },
        QKeySequence(Qt::CTRL | Qt::Key_R)));
    MenuEntry launchAtLogin =
        MenuEntry::item(loc.localizedString(u"LaunchAtLogin"_s), [this] { toggleLaunchAtLogin(); });
    launchAtLogin.checkable = true;
    launchAtLogin.checked = environment.loginItems->status() == LoginItemStatus::enabled;
    launchAtLoginId = menu.add(std::move(launchAtLogin));
    menu.add(MenuEntry::separator());

    MenuEntry languages = MenuEntry::submenu(loc.localizedString(u"Language"_s));
    for (const AppLanguage language : AppLanguages::allCases) {
        static const QHash<AppLanguage, QString> names = {
            {AppLanguage::english, u"English"_s},
            {AppLanguage::vietnamese, u"Tiếng Việt"_s},
            {AppLanguage::chinese, u"中文"_s},
        };
        const QString rawValue = AppLanguages::rawValue(language);
        MenuEntry item = MenuEntry::item(names.value(language),
                                         [this, rawValue] { changeLanguage(QVariant(rawValue)); });
        item.data = rawValue;
        item.checkable = true;
        item.exclusive = true;
        item.checked = language == loc.currentLanguage.get();
        languages.children.push_back(std::move(item));
    }
    menu.add(std::move(languages));
    if (std::optional<MenuEntry> screens = describeScreenMenu())
        menu.add(std::move(*screens));
    menu.add(MenuEntry::separator());
    menu.add(MenuEntry::item(
        loc.localizedString(u"Quit"_s), [] { QCoreApplication::exit(0); },
        QKeySequence(Qt::CTRL | Qt::Key_Q)));
    return menu;
}

std::optional<MenuEntry> AppDelegate::describeScreenMenu() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2)
        return std::nullopt;
    const LocalizationManager& loc = LocalizationManager::shared();
    // A chosen screen that is not there now counts as the automatic choice.
    QString chosen = statusItem->preferredScreen();
    if (std::none_of(screens.cbegin(), screens.cend(),
                     [&chosen](const QScreen* screen) { return screen->name() == chosen; }))
        chosen.clear();
    MenuEntry submenu = MenuEntry::submenu(loc.localizedString(u"Screen"_s));
    auto addChoice = [this, &submenu, &chosen](const QString& title, const QString& name) {
        MenuEntry item = MenuEntry::item(title, [this, name] { changeScreen(QVariant(name)); });
        item.data = name;
        item.checkable = true;
        item.exclusive = true;
        item.checked = chosen == name;
        submenu.children.push_back(std::move(item));
    };
    addChoice(loc.localizedString(u"ScreenAutomatic"_s), QString());
    submenu.children.push_back(MenuEntry::separator());
    for (const QScreen* screen : screens) {
        const QString model = screen->model().trimmed();
        addChoice(model.isEmpty() ? screen->name() : screen->name() + u" (" + model + u')',
                  screen->name());
    }
    return submenu;
}

void AppDelegate::changeScreen(QAction* sender) {
    if (sender)
        changeScreen(sender->data());
}

void AppDelegate::changeScreen(const QVariant& choice) {
    if (!statusItem || choice.typeId() != QMetaType::QString)
        return;
    const QString name = choice.toString();
    QSettings settings = programSettings();
    if (name.isEmpty())
        settings.remove(screenKey);
    else
        settings.setValue(screenKey, name);
    statusItem->setPreferredScreen(name);
    setupMenu();
}

void AppDelegate::openQuotesUI() {
    if (!quotesWindow) {
        auto window = std::make_unique<QWidget>(
            nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
        window->setObjectName(u"quotesWindow"_s);
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        auto* menuBar = new QMenuBar(window.get());
        for (QAction* item : mainMenuBar->actions()) {
            // The untitled application menu has no place in a window's menu bar.
            if (item->menu() && !item->menu()->title().isEmpty())
                menuBar->addMenu(item->menu());
        }
        layout->setMenuBar(menuBar);
        layout->addWidget(
            new QuotesView(*quoteManager, LocalizationManager::shared(), window.get()));
        window->setWindowTitle(LocalizationManager::shared().localizedString(u"EditQuotesTitle"_s));
        layout->activate();
        window->adjustSize();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
        quotesWindow = std::move(window);
    }
    quotesWindow->show();
    quotesWindow->raise();
    quotesWindow->activateWindow();
}

void AppDelegate::reloadQuotes() {
    quoteManager->loadQuotes();
    displayController->quotes = quoteManager->quotes;
    displayController->resetDisplay();
}

void AppDelegate::changeLanguage(QAction* sender) {
    if (sender)
        changeLanguage(sender->data());
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
            showLaunchAtLogin(false);
            return;
        }
    } else if (service.registerApp(&error)) {
        showLaunchAtLogin(true);
        return;
    }
    printLine(u"Failed to toggle launch at login: "_s + error);
}

void AppDelegate::showLaunchAtLogin(bool enabled) {
    // The one change made in place: the menu is otherwise only ever replaced whole.
    MenuEntry* entry = statusMenuDescription.find(launchAtLoginId);
    if (!entry)
        return;
    entry->checked = enabled;
    if (QAction* item = statusItem ? findMenuItem(statusItem->menu(), launchAtLoginId) : nullptr)
        item->setChecked(enabled);
    if (exporter)
        exporter->updateEntry(*entry);
}
