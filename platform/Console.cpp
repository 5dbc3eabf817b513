#include "Console.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

void printLine(const QString& line) {
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}
