#include "QuoteAddition.h"

#include "QuoteImport.h"
#include "QuoteManager.h"
#include "QuoteText.h"

QuoteAddition addQuotes(QuoteManager& manager, const QStringList& quotes) {
    QStringList trimmed;
    trimmed.reserve(quotes.size());
    for (const QString& quote : quotes) {
        trimmed.append(trimmedWhitespaceAndNewlines(quote));
        if (trimmed.last().isEmpty())
            return {QuoteAddition::Outcome::blank, 0};
    }
    auto list = manager.storedQuotes();
    if (!list)
        return {QuoteAddition::Outcome::notLoaded, 0};
    const qsizetype added = QuoteImport::merge(*list, trimmed);
    if (added == 0)
        return {QuoteAddition::Outcome::added, 0};
    const QStringList before = manager.quotes;
    manager.quotes = std::move(*list);
    manager.saveQuotes();
    // A save that went through has made the list the saved one.
    if (manager.hasUnsavedEdits()) {
        manager.quotes = before;
        return {QuoteAddition::Outcome::notSaved, 0};
    }
    return {QuoteAddition::Outcome::added, added};
}
