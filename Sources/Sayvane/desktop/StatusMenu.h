#pragma once

#include "Localization.h"
#include "MenuDescription.h"

#include <QList>
#include <QString>

#include <functional>

// The status menu, described once in the current language: the editor, the quotes file in the
// user's own application, a reload, the pause, launch at login, the Preferences, the languages,
// the screens (when there is more than one), About and Quit. The strip's QMenu, the tray's and
// the menu exported over D-Bus are all views of this description.
struct StatusMenu {
    // What the items do.
    struct Actions {
        std::function<void()> editQuotes;
        std::function<void()> openQuotesFile;
        std::function<void()> reloadQuotes;
        std::function<void()> togglePause;
        std::function<void()> toggleLaunchAtLogin;
        std::function<void()> openPreferences;
        std::function<void(const QString& rawValue)> changeLanguage;
        // An empty name lets the strip choose its screen.
        std::function<void(const QString& name)> changeScreen;
        std::function<void()> about;
        std::function<void()> quit;
    };
    // A screen the strip may go on: its name, and a title with its model.
    struct Screen {
        QString name;
        QString title;
    };
    // What the items show.
    struct State {
        bool paused = false;
        bool launchAtLogin = false;
        AppLanguage language = AppLanguage::english;
        QList<Screen> screens;
        // The screen chosen; empty for the automatic choice.
        QString chosenScreen;
    };

    // The description, and the ids of the items whose check mark changes in place: the pause and
    // launch at login.
    MenuDescription description;
    int pauseId = -1;
    int launchAtLoginId = -1;

    static StatusMenu describe(const State& state, const Actions& actions);
    // The screens as Qt knows them now.
    static QList<Screen> screensNow();
};
