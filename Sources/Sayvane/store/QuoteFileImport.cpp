#include "QuoteFileImport.h"

#include "Console.h"
#include "QuoteImport.h"
#include "QuoteManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QuoteFileImport failure(const QString& error) {
    printLine(u"Could not import quotes: "_s + error);
    return {false, 0, error};
}

} // namespace

QuoteFileImport importQuotesFile(QuoteManager& manager, const QString& path) {
    QString error;
    const auto found = QuoteImport::readFile(path, &error);
    if (!found)
        return failure(error);

    // Added to the file as it is now, leaving out quotes already there, in one save.
    const QuoteManager::Addition addition = manager.addQuotes(*found);
    if (addition.outcome != QuoteManager::Addition::Outcome::added)
        return failure(
            addition.outcome == QuoteManager::Addition::Outcome::notLoaded
                ? u"%1 could not be loaded, so that it stays as it is"_s.arg(
                      QDir::toNativeSeparators(manager.quotesFileURL))
                : u"%1 could not be saved"_s.arg(QDir::toNativeSeparators(manager.quotesFileURL)));
    const qsizetype added = addition.added;
    printLine(u"Imported %1 %2 from %3"_s.arg(QString::number(added),
                                              added == 1 ? u"quote"_s : u"quotes"_s,
                                              QDir::toNativeSeparators(path)));
    return {true, added, {}};
}

QString installedQuotesFolder() {
    const QString folder =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + u"/../share/sayvane/quotes"_s);
    return QFileInfo(folder).isDir() ? folder : QString();
}
