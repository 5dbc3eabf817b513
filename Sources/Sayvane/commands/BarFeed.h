#pragma once

#include "BarClicks.h"
#include "BarFeedOptions.h"
#include "BarLines.h"
#include "BarTicker.h"

#include <QByteArray>
#include <QDir>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

class FileWatcher;
class Preferences;
class QuoteManager;
class SignalNotifier;

// The ticker for a status bar, on standard output: the same display text as the strip, seen
// through a window of a fixed number of terminal columns that moves one column a step and wraps
// without a seam, one flushed line a step. Follows the quotes file. An empty list shows the
// no-quotes text and a file that cannot be loaded the load-error text, both still.
//
// Between steps the process sleeps in the event loop; a step costs the same however long the
// list is. When the bar closes the pipe, the event loop ends with status 0. SIGUSR1 and a middle
// click pause and resume the feed; a left click asks for the editor. Clicks come only in the
// i3bar format, as click events on standard input.
class BarFeed : public QObject {
    Q_OBJECT

public:
    explicit BarFeed(BarFeedOptions options, QObject* parent = nullptr);
    ~BarFeed() override;

    // Writes the header (i3bar), loads the list and writes the first line; then steps, follows
    // the file and, for i3bar, reads click events from standard input.
    void start();

    bool isPaused() const { return paused; }
    void setPaused(bool pause);

    // The clicks of an i3bar-protocol bar, read from standard input once started.
    BarClicks& barClicks() { return clicks; }

Q_SIGNALS:
    // A left click: the user wants the editor.
    void editRequested();

private:
    void reload();
    // Follows a change of the interface language (in the still text) or of the quotes' order.
    void followSetting(const QString& name);
    void show(const QStringList& quotes);
    void showStill(const QString& text);
    void step();
    void writeCurrent();
    void write(const QString& text, const QString& tooltip);
    // False when standard output is gone; the event loop has been told to end then.
    bool writeOut(const QByteArray& bytes);

    BarFeedOptions options;
    std::unique_ptr<QuoteManager> manager;
    std::unique_ptr<FileWatcher> watcher;
    std::unique_ptr<Preferences> preferences;
    std::unique_ptr<SignalNotifier> pauseSignals;
    BarClicks clicks;
    QTimer timer;

    BarTicker ticker;
    // The list shown, as written.
    QStringList shownList;
    bool scrolling = false;
    bool paused = false;
    bool firstLine = true;
    bool shownOnce = false;
    bool lastLoadFailed = false;
    // A digest of the file as last loaded, to tell its changes from other files' in the folder.
    QByteArray lastDigest;
};
