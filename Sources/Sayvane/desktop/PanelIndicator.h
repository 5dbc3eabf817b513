#pragma once

#include "LabelTicker.h"
#include "StatusNotifierItem.h"
#include "VisibilityWatch.h"

#include <QDBusConnection>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <memory>

// The program in a desktop panel's indicator area: the status notifier item with its label,
// stepped by a timer through the display text the strip shows. The timer runs only while the
// label moves, the ticker is not paused, and a panel holds the item (it is registered with the
// watcher).
class PanelIndicator : public QObject {
    Q_OBJECT

public:
    PanelIndicator(QDBusConnection bus, LabelSettings settings, QObject* parent = nullptr);
    ~PanelIndicator() override;

    StatusNotifierItem& item() { return *notifierItem; }
    const LabelTicker& ticker() const { return labelTicker; }

    // Lists up to this many segments are taken at once; the text of a longer one is walked on
    // a worker thread (about 150 ms at 100,000 quotes), while the label goes on with the text
    // before, so that a save or a reload never waits for the label.
    static constexpr qsizetype largeList = 4000;

    // What the strip shows now: its segments, or for an empty list the still text. The label
    // shows the latest list given, once it is ready.
    void show(const QStringList& segments, const QString& stillText);
    // What the label shows and how fast it steps; the label starts over with the list shown.
    void setSettings(const LabelSettings& settings);
    const LabelSettings& settings() const { return labelSettings; }
    void setPaused(bool paused);
    bool isPaused() const { return paused; }
    // While nothing of the desktop can be seen (the screen saver on, a fullscreen window over
    // the top of the screen), the label does no work.
    void setOutOfSight(bool outOfSight);
    // Out of sight whenever the watch says the screen cannot be seen (the screen saver on); not
    // while the strip is covered or kept away, since the label is in the panel.
    void followScreen(std::unique_ptr<VisibilityWatch> screen);
    // The next (steps > 0) or an earlier quote, shown at once.
    void jumpQuotes(int steps);

Q_SIGNALS:
    // The label jumped to the quote of that index in the list shown (the wheel over it): the
    // strip goes there too, so that both show one current quote.
    void quoteJumped(qsizetype quote);

private:
    void adopt(LabelTicker&& ready);
    void publish();
    void updateTimer();

    std::unique_ptr<StatusNotifierItem> notifierItem;
    std::unique_ptr<VisibilityWatch> screenWatch;
    LabelSettings labelSettings;
    LabelTicker labelTicker;
    QStringList shownSegments;
    QString shownStillText;
    QTimer timer;
    bool paused = false;
    bool outOfSight = false;
    // Tells the list shown last from lists whose preparation it overtook.
    quint64 shownGeneration = 0;
    // The list the label shows.
    quint64 adoptedGeneration = 0;
    // Declared last, so that it waits for its work before the rest goes.
    QThreadPool worker;
};
