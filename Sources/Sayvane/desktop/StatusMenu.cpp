#include "StatusMenu.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

MenuEntry describeScreens(const StatusMenu::State& state, const StatusMenu::Actions& actions) {
    const LocalizationManager& loc = LocalizationManager::shared();
    // A chosen screen that is not there now counts as the automatic choice.
    QString chosen = state.chosenScreen;
    if (std::none_of(state.screens.cbegin(), state.screens.cend(),
                     [&chosen](const StatusMenu::Screen& screen) { return screen.name == chosen; }))
        chosen.clear();
    MenuEntry submenu = MenuEntry::submenu(loc.localizedString(u"Screen"_s));
    auto addChoice = [&actions, &submenu, &chosen](const QString& title, const QString& name) {
        MenuEntry item = MenuEntry::item(title, [change = actions.changeScreen, name] {
            if (change)
                change(name);
        });
        item.data = name;
        item.checkable = true;
        item.exclusive = true;
        item.checked = chosen == name;
        submenu.children.push_back(std::move(item));
    };
    addChoice(loc.localizedString(u"ScreenAutomatic"_s), QString());
    submenu.children.push_back(MenuEntry::separator());
    for (const StatusMenu::Screen& screen : state.screens)
        addChoice(screen.title, screen.name);
    return submenu;
}

} // namespace

StatusMenu StatusMenu::describe(const State& state, const Actions& actions) {
    const LocalizationManager& loc = LocalizationManager::shared();
    StatusMenu menu;
    MenuDescription& description = menu.description;
    description.add(MenuEntry::item(loc.localizedString(u"EditQuotes"_s), actions.editQuotes,
                                    QKeySequence(Qt::CTRL | Qt::Key_E)));
    description.add(
        MenuEntry::item(loc.localizedString(u"OpenQuotesFile"_s), actions.openQuotesFile));
    description.add(MenuEntry::item(loc.localizedString(u"ReloadQuotes"_s), actions.reloadQuotes,
                                    QKeySequence(Qt::CTRL | Qt::Key_R)));
    MenuEntry pause = MenuEntry::item(loc.localizedString(u"Pause"_s), actions.togglePause);
    pause.checkable = true;
    pause.checked = state.paused;
    menu.pauseId = description.add(std::move(pause));
    MenuEntry launchAtLogin =
        MenuEntry::item(loc.localizedString(u"LaunchAtLogin"_s), actions.toggleLaunchAtLogin);
    launchAtLogin.checkable = true;
    launchAtLogin.checked = state.launchAtLogin;
    menu.launchAtLoginId = description.add(std::move(launchAtLogin));
    description.add(MenuEntry::item(loc.localizedString(u"Preferences"_s), actions.openPreferences,
                                    QKeySequence(Qt::CTRL | Qt::Key_Comma)));
    description.add(MenuEntry::separator());

    MenuEntry languages = MenuEntry::submenu(loc.localizedString(u"Language"_s));
    for (const AppLanguage language : AppLanguages::allCases) {
        static const QHash<AppLanguage, QString> names = {
            {AppLanguage::english, u"English"_s},
            {AppLanguage::vietnamese, u"Tiếng Việt"_s},
            {AppLanguage::chinese, u"中文"_s},
        };
        const QString rawValue = AppLanguages::rawValue(language);
        MenuEntry item =
            MenuEntry::item(names.value(language), [change = actions.changeLanguage, rawValue] {
                if (change)
                    change(rawValue);
            });
        item.data = rawValue;
        item.checkable = true;
        item.exclusive = true;
        item.checked = language == state.language;
        languages.children.push_back(std::move(item));
    }
    description.add(std::move(languages));
    if (state.screens.size() >= 2)
        description.add(describeScreens(state, actions));
    description.add(MenuEntry::separator());
    description.add(MenuEntry::item(loc.localizedString(u"AboutSayvane"_s), actions.about));
    description.add(MenuEntry::item(loc.localizedString(u"Quit"_s), actions.quit,
                                    QKeySequence(Qt::CTRL | Qt::Key_Q)));
    return menu;
}

QList<StatusMenu::Screen> StatusMenu::screensNow() {
    QList<Screen> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QString model = screen->model().trimmed();
        screens.append({screen->name(),
                        model.isEmpty() ? screen->name() : screen->name() + u" (" + model + u')'});
    }
    return screens;
}
