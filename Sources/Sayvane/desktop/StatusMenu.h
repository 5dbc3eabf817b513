#pragma once

#include "Localization.h"
#include "MenuDescription.h"

#include <QList>
#include <QString>

#include <functional>

// The status menu, described once in the current language: the editor, a reload, launch at
// login, the Preferences, the languages, the screens (when there is more than one) and Quit. The
// strip's QMenu, the tray's and the menu exported over D-Bus are all views of this description.
struct StatusMenu {
    // What the items do.
    struct Actions {
        std::function<void()> editQuotes;
        std::function<void()> reloadQuotes;
        std::function<void()> toggleLaunchAtLogin;
        std::function<void()> openPreferences;
        std::function<void(const QString& rawValue)> changeLanguage;
        // An empty name lets the strip choose its screen.
        std::function<void(const QString& name)> changeScreen;
        std::function<void()> quit;
    };
    // A screen the strip may go on: its name, and a title with its model.
    struct Screen {
        QString name;
        QString title;
    };
    // What the items show.
    struct State {
        bool launchAtLogin = false;
        AppLanguage language = AppLanguage::english;
        QList<Screen> screens;
        // The screen chosen; empty for the automatic choice.
        QString chosenScreen;
    };

    // The description, and the id of the item that the launch-at-login toggle updates in place.
    MenuDescription description;
    int launchAtLoginId = -1;

    static StatusMenu describe(const State& state, const Actions& actions);
    // The screens as Qt knows them now.
    static QList<Screen> screensNow();
};
