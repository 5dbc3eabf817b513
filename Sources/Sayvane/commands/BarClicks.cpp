#include "BarClicks.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <cerrno>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// What a bar writes on standard input without a line break is dropped beyond this.
constexpr qsizetype lineLimit = 64 * 1024;

} // namespace

BarClicks::BarClicks(QObject* parent)
    : QObject(parent) {}

BarClicks::~BarClicks() = default;

void BarClicks::listen() {
    if (input)
        return;
    input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(input, &QSocketNotifier::activated, this, &BarClicks::read);
}

void BarClicks::read() {
    char bytes[4096];
    const auto n = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        // The bar writes no more clicks.
        input->setEnabled(false);
        return;
    }
    buffer.append(bytes, n);
    qsizetype end;
    while ((end = buffer.indexOf('\n')) >= 0) {
        handleLine(QByteArrayView(buffer).first(end));
        buffer.remove(0, end + 1);
    }
    if (buffer.size() > lineLimit)
        buffer.clear();
}

void BarClicks::handleLine(QByteArrayView line) {
    line = line.trimmed();
    // Events come as the elements of an endless array: "[" first, then "," before each.
    while (!line.isEmpty() && (line.front() == '[' || line.front() == ','))
        line = line.sliced(1).trimmed();
    if (line.isEmpty())
        return;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray());
    if (!document.isObject())
        return;
    const QJsonObject event = document.object();
    if (event.contains(u"name"_s) && event.value(u"name"_s).toString() != u"sayvane"_s)
        return;
    switch (event.value(u"button"_s).toInt()) {
    case 1:
        Q_EMIT leftClicked();
        break;
    case 2:
        Q_EMIT middleClicked();
        break;
    default:
        break;
    }
}
