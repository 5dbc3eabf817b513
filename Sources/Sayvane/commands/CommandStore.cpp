#include "CommandStore.h"

#include "Console.h"
#include "Files.h"
#include "QuoteManager.h"
#include "QuotesFile.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace CommandStore {

std::optional<QStringList> readStoredList() {
    const QString path =
        QDir(QuoteManager::quotesFolder(Files::homeFolder())).filePath(u"quotes.json"_s);
    QuotesFile::Reading reading = QuotesFile::read(path);
    if (reading.missing)
        return QuoteManager::defaultQuotes;
    if (reading.quotes)
        return std::move(*reading.quotes);
    if (!reading.error.isEmpty()) {
        printLine(u"Failed to load quotes: "_s + reading.error);
        return std::nullopt;
    }
    return QStringList{};
}

} // namespace CommandStore
