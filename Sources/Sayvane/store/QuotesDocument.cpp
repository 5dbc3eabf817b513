#include "QuotesDocument.h"

#include <nlohmann/json.hpp>
#include <simdjson.h>

#include <QHash>
#include <QStringDecoder>

#include <string>
#include <string_view>
#include <vector>

using namespace Qt::StringLiterals;

namespace QuotesDocument {
namespace {

using Json = nlohmann::json;

// QString::fromUtf8 drops a byte order mark at the start of the bytes, but a quote (or a member
// name) may begin with U+FEFF and must come back with it. And it keeps room for as many UTF-16
// units as there were bytes: for quotes in Vietnamese or Chinese, a fifth to a half more than the
// text needs, for as long as the quote lives. So the text is decoded into a buffer kept for the
// next one, and each string takes just its size.
QString fromUtf8(std::string_view text) {
    thread_local QStringDecoder keepingMarks(QStringDecoder::Utf8,
                                             QStringDecoder::Flag::Stateless |
                                                 QStringDecoder::Flag::ConvertInitialBom);
    const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    if (bytes.size() > 4096) {
        // A long text's spare room is handed back whole.
        QString decoded = keepingMarks(bytes);
        decoded.squeeze();
        return decoded;
    }
    thread_local std::vector<QChar> buffer;
    buffer.resize(static_cast<size_t>(keepingMarks.requiredSpace(bytes.size())));
    const QChar* end = keepingMarks.appendToBuffer(buffer.data(), bytes);
    return QString(buffer.data(), end - buffer.data());
}

// A member named twice counts with its last value, at the place where it first stood.
void startQuotes(Content& content) {
    if (content.hasQuotes)
        content.hasRepeatedNames = true;
    else
        content.quotesPosition = content.others.size();
    content.hasQuotes = true;
    content.quotes.clear();
}

qsizetype startOther(Content& content, QHash<QString, qsizetype>& names, const QString& name) {
    if (const auto found = names.constFind(name); found != names.cend()) {
        content.hasRepeatedNames = true;
        content.others[found.value()].values.clear();
        return found.value();
    }
    names.insert(name, content.others.size());
    content.others.append(Member{name, {}});
    return content.others.size() - 1;
}

// Checks the reader's model while the parser reads, so that a wrong shape stops the parse at
// once and nesting never goes deeper than object, array, string.
class ModelReader {
public:
    std::optional<Content> content;
    QString error;

    bool null() { return wrongValue(u"null"_s); }
    bool boolean(bool) { return wrongValue(u"true or false"_s); }
    bool number_integer(Json::number_integer_t) { return wrongValue(u"a number"_s); }
    bool number_unsigned(Json::number_unsigned_t) { return wrongValue(u"a number"_s); }
    bool number_float(Json::number_float_t, const Json::string_t&) {
        return wrongValue(u"a number"_s);
    }
    bool binary(Json::binary_t&) { return wrongValue(u"binary data"_s); }

    bool string(Json::string_t& value) {
        if (depth != 2)
            return wrongValue(u"a string"_s);
        ++elementCount;
        if (inQuotes)
            found.quotes.append(fromUtf8(value));
        else
            found.others[otherIndex].values.append(fromUtf8(value));
        return true;
    }

    bool start_object(std::size_t) {
        if (depth != 0)
            return wrongValue(u"an object"_s);
        depth = 1;
        return true;
    }

    bool key(Json::string_t& name) {
        member = fromUtf8(name);
        inQuotes = name == "quotes";
        if (inQuotes)
            startQuotes(found);
        else
            otherIndex = startOther(found, names, member);
        return true;
    }

    bool end_object() {
        depth = 0;
        content = std::move(found);
        return true;
    }

    bool start_array(std::size_t) {
        if (depth != 1)
            return wrongValue(u"an array"_s);
        depth = 2;
        elementCount = 0;
        return true;
    }

    bool end_array() {
        depth = 1;
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& failure) {
        // A number too large for a double is valid JSON that the parser gives up on before it
        // reports the number; it is as wrong a value here as any other number.
        if (dynamic_cast<const nlohmann::detail::out_of_range*>(&failure))
            return wrongValue(u"a number"_s);
        error = u"it is not valid JSON: %1"_s.arg(describeSyntaxError(failure.what()));
        return false;
    }

private:
    bool wrongValue(const QString& what) {
        if (depth == 0)
            error = u"the top level is %1, not an object"_s.arg(what);
        else if (depth == 1)
            error = u"member \"%1\" is %2, not an array of strings"_s.arg(member, what);
        else
            error = u"item %1 of member \"%2\" is %3, not a string"_s.arg(elementCount + 1)
                        .arg(member, what);
        return false;
    }

