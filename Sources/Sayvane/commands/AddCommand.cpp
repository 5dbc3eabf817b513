#include "AddCommand.h"

#include "CommandOutput.h"
#include "QuoteManager.h"
#include "QuoteText.h"

using namespace Qt::StringLiterals;
using namespace CommandOutput;

namespace AddCommand {

int run(const QString& text) {
    const QString quote = trimmedWhitespaceAndNewlines(text);
    if (isBlankQuote(quote))
        return notUnderstood(u"the quote to add is blank."_s);
    // Added to the file as it is now, in one transaction with every other writer's turn.
    QuoteManager manager;
    const QuoteManager::Addition addition = manager.addQuotes({quote});
    switch (addition.outcome) {
    case QuoteManager::Addition::Outcome::added:
        if (addition.added == 0)
            printOut(u"The quote is in the list already."_s);
        return done;
    case QuoteManager::Addition::Outcome::notLoaded:
        printError(u"Nothing was added, so that the file stays as it is."_s);
        return failed;
    case QuoteManager::Addition::Outcome::failed:
        break;
    }
    return failed;
}

} // namespace AddCommand
