#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>

#include <optional>

// Whether GTK programs of the session show an icon on a button that also has a label
// ("Gtk/ButtonImages"). GTK's own default is no; a settings daemon (MATE's, Xfce's) publishes
// the desktop's choice over XSETTINGS. Panels made of GTK buttons, such as MATE's Notification
// Area, drop a status item's icon beside its label when this is off.
namespace ButtonImages {

// The value of "Gtk/ButtonImages" in the XSETTINGS data of a settings manager (the
// _XSETTINGS_SETTINGS property, in either byte order); none when the data holds no such setting
// or is cut short.
std::optional<bool> fromXSettings(const QByteArray& data);

// The session's choice now: the settings manager's word on the display, else GTK's own
// settings file, else GTK's default (no). Yes where there is no X11 display to ask.
bool shownNow();

} // namespace ButtonImages

// Tells when the settings manager publishes new settings (the desktop's icons on buttons turned
// on or off), or a manager comes or goes. Does nothing off X11.
class ButtonImagesWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit ButtonImagesWatch(QObject* parent = nullptr);
    ~ButtonImagesWatch() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    // The settings may have changed: ButtonImages::shownNow() may say otherwise now.
    void changed();

private:
    // Follows the manager's settings property, whichever window holds them now.
    void followManager();

    quint32 selection = 0;
    quint32 settingsProperty = 0;
    quint32 managerMessage = 0;
    quint32 manager = 0;
};