    // nlohmann's text reads "[json.exception.parse_error.101] parse error at line 2, column 5:
    // syntax error while parsing value - ...; last read: '...'". Keep the position and the
    // reason; drop the tag, and the excerpt when it is long (it can hold a whole huge string).
    static QString describeSyntaxError(const char* what) {
        QString text = QString::fromUtf8(what);
        if (const auto at = text.indexOf(u"at line "_s); at >= 0)
            text = text.mid(at + 3);
        else if (text.startsWith(u"[json.exception."_s))
            text = text.mid(text.indexOf(u']') + 1).trimmed();
        if (const auto excerpt = text.indexOf(u"; last read: "_s);
            excerpt >= 0 && text.size() - excerpt > 80)
            text.truncate(excerpt);
        return text;
    }

    int depth = 0;
    QString member;
    bool inQuotes = false;
    qsizetype otherIndex = 0;
    QHash<QString, qsizetype> names;
    qsizetype elementCount = 0;
    Content found;
};

bool isBlank(QByteArrayView bytes) {
    for (char c : bytes) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    return true;
}

void appendEscaped(QByteArray& out, const QString& text) {
    static constexpr char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    out.append('"');
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '/':
            out.append("\\/");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (byte < 0x20) {
                const char escape[] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 0xF]};
                out.append(escape, sizeof escape);
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
}

} // namespace

std::optional<Content> decode(QByteArrayView bytes, QString* error) {
    if (auto content = decodeFast(bytes))
        return content;
    return decodeStrict(bytes, error);
}

std::optional<Content> decodeFast(QByteArrayView bytes) {
    // A leading byte order mark is ignored, as RFC 8259 allows and the strict reader does.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    // A parser of its own for each document, so that no buffers of a large file stay behind.
    simdjson::dom::parser parser;
    const simdjson::padded_string padded(bytes.data(), static_cast<size_t>(bytes.size()));
    simdjson::dom::object object;
    if (parser.parse(padded).get_object().get(object) != simdjson::SUCCESS)
        return std::nullopt;
    Content content;
    QHash<QString, qsizetype> names;
    for (const simdjson::dom::key_value_pair member : object) {
        simdjson::dom::array array;
        if (member.value.get_array().get(array) != simdjson::SUCCESS)
            return std::nullopt;
        const bool isQuotes = member.key == "quotes";
        QStringList* values = nullptr;
        if (isQuotes) {
            startQuotes(content);
            values = &content.quotes;
        } else {
            values = &content.others[startOther(content, names, fromUtf8(member.key))].values;
        }
        values->reserve(static_cast<qsizetype>(array.size()));
        for (const simdjson::dom::element element : array) {
            std::string_view text;
            if (element.get_string().get(text) != simdjson::SUCCESS)
                return std::nullopt;
            values->append(fromUtf8(text));
        }
    }
    return content;
}

std::optional<Content> decodeStrict(QByteArrayView bytes, QString* error) {
    if (isBlank(bytes)) {
        *error = bytes.isEmpty() ? u"the file is empty"_s : u"the file holds only blanks"_s;
        return std::nullopt;
    }
    // nlohmann's lexer takes a NUL byte for the end of the input, so that a document followed by
    // a NUL and anything at all would pass. A raw NUL is never valid JSON: outside a string it
    // is no token, inside one an unescaped control character.
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0) {
        const QByteArrayView before = bytes.first(nul);
        const qsizetype line = before.count('\n') + 1;
        const qsizetype column = nul - (before.lastIndexOf('\n') + 1) + 1;
        *error = u"it is not valid JSON: line %1, column %2: a NUL byte"_s.arg(line).arg(column);
        return std::nullopt;
    }
    ModelReader reader;
    const char* begin = bytes.data();
    const bool parsed = Json::sax_parse(begin, begin + bytes.size(), &reader,
                                        Json::input_format_t::json, /*strict=*/true,
                                        /*ignore_comments=*/false);
    if (!parsed || !reader.content) {
        *error = reader.error.isEmpty() ? u"it is not a JSON object"_s : reader.error;
        return std::nullopt;
    }
    return std::move(reader.content);
}

QByteArray encode(const QStringList& quotes, const QList<Member>& others,
                  qsizetype quotesPosition) {
    qsizetype size = 32;
    for (const auto& quote : quotes)
        size += quote.size() + 8;
    QByteArray out;
    out.reserve(size);
    auto appendMember = [&out](const QString& name, const QStringList& values) {
        out.append("  ");
        appendEscaped(out, name);
        out.append(" : [");
        if (values.isEmpty()) {
            out.append("\n\n  ]");
            return;
        }
        for (qsizetype i = 0; i < values.size(); ++i) {
            out.append(i == 0 ? "\n    " : ",\n    ");
            appendEscaped(out, values[i]);
        }
        out.append("\n  ]");
    };
    if (quotesPosition < 0 || quotesPosition > others.size())
        quotesPosition = others.size();
    out.append("{\n");
    for (qsizetype i = 0; i <= others.size(); ++i) {
        if (i > 0)
            out.append(",\n");
        if (i == quotesPosition)
            appendMember(u"quotes"_s, quotes);
        else
            appendMember(others[i < quotesPosition ? i : i - 1].name,
                         others[i < quotesPosition ? i : i - 1].values);
    }
    out.append("\n}\n");
    return out;
}

} // namespace QuotesDocument
