#include "LiveSettings.h"

#include "DisplayController.h"
#include "Localization.h"
#include "NotificationCenter.h"
#include "PanelIndicator.h"
#include "Preferences.h"
#include "StatusItem.h"
#include "StripPresence.h"

#include <algorithm>
#include <utility>

LiveSettings::LiveSettings(Preferences& preferences, Targets targets, QObject* parent)
    : QObject(parent)
    , preferences(preferences)
    , targets(std::move(targets)) {
    connect(&preferences, &Preferences::changed, this, &LiveSettings::apply);
    // A language chosen in the menu is written by the language manager; read it back, so that
    // the settings tell the language shown.
    NotificationCenter::defaultCenter().addObserver(
        LocalizationManager::languageChangedNotification, [weak = QPointer<LiveSettings>(this)] {
            if (weak)
                weak->preferences.reload();
        });
    // The screen first, so that the strip is placed once on it; no menu is there to mark it.
    const std::function<void()> screenChanged = std::exchange(this->targets.screenChanged, {});
    for (const QString& name : {SettingKeys::screen, SettingKeys::stripWidth,
                                SettingKeys::stripAlign, SettingKeys::stripSpeed,
                                SettingKeys::order, SettingKeys::label, SettingKeys::appLanguage})
        apply(name);
    this->targets.screenChanged = screenChanged;
}

int LiveSettings::stripHeight(int fontPixelSize) {
    return std::max(StatusItem::barHeight, fontPixelSize + 10);
}

void LiveSettings::apply(const QString& name) {
    using namespace SettingKeys;
    if (name == stripWidth || name == stripFontSize) {
        if (targets.statusItem)
            targets.statusItem->setSize(preferences.stripWidth(),
                                        stripHeight(preferences.stripFontSize()));
    }
    if (name == stripAlign && targets.statusItem)
        targets.statusItem->setAlignment(preferences.stripAlignment());
    if (name == screen && targets.statusItem) {
        targets.statusItem->setPreferredScreen(preferences.screen());
        if (targets.screenChanged)
            targets.screenChanged();
    }
    if (name == stripSpeed || name == stripFontSize || name == pauseOnHover) {
        if (targets.display)
            targets.display->setMarqueeStyle({double(preferences.stripSpeed()),
                                              preferences.stripFontSize(),
                                              preferences.pausesOnHover()});
    }
    if (name == order && targets.display)
        targets.display->setOrder(preferences.order());
    if ((name == label || name == labelColumns || name == labelInterval) && targets.panelIndicator)
        targets.panelIndicator->setSettings(preferences.label());
    if (name == label && targets.stripPresence)
        targets.stripPresence->setLabelShown(preferences.label().mode != LabelMode::off);
    if (name == strip && targets.stripPresence)
        targets.stripPresence->setSetting(StripChoice::setting(preferences.strip()));
    if (name == appLanguage) {
        LocalizationManager& localization = LocalizationManager::shared();
        // The manager writes what it is given: only a change is given.
        if (localization.currentLanguage.get() != preferences.language())
            localization.currentLanguage = preferences.language();
    }
}
