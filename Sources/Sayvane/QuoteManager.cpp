#include "QuoteManager.h"

#include "Console.h"
#include "Files.h"
#include "MainQueue.h"
#include "QuotesDocument.h"

#include <QFileInfo>
#include <QPointer>

using namespace Qt::StringLiterals;

const QStringList QuoteManager::defaultQuotes = {
    u"Stay foolish, stay hungry."_s,
    u"This is a much longer quote that will slide across the menu bar because it exceeds the "
    "character threshold."_s,
    u"Simplicity is the ultimate sophistication."_s,
};
const QString QuoteManager::noQuotesPlaceholder = u"No quotes found. Add some!"_s;
const QString QuoteManager::loadErrorPlaceholder = u"Error loading quotes file"_s;

namespace {

QString prepareQuotesFolder(const QString& homeFolder) {
    const QString folder = QDir(homeFolder).filePath(u".config/Sayvane"_s);
    // A failure shows later, as failures to write and read the file.
    if (!Files::exists(folder))
        Files::makeFolder(folder);
    return folder;
}

} // namespace

QuoteManager::QuoteManager(const QString& homeFolder)
    : quotesFileURL(QDir(prepareQuotesFolder(homeFolder)).filePath(u"quotes.json"_s)) {}

std::optional<QStringList> QuoteManager::listFromFile(QByteArrayView bytes, QString* error) {
    auto content = QuotesDocument::decode(bytes, error);
    if (!content)
        return QStringList{loadErrorPlaceholder};
    if (!content->hasQuotes)
        return std::nullopt;
    if (content->quotes.isEmpty())
        return QStringList{noQuotesPlaceholder};
    return std::move(content->quotes);
}

void QuoteManager::loadQuotes() {
    if (!Files::exists(quotesFileURL))
        createDefaultQuotes();

    QString error;
    std::optional<QStringList> list;
    if (const auto bytes = Files::read(quotesFileURL, &error)) {
        list = listFromFile(*bytes, &error);
        if (!error.isEmpty())
            error =
                u"%1 cannot be loaded: %2"_s.arg(QDir::toNativeSeparators(quotesFileURL), error);
    } else {
        list = QStringList{loadErrorPlaceholder};
    }
    if (!error.isEmpty()) {
        printLine(u"Failed to load quotes: "_s + error);
        keepFailedFileBeforeSave = QFileInfo(quotesFileURL).isFile();
    } else {
        keepFailedFileBeforeSave = false;
    }
    if (list)
        deliver(std::move(*list));
}

void QuoteManager::saveQuotes() {
    const QByteArray document = QuotesDocument::encode(quotes);
    QString error;
    if (keepFailedFileBeforeSave && QFileInfo(quotesFileURL).isFile()) {
        const auto copy = Files::keepCopyBeside(quotesFileURL, u"broken"_s, &error);
        if (!copy) {
            printLine(u"Could not save quotes: "_s + error);
            return;
        }
        keepFailedFileBeforeSave = false;
        printLine(u"The quotes file that could not be loaded was kept as %1"_s.arg(
            QDir::toNativeSeparators(*copy)));
    }
    if (!Files::writeAtomically(quotesFileURL, document, &error)) {
        printLine(u"Could not save quotes: "_s + error);
        return;
    }
    // The manager is owned elsewhere; a work item that outlives it does nothing.
    MainQueue::async([manager = QPointer(this)] {
        if (manager && manager->onQuotesChanged)
            manager->onQuotesChanged();
    });
}

void QuoteManager::createDefaultQuotes() {
    QString error;
    if (!Files::writeAtomically(quotesFileURL, QuotesDocument::encode(defaultQuotes), &error))
        printLine(u"Could not create default quotes: "_s + error);
}

void QuoteManager::deliver(QStringList list) {
    MainQueue::async([manager = QPointer(this), list = std::move(list)]() mutable {
        if (!manager)
            return;
        manager->quotes = std::move(list);
        if (manager->onQuotesChanged)
            manager->onQuotesChanged();
    });
}
