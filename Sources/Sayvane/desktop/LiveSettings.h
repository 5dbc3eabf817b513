#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class DisplayController;
class PanelIndicator;
class Preferences;
class StatusItem;
class StripPresence;

// Keeps the running program as its settings say, from the start and at every change, whoever
// made it (the Preferences window, a hand edit of the file, `sayvane --set`, D-Bus): whether the
// strip shows, its size, place on the top edge, screen, speed, text size and pause on hover, the
// order of the quotes, the label in the panel and the interface language.
class LiveSettings : public QObject {
    Q_OBJECT

public:
    struct Targets {
        StatusItem* statusItem = nullptr;
        DisplayController* display = nullptr;
        // Null where no panel hosts the program's item.
        PanelIndicator* panelIndicator = nullptr;
        // Decides whether the strip shows, from the "Strip" setting and the label among others.
        StripPresence* stripPresence = nullptr;
        // After the strip's screen changed: the menu marks the chosen one.
        std::function<void()> screenChanged;
    };

    // Applies every setting at once.
    LiveSettings(Preferences& preferences, Targets targets, QObject* parent = nullptr);

    // The strip's height for a text of that size: room for the text and its shadow, and never
    // lower than the strip has always been.
    static int stripHeight(int fontPixelSize);

private:
    void apply(const QString& name);

    Preferences& preferences;
    Targets targets;
};
