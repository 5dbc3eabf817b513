#include "QuoteFileImport.h"

#include "Console.h"
#include "Files.h"
#include "QuoteImport.h"
#include "QuoteManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {

QuoteFileImport failure(const QString& error) {
    printLine(u"Could not import quotes: "_s + error);
    return {false, 0, error};
}

} // namespace

QuoteFileImport importQuotesFile(QuoteManager& manager, const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (info.isFile() && info.size() > largestQuotesFileToImport)
        return failure(u"%1 is too large for a file of quotes (%2 MiB; at most %3 MiB)"_s.arg(
            shown, QString::number(info.size() / (1024 * 1024)),
            QString::number(largestQuotesFileToImport / (1024 * 1024))));

    QString error;
    const auto bytes = Files::read(path, &error);
    if (!bytes)
        return failure(error);
    // A picture or an archive chosen by mistake would otherwise come in as lines of noise.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(*bytes);
    if (utf8.hasError() || text.contains(QChar(u'\0')))
        return failure(u"%1 is not UTF-8 text"_s.arg(shown));

    QStringList list = manager.quotes;
    const qsizetype added = QuoteImport::merge(list, QuoteImport::parse(*bytes));
    if (added > 0) {
        manager.quotes = std::move(list);
        manager.saveQuotes();
    }
    printLine(u"Imported %1 %2 from %3"_s.arg(QString::number(added),
                                              added == 1 ? u"quote"_s : u"quotes"_s, shown));
    return {true, added, {}};
}

QString installedQuotesFolder() {
    const QString folder =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + u"/../share/sayvane/quotes"_s);
    return QFileInfo(folder).isDir() ? folder : QString();
}
