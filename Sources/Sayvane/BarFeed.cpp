#include "BarFeed.h"

#include "Console.h"
#include "DisplayController.h"
#include "FileWatcher.h"
#include "Files.h"
#include "Localization.h"
#include "MainQueue.h"
#include "QuoteManager.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// SIGUSR1 reaches the event loop through a pipe: a signal handler may do little more than write.
int signalPipe[2] = {-1, -1};

void onPauseSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

QByteArray digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// What a bar writes on standard input without a line break is dropped beyond this.
constexpr qsizetype inputLineLimit = 64 * 1024;

} // namespace

void BarTicker::setQuotes(const QStringList& list) {
    setSegments(DisplayController::displaySegments(list));
}

void BarTicker::setSegments(const QStringList& segments) {
    quotes.clear();
    pieceStarts.clear();
    const auto count = static_cast<size_t>((segments.size() + 1) / 2);
    quotes.reserve(static_cast<qsizetype>(count));
    pieceStarts.reserve(count);
    qsizetype at = 0;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (i % 2 == 0) {
            quotes.append(segments[i]);
            pieceStarts.push_back(at);
        }
        at += segments[i].size();
    }
    window.setText(segments.join(QString()));
    column = 0;
}

void BarTicker::advance() {
    if (window.totalColumns() > 0)
        column = (column + 1) % window.totalColumns();
}

void BarTicker::jumpQuotes(int steps) {
    if (window.totalColumns() == 0 || pieceStarts.empty() || steps == 0)
        return;
    // The quote whose piece is under the left edge.
    const auto after =
        std::upper_bound(pieceStarts.begin(), pieceStarts.end(), window.indexAtColumn(column));
    const auto count = static_cast<qsizetype>(pieceStarts.size());
    qsizetype at = std::max<qsizetype>(after - pieceStarts.begin() - 1, 0);
    auto startColumn = [this](qsizetype piece) {
        return window.columnAtIndex(pieceStarts[static_cast<size_t>(piece)]);
    };
    // Back from the middle of a quote goes first to its own start.
    if (steps < 0 && startColumn(at) != column)
        ++steps;
    at = ((at + steps) % count + count) % count;
    column = startColumn(at);
}

QString BarTicker::text() const {
    return window.window(column, columns);
}

QString BarTicker::tooltip() const {
    const qsizetype index = window.indexAtColumn(column + columns / 2);
    if (index < 0)
        return {};
    const auto after = std::upper_bound(pieceStarts.begin(), pieceStarts.end(), index);
    return quotes.at(after - pieceStarts.begin() - 1);
}

BarFeed::BarFeed(BarFeedOptions options, QObject* parent)
    : QObject(parent)
    , options(std::move(options))
    , ticker(this->options.columns) {
    timer.setInterval(this->options.intervalMilliseconds);
    connect(&timer, &QTimer::timeout, this, &BarFeed::step);
}

BarFeed::~BarFeed() = default;

void BarFeed::start() {
    // A closed pipe shows as EPIPE on the write, which ends the feed quietly.
    std::signal(SIGPIPE, SIG_IGN);
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction action {};
        action.sa_handler = onPauseSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR1, &action, nullptr);
    }
    if (signalPipe[0] >= 0) {
        pauseSignals = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        connect(pauseSignals.get(), &QSocketNotifier::activated, this, &BarFeed::readSignal);
    }
    // Only i3bar's status command has standard input to itself; in other bars it may be the
    // bar's own (i3blocks hands its persistent blocks the clicks meant for itself), which the
    // feed must not read.
    if (options.format == BarFormat::i3bar) {
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(input.get(), &QSocketNotifier::activated, this, &BarFeed::readInput);
    }

    if (!writeOut(header(options.format)))
        return;

    manager = std::make_unique<QuoteManager>(options.homeFolder);
    manager->onQuotesChanged = [this] { show(manager->quotes); };
    watcher = std::make_unique<FileWatcher>(manager->quotesFileURL);
    connect(watcher.get(), &FileWatcher::changed, this, &BarFeed::reload);
    reload();
}

void BarFeed::followLanguage() {
    // The desktop program keeps the interface language in the settings file beside the quotes
    // file, whose changes the watcher reports too; a settings object made now reads it afresh.
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, u"Sayvane"_s,
                             u"Sayvane"_s);
    const AppLanguage stored =
        AppLanguages::fromRawValue(
            settings.value(LocalizationManager::storedLanguageKey, u"en"_s).toString())
            .value_or(AppLanguage::english);
    LocalizationManager& localization = LocalizationManager::shared();
    if (stored == localization.currentLanguage.get())
        return;
    localization.currentLanguage = stored;
    if (shownOnce && !scrolling && !lastLoadFailed)
        showStill(localization.localizedString(u"NoQuotes"_s));
}

