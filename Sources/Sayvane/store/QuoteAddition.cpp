#include "QuoteAddition.h"

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
    const QuoteManager::Addition addition = manager.addQuotes(trimmed);
    switch (addition.outcome) {
    case QuoteManager::Addition::Outcome::added:
        break;
    case QuoteManager::Addition::Outcome::notLoaded:
        return {QuoteAddition::Outcome::notLoaded, 0};
    case QuoteManager::Addition::Outcome::failed:
        return {QuoteAddition::Outcome::notSaved, 0};
    }
    return {QuoteAddition::Outcome::added, addition.added};
}
