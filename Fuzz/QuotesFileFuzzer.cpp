// Feeds arbitrary bytes to the quotes-file reader, as a load sees them, and checks the outcome:
// a list of strings that survives being written and read again, the load-error placeholder with
// a description, or nothing to change for a valid document without "quotes". It also checks that
// the fast reader (simdjson) and the strict one (nlohmann) accept the same documents and read
// the same lists from them.
#include "QuoteManager.h"
#include "QuotesDocument.h"

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "quotes file fuzzer: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    QString strictError;
    const auto strict = QuotesDocument::decodeStrict(bytes, &strictError);
    const auto fast = QuotesDocument::decodeFast(bytes);
    require(strict || !strictError.isEmpty(), "a rejection comes with a description");
    require(fast.has_value() == strict.has_value(),
            "the fast and the strict reader disagree on validity");
    if (fast)
        require(fast->hasQuotes == strict->hasQuotes && fast->quotes == strict->quotes &&
                    fast->others == strict->others &&
                    fast->quotesPosition == strict->quotesPosition &&
                    fast->hasRepeatedNames == strict->hasRepeatedNames,
                "the fast and the strict reader read different documents");
    if (strict) {
        // A save keeps every member as it was read, and "quotes" where it stood.
        QString keptError;
        const auto kept = QuotesDocument::decodeStrict(
            QuotesDocument::encode(strict->quotes, strict->others, strict->quotesPosition),
            &keptError);
        require(kept && kept->others == strict->others && kept->quotes == strict->quotes &&
                    (!strict->hasQuotes || kept->quotesPosition == strict->quotesPosition),
                "a save does not keep the other members");
    }

    QString error;
    const std::optional<QStringList> list = QuoteManager::listFromFile(bytes, &error);

    if (!error.isEmpty()) {
        require(list && *list == QStringList{QuoteManager::loadErrorPlaceholder},
                "a failed decode must give the load-error placeholder");
        return 0;
    }
    if (!list) {
        QString again;
        const auto content = QuotesDocument::decode(bytes, &again);
        require(content && !content->hasQuotes,
                "only a document without \"quotes\" changes nothing");
        return 0;
    }
    require(!list->isEmpty(), "a load never assigns an empty list");
    for (const QString& quote : *list)
        require(quote.isValidUtf16(), "a decoded quote is valid Unicode");

    // What was read, written and read again, is the same list.
    QString again;
    const auto back = QuoteManager::listFromFile(QuotesDocument::encode(*list), &again);
    require(again.isEmpty() && back && *back == *list,
            "the list does not survive a save and a load");
    return 0;
}