void BarFeed::reload() {
    followLanguage();
    const QString& path = manager->quotesFileURL;
    if (shownOnce) {
        // The watcher also speaks for other files of the folder (a save's temporary file), and
        // a file that is gone keeps what is shown: only new content counts.
        QString ignored;
        const auto bytes = Files::read(path, &ignored);
        if (!bytes || digest(*bytes) == lastDigest)
            return;
    }
    manager->loadQuotes();
    QString error;
    const auto bytes = Files::read(path, &error);
    lastDigest = digest(bytes.value_or(QByteArray()));
    if (bytes)
        QuoteManager::listFromFile(*bytes, &error);
    lastLoadFailed = !error.isEmpty();
    // A document without "quotes" delivers nothing; at the start the empty list is shown then.
    MainQueue::async([this] {
        if (!shownOnce)
            show(manager->quotes);
    });
}

void BarFeed::show(const QStringList& list) {
    shownOnce = true;
    if (lastLoadFailed) {
        showStill(QuoteManager::loadErrorPlaceholder);
        return;
    }
    if (list.isEmpty()) {
        showStill(LocalizationManager::shared().localizedString(u"NoQuotes"_s));
        return;
    }
    ticker.setQuotes(list);
    scrolling = true;
    writeCurrent();
    if (!paused)
        timer.start();
}

void BarFeed::showStill(const QString& text) {
    timer.stop();
    scrolling = false;
    write(ColumnWindow::fitted(text, options.columns), text);
}

void BarFeed::step() {
    ticker.advance();
    writeCurrent();
}

void BarFeed::writeCurrent() {
    write(ticker.text(), options.format == BarFormat::waybar ? ticker.tooltip() : QString());
}

void BarFeed::write(const QString& text, const QString& tooltip) {
    writeOut(line(options.format, text, tooltip, firstLine));
    firstLine = false;
}

bool BarFeed::writeOut(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const auto n = ::write(STDOUT_FILENO, bytes.constData() + done,
                               static_cast<size_t>(bytes.size() - done));
        if (n >= 0) {
            done += n;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd out{STDOUT_FILENO, POLLOUT, 0};
            ::poll(&out, 1, 1000);
            continue;
        }
        timer.stop();
        scrolling = false;
        if (errno == EPIPE) {
            // The bar has gone: the feed is over, and that is no failure.
            QCoreApplication::exit(0);
        } else {
            printLine(u"Could not write to standard output: "_s +
                      QString::fromLocal8Bit(std::strerror(errno)));
            QCoreApplication::exit(1);
        }
        return false;
    }
    return true;
}

void BarFeed::setPaused(bool pause) {
    paused = pause;
    if (paused)
        timer.stop();
    else if (scrolling)
        timer.start();
}

void BarFeed::readSignal() {
    // One byte a signal; each signal pauses or resumes.
    char bytes[16];
    qsizetype count = 0;
    for (ssize_t n; (n = ::read(signalPipe[0], bytes, sizeof bytes)) > 0;)
        count += n;
    if (count % 2 == 1)
        setPaused(!paused);
}

void BarFeed::readInput() {
    char bytes[4096];
    const auto n = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        // The bar writes no more clicks.
        input->setEnabled(false);
        return;
    }
    inputBuffer.append(bytes, n);
    qsizetype end;
    while ((end = inputBuffer.indexOf('\n')) >= 0) {
        handleInputLine(QByteArrayView(inputBuffer).first(end));
        inputBuffer.remove(0, end + 1);
    }
    if (inputBuffer.size() > inputLineLimit)
        inputBuffer.clear();
}

void BarFeed::handleInputLine(QByteArrayView line) {
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
        Q_EMIT editRequested();
        break;
    case 2:
        setPaused(!paused);
        break;
    default:
        break;
    }
}

QByteArray BarFeed::header(BarFormat format) {
    if (format == BarFormat::i3bar)
        return QByteArrayLiteral("{\"version\":1,\"click_events\":true}\n[\n");
    return {};
}

QByteArray BarFeed::line(BarFormat format, const QString& text, const QString& tooltip,
                         bool first) {
    switch (format) {
    case BarFormat::plain:
        return text.toUtf8() + '\n';
    case BarFormat::waybar: {
        const QJsonObject object{{u"text"_s, markupEscaped(text)},
                                 {u"tooltip"_s, markupEscaped(tooltip)},
                                 {u"class"_s, u"sayvane"_s}};
        return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
    case BarFormat::i3bar: {
        const QJsonObject block{{u"name"_s, u"sayvane"_s}, {u"full_text"_s, text}};
        QByteArray bytes = first ? QByteArray() : QByteArrayLiteral(",");
        bytes += '[' + QJsonDocument(block).toJson(QJsonDocument::Compact) + "]\n";
        return bytes;
    }
    }
    return {};
}

QString BarFeed::markupEscaped(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c != u'\n' && c.category() == QChar::Other_Control)
            c = u' ';
    }
    // Qt escapes &, <, > and "; Pango's markup also takes &apos;.
    return out.toHtmlEscaped().replace(u'\'', u"&apos;"_s);
}
