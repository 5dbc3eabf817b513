#include "QuoteImport.h"

#include "QuotesView.h"

#include <QSet>
#include <QString>

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
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
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
