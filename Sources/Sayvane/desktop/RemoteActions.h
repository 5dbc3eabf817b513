#pragma once

#include "RemoteControl.h"

#include <functional>

class DisplayController;
class Preferences;
class QuoteManager;

// What the calls of the program's D-Bus interface act on: the quote store, the display, and
// what the status menu's items do. The owner of the remote control outlives the actions.
struct RemoteActionTargets {
    QuoteManager& quoteManager;
    DisplayController& displayController;
    std::function<void()> editQuotes;
    std::function<void()> reloadQuotes;
    // The quote the user sees passing, where that is not the strip's (the strip kept away, the
    // label in the panel); none: the strip's.
    std::function<QString()> currentQuote = {};
    // The settings offered as properties; none when null.
    Preferences* preferences = nullptr;
};

// What the calls of the program's D-Bus interface do in the running program: the same as the
// status menu's items and the editor.
RemoteControl::Actions remoteActions(const RemoteActionTargets& targets);
