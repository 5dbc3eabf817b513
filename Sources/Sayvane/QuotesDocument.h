#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <optional>

// The JSON document of the quotes file: an object whose member "quotes" is an array of strings.
namespace QuotesDocument {

struct Content {
    // False for a valid document without the member "quotes".
    bool hasQuotes = false;
    QStringList quotes;
};

// Decodes strictly by RFC 8259 and by the reader's model: the top level is an object and every
// member, not only "quotes", is an array whose elements are all strings. A member that occurs
// twice counts with its last value. On failure, error tells a person what is wrong and where.
std::optional<Content> decode(QByteArrayView bytes, QString* error);

// The pretty-printed document with the one member "quotes": indented by depth, a forward slash
// written as "\/", text other than ASCII written as UTF-8.
QByteArray encode(const QStringList& quotes);

} // namespace QuotesDocument
