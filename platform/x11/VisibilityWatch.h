#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QWidget;

// Whether a top-level window can be seen at all: it is mapped, not wholly covered by other
// windows, and the screen is not blanked or locked by the screen saver. Main thread only.
class VisibilityWatch : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool canBeSeen() const = 0;

Q_SIGNALS:
    // Sent when canBeSeen() changes.
    void canBeSeenChanged(bool canBeSeen);
};

// Makes the watch for a window; may give none, and the window then counts as always seen. Given
// no window, the watch is of the screen alone: seen unless blanked or locked.
using VisibilityWatchFactory = std::function<std::unique_ptr<VisibilityWatch>(QWidget* window)>;

// On X11: map and unmap notices, visibility notices (fully obscured or not) and the screen
// saver extension's notices, read from Qt's own connection as they arrive; no polling. Gives
// none on other platforms.
VisibilityWatchFactory x11VisibilityWatches();
