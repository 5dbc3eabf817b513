#include "CommandOutput.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace CommandOutput {

namespace {

void printTo(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

void printOut(const QString& text) {
    printTo(stdout, text);
}

void printError(const QString& text) {
    printTo(stderr, text);
}

int notUnderstood(const QString& message) {
    printError(u"sayvane: "_s + message);
    printError(u"Try 'sayvane --help' for more."_s);
    return misunderstood;
}

} // namespace CommandOutput
