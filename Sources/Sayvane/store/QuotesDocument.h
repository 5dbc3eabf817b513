#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <optional>

// The JSON document of the quotes file: an object whose member "quotes" is an array of strings.
namespace QuotesDocument {

// A member of the object other than "quotes".
struct Member {
    QString name;
    QStringList values;
    friend bool operator==(const Member&, const Member&) = default;
};

struct Content {
    // False for a valid document without the member "quotes".
    bool hasQuotes = false;
    QStringList quotes;
    // The other members in the file's order, and where "quotes" stands among them (its index in
    // the file once they are written around it), so that a save can keep them as they are.
    QList<Member> others;
    qsizetype quotesPosition = -1;
    // Some member name occurs more than once. Such a member stands at its first place with its
    // last value.
    bool hasRepeatedNames = false;
};

// Decodes strictly by RFC 8259 and by the reader's model: the top level is an object and every
// member, not only "quotes", is an array whose elements are all strings. A member that occurs
// twice counts with its last value. On failure, error tells a person what is wrong and where.
//
// A well-formed document is read by simdjson, many times faster than the strict reader below;
// anything simdjson turns down goes to the strict reader, which has the last word and says
// what is wrong and where. The fuzzer checks that the two agree.
std::optional<Content> decode(QByteArrayView bytes, QString* error);

// The two readers on their own. decodeFast gives nothing for whatever it does not accept, and
// says nothing about why; decodeStrict is nlohmann's SAX parser, checking the model as it reads.
std::optional<Content> decodeFast(QByteArrayView bytes);
std::optional<Content> decodeStrict(QByteArrayView bytes, QString* error);

// The pretty-printed document with the one member "quotes": indented by depth, a forward slash
// written as "\/", text other than ASCII written as UTF-8. With others, those members are
// written in their order around "quotes", which stands at quotesPosition (at the end when that
// is out of range).
QByteArray encode(const QStringList& quotes, const QList<Member>& others = {},
                  qsizetype quotesPosition = -1);

} // namespace QuotesDocument
