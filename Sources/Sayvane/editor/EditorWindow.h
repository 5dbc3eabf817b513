#pragma once

#include <memory>

class LocalizationManager;
class QMenu;
class QWidget;
class QuoteManager;

// The editor window: the quotes view under a menu bar with the main menu's titled menus, titled
// in the current language, sized to its content and centred on the primary screen. Closing it
// hides it.
namespace EditorWindow {

std::unique_ptr<QWidget> make(QuoteManager& manager, LocalizationManager& loc, QMenu* mainMenu);
// The window's title in the current language.
void retitle(QWidget* window);

} // namespace EditorWindow
