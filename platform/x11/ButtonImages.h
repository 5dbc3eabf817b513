#pragma once

#include <QByteArray>

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
