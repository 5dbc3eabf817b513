#include "ImportCommand.h"

#include "CommandOutput.h"
#include "QuoteImport.h"
#include "QuoteManager.h"

using namespace Qt::StringLiterals;
using namespace CommandOutput;

namespace ImportCommand {

int run(const QString& path) {
    QString error;
    const auto found = QuoteImport::readFile(path, &error);
    if (!found) {
        printError(u"Could not import quotes: "_s + error);
        return failed;
    }
    // Added to the file as it is now, leaving out quotes already there, in one transaction.
    QuoteManager manager;
    const QuoteManager::Addition addition = manager.addQuotes(*found);
    if (addition.outcome == QuoteManager::Addition::Outcome::notLoaded) {
        printError(u"Nothing was imported, so that the file stays as it is."_s);
        return failed;
    }
    if (addition.outcome == QuoteManager::Addition::Outcome::failed)
        return failed;
    const qsizetype added = addition.added;
    const qsizetype skipped = found->size() - added;
    QString message = added == 1 ? u"Added 1 quote"_s : u"Added %1 quotes"_s.arg(added);
    if (skipped > 0)
        message += u" (%1 already in the list)"_s.arg(skipped);
    printOut(message + u'.');
    return done;
}

} // namespace ImportCommand
