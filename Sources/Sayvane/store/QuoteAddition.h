#pragma once

#include <QStringList>

#include <functional>

class QuoteManager;

// What came of adding quotes to the quote manager's list from outside the editor (a script or
// a keyboard shortcut, through the program's D-Bus interface).
struct QuoteAddition {
    enum class Outcome {
        // The new quotes are in the list and saved; `added` says how many (0 when every one was
        // there already, and then nothing was saved).
        added,
        // A quote was blank once trimmed; nothing was added.
        blank,
        // The quotes file could not be loaded: a save would replace it, so nothing was added.
        notLoaded,
        // The save did not go through (the line saying why is printed); the list is as before.
        notSaved,
    };
    Outcome outcome = Outcome::added;
    qsizetype added = 0;
};

// Trims each quote as the editor trims a new one and appends, in one change, those not in the
// list yet (nor earlier among them), in their order; then saves once, so that the editor, the
// strip and the file all have them. Refuses, changing nothing, when any quote is blank and when
// the list stands for a file that could not be loaded, as `sayvane --add` does.
QuoteAddition addQuotes(QuoteManager& manager, const QStringList& quotes);
// The same for a caller that can wait: additions that arrive together are saved in one
// transaction a few milliseconds later, and each caller is answered once its quotes are on disk.
void addQuotesSoon(QuoteManager& manager, const QStringList& quotes,
                   std::function<void(QuoteAddition)> answer);
