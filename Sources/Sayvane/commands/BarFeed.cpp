#include "BarFeed.h"

#include "Console.h"
#include "FileWatcher.h"
#include "Files.h"
#include "Localization.h"
#include "Preferences.h"
#include "QuoteManager.h"
#include "QuotesDocument.h"
#include "SignalNotifier.h"

#include <QCoreApplication>
#include <QCryptographicHash>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

} // namespace

BarFeed::BarFeed(BarFeedOptions options, QObject* parent)
    : QObject(parent)
    , options(std::move(options))
    , ticker(this->options.columns) {
    timer.setInterval(this->options.intervalMilliseconds);
    connect(&timer, &QTimer::timeout, this, &BarFeed::step);
    connect(&clicks, &BarClicks::leftClicked, this, &BarFeed::editRequested);
    connect(&clicks, &BarClicks::middleClicked, this, [this] { setPaused(!paused); });
}

BarFeed::~BarFeed() = default;

void BarFeed::start() {
    // A closed pipe shows as EPIPE on the write, which ends the feed quietly.
    std::signal(SIGPIPE, SIG_IGN);
    pauseSignals = std::make_unique<SignalNotifier>(std::initializer_list<int>{SIGUSR1});
    connect(pauseSignals.get(), &SignalNotifier::received, this, [this] { setPaused(!paused); });
    // Only i3bar's status command has standard input to itself; in other bars it may be the
    // bar's own (i3blocks hands its persistent blocks the clicks meant for itself), which the
    // feed must not read.
    if (options.format == BarFormat::i3bar)
        clicks.listen();

    if (!writeOut(BarLines::header(options.format)))
        return;

    manager = std::make_unique<QuoteManager>(options.homeFolder);
    watcher = std::make_unique<FileWatcher>(manager->quotesFileURL);
    connect(watcher.get(), &FileWatcher::changed, this, &BarFeed::reload);
    // The interface language (of the still text) and the order of the quotes, as the program
    // has them.
    preferences = std::make_unique<Preferences>();
    preferences->follow();
    connect(preferences.get(), &Preferences::changed, this, &BarFeed::followSetting);
    reload();
}

void BarFeed::followSetting(const QString& name) {
    if (name == SettingKeys::appLanguage) {
        // The language manager reads the stored language when it is made; an assignment would
        // write it back, so only a change is assigned.
        LocalizationManager& localization = LocalizationManager::shared();
        if (localization.currentLanguage.get() == preferences->language())
            return;
        localization.currentLanguage = preferences->language();
        if (shownOnce && !scrolling && !lastLoadFailed)
            showStill(localization.localizedString(u"NoQuotes"_s));
    } else if (name == SettingKeys::order && scrolling) {
        show(QStringList(shownList));
    }
}

void BarFeed::reload() {
    const QString& path = manager->quotesFileURL;
    QString error;
    std::optional<QByteArray> bytes = Files::read(path, &error);
    if (shownOnce) {
        // The watcher also speaks for other files of the folder (a save's temporary file), and
        // a file that is gone keeps what is shown: only new content counts.
        if (!bytes || digest(*bytes) == lastDigest)
            return;
    } else if (!bytes && !Files::exists(path)) {
        // A first start: the default quotes, as the program will write them. A feed only reads.
        bytes = QuotesDocument::encode(QuoteManager::defaultQuotes);
        error.clear();
    }
    lastDigest = digest(bytes.value_or(QByteArray()));
    std::optional<QStringList> list;
    if (bytes) {
        list = QuoteManager::listFromFile(*bytes, &error);
        if (!error.isEmpty())
            error = u"%1 cannot be loaded: %2"_s.arg(QDir::toNativeSeparators(path), error);
    }
    lastLoadFailed = !error.isEmpty();
    if (lastLoadFailed) {
        printLine(u"Failed to load quotes: "_s + error);
        shownOnce = true;
        showStill(QuoteManager::loadErrorPlaceholder);
    } else if (list) {
        show(*list);
    } else if (!shownOnce) {
        // A document without "quotes" changes nothing; at the start the empty list is shown.
        show({});
    }
}

void BarFeed::show(const QStringList& list) {
    shownOnce = true;
    if (list.isEmpty()) {
        showStill(LocalizationManager::shared().localizedString(u"NoQuotes"_s));
        return;
    }
    shownList = list;
    ticker.setQuotes(list, preferences->order());
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
    writeOut(BarLines::line(options.format, text, tooltip, firstLine));
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
