#include "QuoteText.h"

QString trimmedWhitespaceAndNewlines(const QString& text) {
    auto trims = [](QChar c) {
        const char16_t u = c.unicode();
        if (u == u'\t' || (u >= 0x0A && u <= 0x0D) || u == 0x85)
            return true;
        const auto category = c.category();
        return category == QChar::Separator_Space || category == QChar::Separator_Line ||
               category == QChar::Separator_Paragraph;
    };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && trims(text.at(start)))
        ++start;
    while (end > start && trims(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

bool isBlankQuote(const QString& text) {
    for (const QChar c : text) {
        const auto category = c.category();
        if (category != QChar::Other_Format && category != QChar::Other_Control &&
            category != QChar::Separator_Space && category != QChar::Separator_Line &&
            category != QChar::Separator_Paragraph)
            return false;
    }
    return true;
}
