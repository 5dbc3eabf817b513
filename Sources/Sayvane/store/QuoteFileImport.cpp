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

    QStringList list = manager.quotes;
    const qsizetype added = QuoteImport::merge(list, *found);
    if (added > 0) {
        manager.quotes = std::move(list);
        manager.saveQuotes();
    }
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
