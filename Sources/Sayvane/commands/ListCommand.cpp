#include "ListCommand.h"

#include "CommandOutput.h"
#include "CommandStore.h"

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace CommandOutput;

namespace ListCommand {

int run() {
    const auto quotes = CommandStore::readStoredList();
    if (!quotes)
        return failed;
    QByteArray out;
    for (const QString& quote : *quotes)
        out += listLine(quote).toUtf8() + '\n';
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    return std::fflush(stdout) == 0 ? done : failed;
}

QString listLine(const QString& quote) {
    QString line;
    line.reserve(quote.size());
    for (const QChar c : quote) {
        if (c == u'\\')
            line += u"\\\\"_s;
        else if (c == u'\n')
            line += u"\\n"_s;
        else if (c == u'\r')
            line += u"\\r"_s;
        else if (c == u'\t')
            line += u"\\t"_s;
        else if (c.category() == QChar::Other_Control)
            // Nothing a terminal would act on (an escape sequence, a bell) reaches it raw.
            line += u"\\x"_s + QString::number(c.unicode(), 16).rightJustified(2, u'0');
        else
            line += c;
    }
    return line;
}

} // namespace ListCommand
