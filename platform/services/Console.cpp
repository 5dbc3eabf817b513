#include "Console.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace {

bool toStandardError = false;

} // namespace

void printLinesToStandardError() {
    toStandardError = true;
}

void printLine(const QString& line) {
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    std::FILE* stream = toStandardError ? stderr : stdout;
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
