#include "QuoteAddition.h"

#include "QuoteManager.h"
#include "QuoteText.h"

namespace {

QuoteAddition answerFor(const QuoteManager::Addition& addition) {
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

// The quotes trimmed, or nothing when one of them is blank.
std::optional<QStringList> trimmedQuotes(const QStringList& quotes) {
    QStringList trimmed;
    trimmed.reserve(quotes.size());
    for (const QString& quote : quotes) {
        trimmed.append(trimmedWhitespaceAndNewlines(quote));
        if (isBlankQuote(trimmed.last()))
            return std::nullopt;
    }
    return trimmed;
}

} // namespace

QuoteAddition addQuotes(QuoteManager& manager, const QStringList& quotes) {
    const auto trimmed = trimmedQuotes(quotes);
    if (!trimmed)
        return {QuoteAddition::Outcome::blank, 0};
    return answerFor(manager.addQuotes(*trimmed));
}

void addQuotesSoon(QuoteManager& manager, const QStringList& quotes,
                   std::function<void(QuoteAddition)> answer) {
    const auto trimmed = trimmedQuotes(quotes);
    if (!trimmed) {
        answer({QuoteAddition::Outcome::blank, 0});
        return;
    }
    manager.addQuotesSoon(*trimmed, [answer = std::move(answer)](QuoteManager::Addition addition) {
        answer(answerFor(addition));
    });
}
