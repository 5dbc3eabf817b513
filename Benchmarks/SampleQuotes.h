#pragma once

#include <QStringList>

// count quotes made of the phrases in turn, each numbered so that no two are alike.
inline QStringList numberedQuotes(const QStringList& phrases, int count) {
    QStringList quotes;
    quotes.reserve(count);
    for (int i = 0; i < count; ++i)
        quotes << QStringLiteral("%1 (#%2)").arg(phrases[i % phrases.size()]).arg(i);
    return quotes;
}
