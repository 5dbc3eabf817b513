#pragma once

#include <memory>

class QMenu;

// The main menu: an untitled application menu and the Edit menu (Undo, Redo, Cut, Copy, Paste,
// Select All, Find), whose commands go to the focused text field, or to the first of its
// parents that answers them (Find goes to the editor). On Linux there is no global menu
// bar: the editor window shows these menus as its own.
namespace EditMenu {

std::unique_ptr<QMenu> makeMainMenu();
// The menus' titles in the current language.
void retitle(QMenu* mainMenu);

} // namespace EditMenu
