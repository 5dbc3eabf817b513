#pragma once

#include <QPoint>
#include <QRect>

// Where the status menu opens when the item in a panel asks for it: a click on the item in a
// panel that draws no menu of its own, such as MATE's Notification Area on a left click.
//
// The menu opens where the click was, at the pointer: the point the panel sends with the click
// is not to be relied on (MATE's Notification Area sends one in its own window's coordinates,
// (0, 25) for an item near the right end of the top panel). Over a panel at the top of the
// screen the menu drops down from the panel's lower edge, as the panels' own menus do; over one
// at the bottom it starts at the panel's upper edge, and the menu turns upwards from there.
namespace PanelMenuPosition {

// The menu's top left corner for the pointer and the work area of the pointer's screen (the
// screen without the panels' reserved edges).
QPoint at(QPoint pointer, const QRect& workArea);
// The same for the pointer now.
QPoint now();

} // namespace PanelMenuPosition
