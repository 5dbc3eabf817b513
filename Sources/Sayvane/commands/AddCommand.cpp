#include "AddCommand.h"

#include "CommandOutput.h"
#include "CommandStore.h"
#include "QuoteManager.h"
#include "QuoteText.h"

using namespace Qt::StringLiterals;
using namespace CommandOutput;

namespace AddCommand {

int run(const QString& text) {
    const QString quote = trimmedWhitespaceAndNewlines(text);
    if (quote.isEmpty())
        return notUnderstood(u"the quote to add is blank."_s);
    QuoteManager manager;
    auto quotes = CommandStore::loadStoredList(manager);
    if (!quotes) {
        printError(u"Nothing was added, so that the file stays as it is."_s);
        return failed;
    }
    quotes->append(quote);
    return CommandStore::save(manager, *quotes) ? done : failed;
}

} // namespace AddCommand
