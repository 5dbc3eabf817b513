#include "EditorWindow.h"

#include "AccessibleWindows.h"
#include "EditMenu.h"
#include "Localization.h"
#include "QuotesView.h"

#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace EditorWindow {

std::unique_ptr<QWidget> make(QuoteManager& manager, LocalizationManager& loc, QMenu* mainMenu) {
    installAccessibleWindows();
    auto window = std::make_unique<QWidget>(
        nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                     Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    window->setObjectName(u"quotesWindow"_s);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menuBar = new QMenuBar(window.get());
    if (mainMenu) {
        for (QAction* item : mainMenu->actions()) {
            // The untitled application menu has no place in a window's menu bar.
            if (item->menu() && !item->menu()->title().isEmpty())
                menuBar->addMenu(item->menu());
        }
    }
    layout->setMenuBar(menuBar);
    auto* view = new QuotesView(manager, loc, window.get());
    layout->addWidget(view);
    // Undo and Redo name the step they would take back or make again, as the menu opens.
    if (QMenu* edit = EditMenu::editMenu(mainMenu))
        QObject::connect(edit, &QMenu::aboutToShow, view, [view, mainMenu] {
            EditMenu::nameSteps(mainMenu, view->undoStep(), view->redoStep());
        });
    retitle(window.get());
    layout->activate();
    window->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    return window;
}

void retitle(QWidget* window) {
    if (window)
        window->setWindowTitle(LocalizationManager::shared().localizedString(u"EditQuotesTitle"_s));
}

} // namespace EditorWindow
