#include "ListCommand.h"

#include "CommandOutput.h"
#include "CommandStore.h"
#include "QuoteManager.h"

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace CommandOutput;

namespace ListCommand {

int run() {
    QuoteManager manager;
    const auto quotes = CommandStore::loadStoredList(manager);
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
        else
            line += c;
    }
    return line;
}

} // namespace ListCommand
