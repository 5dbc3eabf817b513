#pragma once

#include "ColumnWindow.h"
#include "Files.h"

#include <QByteArray>
#include <QDir>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

class FileWatcher;
class QSocketNotifier;
class QuoteManager;

// How the lines of a feed are written for the bar that reads them.
enum class BarFormat {
    plain,  // the window's text
    waybar, // a JSON object with Pango-escaped "text" and "tooltip", and "class"
    i3bar,  // the i3bar protocol: a header with click events, then an endless array of blocks
};

// What a feed shows at each step, apart from its input and output: the display text of a list
// (fresh emojis) seen through a window that moves one column a step, and the quote under the
// window's middle. A step costs the same however long the list is.
class BarTicker {
public:
    explicit BarTicker(int columns = 30)
        : columns(columns) {}

    // Builds the display text of a non-empty list and puts the window at its start.
    void setQuotes(const QStringList& quotes);
    // The same for a display text already made, as segments: each quote followed by its
    // separator (DisplayController::displaySegments), so that the emojis are the ones shown
    // elsewhere.
    void setSegments(const QStringList& segments);
    // One column on, round the text without a seam.
    void advance();
    // Puts the window's left edge at the start of the next quote (steps > 0) or of an earlier
    // one (steps < 0), round the list.
    void jumpQuotes(int steps);
    // The window's text, exactly the columns wide.
    QString text() const;
    // The whole quote whose piece is under the middle of the window.
    QString tooltip() const;

    int width() const { return columns; }
    void setWidth(int width) { columns = width; }
    qsizetype position() const { return column; }
    const QStringList& shownQuotes() const { return quotes; }
    const ColumnWindow& columnWindow() const { return window; }

private:
    int columns;
    ColumnWindow window;
    QStringList quotes;
    // Where each quote's piece starts in the display text.
    std::vector<qsizetype> pieceStarts;
    qsizetype column = 0;
};

struct BarFeedOptions {
    BarFormat format = BarFormat::plain;
    int columns = 30;
    int intervalMilliseconds = 200;
    QString homeFolder = Files::homeFolder();
};

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

    // One line the bar wrote on standard input: a click event, or the opening of their array.
    void handleInputLine(QByteArrayView line);

    static QByteArray header(BarFormat format);
    // The line for a window's text; first is the first line after the header.
    static QByteArray line(BarFormat format, const QString& text, const QString& tooltip,
                           bool first);
    // Text for Pango markup: the markup characters escaped, controls other than line breaks
    // shown as spaces.
    static QString markupEscaped(const QString& text);

Q_SIGNALS:
    // A left click: the user wants the editor.
    void editRequested();

private:
    void reload();
    // Shows the still no-quotes text anew when the interface language changed meanwhile.
    void followLanguage();
    void show(const QStringList& quotes);
    void showStill(const QString& text);
    void step();
    void writeCurrent();
    void write(const QString& text, const QString& tooltip);
    // False when standard output is gone; the event loop has been told to end then.
    bool writeOut(const QByteArray& bytes);
    void readInput();
    void readSignal();

    BarFeedOptions options;
    std::unique_ptr<QuoteManager> manager;
    std::unique_ptr<FileWatcher> watcher;
    std::unique_ptr<QSocketNotifier> input;
    std::unique_ptr<QSocketNotifier> pauseSignals;
    QTimer timer;

    BarTicker ticker;
    bool scrolling = false;
    bool paused = false;
    bool firstLine = true;
    bool shownOnce = false;
    bool lastLoadFailed = false;
    // A digest of the file as last loaded, to tell its changes from other files' in the folder.
    QByteArray lastDigest;
    QByteArray inputBuffer;
};
