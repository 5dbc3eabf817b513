#pragma once

#include <QString>

#include <memory>

class QMenu;

// The main menu: an untitled application menu and the Edit menu (Undo, Redo, Cut, Copy, Paste,
// Select All, Find, Move Up, Move Down), whose commands go to the focused text field, or to the
// first of its parents that answers them: Find and the moves go to the editor, and so do Undo
// and Redo when the field has no typing of its own to take back. On Linux there is no global
// menu bar: the editor window shows these menus as its own.
namespace EditMenu {

// A widget with this property set to true leaves Undo and Redo to its parents, whatever typing
// it could take back.
inline constexpr const char* leavesUndoToParents = "leavesUndoToParents";

std::unique_ptr<QMenu> makeMainMenu();
// The menus' titles in the current language.
void retitle(QMenu* mainMenu);
// Names the steps that Undo and Redo would take back and make again, by their string keys
// ("Undo Delete Quote"); an empty key leaves the plain title. Kept over later retitles.
void nameSteps(QMenu* mainMenu, const QString& undoStep, const QString& redoStep);
// The Edit menu of the main menu.
QMenu* editMenu(const QMenu* mainMenu);

} // namespace EditMenu
