#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// The click events an i3bar-protocol bar (i3bar, swaybar) writes on the status command's standard
// input: an endless JSON array of objects, one a line. Only clicks on the block named "sayvane"
// (or on a block without a name) count.
class BarClicks : public QObject {
    Q_OBJECT

public:
    explicit BarClicks(QObject* parent = nullptr);
    ~BarClicks() override;

    // Reads standard input from now on, as lines arrive.
    void listen();
    // One line the bar wrote: a click event, or the opening of their array.
    void handleLine(QByteArrayView line);

Q_SIGNALS:
    void leftClicked();
    void middleClicked();

private:
    void read();

    QSocketNotifier* input = nullptr;
    QByteArray buffer;
};
