#include "TextRuns.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// Runs of text are cut after a blank once this long, and anywhere safe once twice as long:
// pieces stay short enough to lay out cheaply at every frame.
constexpr qsizetype softPieceLength = 48;
constexpr qsizetype hardPieceLength = 128;
constexpr qsizetype rightToLeftPieceLength = 2048;

char32_t codePointAt(const QString& text, qsizetype i, qsizetype* length) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    *length = 1;
    return c.unicode();
}

// Characters shown as emoji by default (Unicode's Emoji_Presentation), as ranges. Everything in
// the supplementary pictographic planes U+1F000..U+1FAFF counts too: close enough for choosing a
// font, since Qt falls back to other fonts for any glyph the emoji font lacks.
bool hasEmojiPresentation(char32_t c) {
    if (c < 0x231A)
        return false;
    static constexpr std::pair<char32_t, char32_t> ranges[] = {
        {0x231A, 0x231B}, {0x23E9, 0x23EC}, {0x23F0, 0x23F0}, {0x23F3, 0x23F3},   {0x25FD, 0x25FE},
        {0x2614, 0x2615}, {0x2648, 0x2653}, {0x267F, 0x267F}, {0x2693, 0x2693},   {0x26A1, 0x26A1},
        {0x26AA, 0x26AB}, {0x26BD, 0x26BE}, {0x26C4, 0x26C5}, {0x26CE, 0x26CE},   {0x26D4, 0x26D4},
        {0x26EA, 0x26EA}, {0x26F2, 0x26F3}, {0x26F5, 0x26F5}, {0x26FA, 0x26FA},   {0x26FD, 0x26FD},
        {0x2705, 0x2705}, {0x270A, 0x270B}, {0x2728, 0x2728}, {0x274C, 0x274C},   {0x274E, 0x274E},
        {0x2753, 0x2755}, {0x2757, 0x2757}, {0x2795, 0x2797}, {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
        {0x2B1B, 0x2B1C}, {0x2B50, 0x2B50}, {0x2B55, 0x2B55}, {0x1F000, 0x1FAFF},
    };
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [c](const auto& range) { return c >= range.first && c <= range.second; });
}

constexpr char32_t variationText = 0xFE0E;
constexpr char32_t variationEmoji = 0xFE0F;
constexpr char32_t zeroWidthJoiner = 0x200D;

// Code points that belong to the cluster before them: never cut in front of one.
bool extendsCluster(char32_t c) {
    return c == zeroWidthJoiner || c == 0x200C || (c >= 0xFE00 && c <= 0xFE0F) ||
           (c >= 0xE0100 && c <= 0xE01EF) || c == 0x20E3 || (c >= 0xE0020 && c <= 0xE007F) ||
           (c >= 0x1F3FB && c <= 0x1F3FF) || QChar::isMark(c);
}

char32_t codePointAfter(const QString& text, qsizetype i) {
    if (i >= text.size())
        return 0;
    qsizetype length = 0;
    return codePointAt(text, i, &length);
}

bool isRegionalIndicator(char32_t c) {
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}

// Whether the character reads right to left, or is an explicit bidirectional embedding, override
// or isolate, after which the order of what follows depends on what came before.
std::optional<bool> rightToLeftContext(char32_t c) {
    switch (QChar::direction(c)) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirPDF:
    case QChar::DirRLI:
    case QChar::DirLRI:
    case QChar::DirFSI:
    case QChar::DirPDI:
        return true;
    case QChar::DirL:
        return false;
    default:
        return std::nullopt;
    }
}

} // namespace

namespace TextRuns {

// Whether an emoji cluster starts at i: a character shown as emoji unless followed by U+FE0E,
// or any character followed by U+FE0F.
bool emojiStartsAt(const QString& text, qsizetype i) {
    // Most text is far below the first emoji and not followed by a selector.
    if (text.at(i).unicode() < 0x231A &&
        (i + 1 >= text.size() || text.at(i + 1).unicode() != variationEmoji))
        return false;
    qsizetype length = 0;
    const char32_t c = codePointAt(text, i, &length);
    if (extendsCluster(c))
        return false;
    const char32_t next = codePointAfter(text, i + length);
    if (next == variationEmoji)
        return true;
    return hasEmojiPresentation(c) && next != variationText;
}

// The end of the emoji cluster that starts at i, with its modifiers, selectors, keycaps, tags
// and joined sequences; two regional indicators make one flag. Each cluster is a piece of its
// own, so that a run of any length is measured and drawn a cluster at a time.
qsizetype endOfEmojiCluster(const QString& text, qsizetype i) {
    qsizetype length = 0;
    const char32_t first = codePointAt(text, i, &length);
    qsizetype end = i + length;
    if (isRegionalIndicator(first) && end < text.size() &&
        isRegionalIndicator(codePointAt(text, end, &length)))
        end += length;
    while (end < text.size()) {
        const char32_t c = codePointAt(text, end, &length);
        if (c == zeroWidthJoiner && end + length < text.size()) {
            qsizetype joinedLength = 0;
            codePointAt(text, end + length, &joinedLength);
            end += length + joinedLength;
        } else if (extendsCluster(c)) {
            end += length;
        } else {
            break;
        }
    }
    return end;
}

qsizetype endOfTextRun(const QString& text, qsizetype start) {
    qsizetype end = start;
    qsizetype length = 0;
    // Each piece is laid out on its own, so a cut inside right-to-left text would show its two
    // halves in the wrong order: such text is cut only when it is very long.
    bool rightToLeft = false;
    while (end < text.size()) {
        if (end > start && emojiStartsAt(text, end))
            return end;
        const qsizetype run = end - start;
        const char32_t c = codePointAt(text, end, &length);
        const bool afterBlank =
            end > start && text.at(end - 1).isSpace() && !text.at(end).isSpace();
        if (!rightToLeft && run >= softPieceLength && afterBlank)
            return end;
        const qsizetype hardLimit = rightToLeft ? rightToLeftPieceLength : hardPieceLength;
        if (run >= hardLimit && !extendsCluster(c) && !text.at(end).isLowSurrogate())
            return end;
        if (const auto context = rightToLeftContext(c))
            rightToLeft = *context;
        end += length;
    }
    return end;
}

// The text as drawn: one line, control characters and line breaks as blanks.
QString asOneLine(const QString& text) {
    auto isBreak = [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || u == 0x7F || u == 0x85 || u == 0x2028 || u == 0x2029;
    };
    if (std::none_of(text.cbegin(), text.cend(), isBreak))
        return text;
    QString line = text;
    for (QChar& c : line) {
        if (isBreak(c))
            c = u' ';
    }
    return line;
}

} // namespace TextRuns
