#include "QuoteImport.h"

#include "Files.h"
#include "QuoteText.h"
#include "QuotesDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QString>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace QuoteImport {

namespace {

bool isSeparator(QStringView line) {
    if (line.endsWith(u'\r'))
        line.chop(1);
    return line == u"%";
}

} // namespace

QStringList parse(QByteArrayView bytes) {
    // A quotes file (a copy kept beside quotes.json, say) gives its quotes, not its JSON lines.
    QString ignored;
    if (const auto document = QuotesDocument::decode(bytes, &ignored);
        document && document->hasQuotes) {
        QStringList quotes;
        for (const QString& quote : document->quotes) {
            if (QString trimmed = trimmedWhitespaceAndNewlines(quote); !trimmed.isEmpty())
                quotes.append(std::move(trimmed));
        }
        return quotes;
    }
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    // Lines end in LF, CR LF, or a lone CR (old Mac files).
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    const bool fortune = std::any_of(lines.begin(), lines.end(), isSeparator);

    QStringList quotes;
    auto take = [&quotes](const QString& entry) {
        QString quote = trimmedWhitespaceAndNewlines(entry);
        if (!quote.isEmpty())
            quotes.append(std::move(quote));
    };
    if (!fortune) {
        for (const QStringView line : lines)
            take(line.toString());
        return quotes;
    }
    QString entry;
    for (QStringView line : lines) {
        if (isSeparator(line)) {
            take(entry);
            entry.clear();
            continue;
        }
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!entry.isEmpty())
            entry += u'\n';
        entry += line;
    }
    take(entry);
    return quotes;
}

std::optional<QStringList> readFile(const QString& path, QString* error) {
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (info.isFile() && info.size() > largestFile) {
        *error = u"%1 is too large for a file of quotes (%2 bytes; at most %3 MiB)"_s.arg(
            shown, QString::number(info.size()), QString::number(largestFile / (1024 * 1024)));
        return std::nullopt;
    }
    const auto bytes = Files::read(path, error);
    if (!bytes)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(*bytes);
    if (utf8.hasError() || text.contains(QChar(u'\0'))) {
        *error = u"%1 is not UTF-8 text"_s.arg(shown);
        return std::nullopt;
    }
    return parse(*bytes);
}

qsizetype merge(QStringList& list, const QStringList& quotes) {
    QSet<QString> present(list.begin(), list.end());
    qsizetype added = 0;
    for (const QString& quote : quotes) {
        if (present.contains(quote))
            continue;
        present.insert(quote);
        list.append(quote);
        ++added;
    }
    return added;
}

} // namespace QuoteImport
