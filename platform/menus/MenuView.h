#pragma once

#include "MenuDescription.h"

class QAction;
class QMenu;
class QWidget;

// A QMenu that shows a menu description: its titles, shortcuts (also shown in a context menu),
// check marks, data and submenus. Choosing an item runs its entry's action once. Qt flips the
// check mark of a checkable item before it reports the choice; the mark is put back, so that
// only the action changes it. The caller owns the menu.
QMenu* makeMenu(const MenuDescription& description, QWidget* parent = nullptr);

// The item of a menu made by makeMenu, at any depth, that shows the entry `id`; or null.
QAction* findMenuItem(const QMenu* menu, int id);
