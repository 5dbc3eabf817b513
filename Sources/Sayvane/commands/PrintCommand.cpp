#include "PrintCommand.h"

#include "CommandOutput.h"
#include "CommandStore.h"
#include "Localization.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;
using namespace CommandOutput;

namespace PrintCommand {

namespace {

// The quote with every control character and line break as a space.
QString oneLine(QString quote) {
    for (QChar& c : quote) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return quote;
}

} // namespace

int run(bool daily) {
    const auto quotes = CommandStore::readStoredList();
    if (!quotes)
        return failed;
    if (quotes->isEmpty()) {
        printOut(LocalizationManager::shared().localizedString(u"NoQuotesFound"_s));
        return done;
    }
    const qsizetype index = daily ? dailyIndex(QDate::currentDate(), quotes->size())
                                  : QRandomGenerator::system()->bounded(quotes->size());
    printOut(oneLine(quotes->at(index)));
    return done;
}

qsizetype dailyIndex(QDate date, qsizetype count) {
    if (count <= 0)
        return 0;
    // SplitMix64 of the day number: neighbouring days give unrelated picks.
    auto z = static_cast<quint64>(date.toJulianDay()) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<qsizetype>(z % static_cast<quint64>(count));
}

} // namespace PrintCommand
