#include "EditMenu.h"

#include "Localization.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace EditMenu {

namespace {

// Sends an editing command to the first widget that answers it, starting at the focused one and
// going up through its parents: QLineEdit and the other text widgets all have these slots.
void sendToFocusedWidget(const char* slot) {
    for (QObject* target = QApplication::focusWidget(); target; target = target->parent()) {
        if (target->metaObject()->indexOfMethod(
                QMetaObject::normalizedSignature(slot).constData()) >= 0) {
            QByteArray name(slot);
            name.truncate(name.indexOf('('));
            QMetaObject::invokeMethod(target, name.constData());
            return;
        }
    }
}

} // namespace

std::unique_ptr<QMenu> makeMainMenu() {
    auto mainMenu = std::make_unique<QMenu>();
    mainMenu->addMenu(new QMenu(mainMenu.get()));
    auto* edit = new QMenu(mainMenu.get());
    edit->setObjectName(u"Edit"_s);
    // Each item keeps its string key as its object name, for the titles in every language.
    auto addCommand = [edit](const QString& key, const QKeySequence& shortcut, const char* slot) {
        QAction* item = edit->addAction(key);
        item->setObjectName(key);
        item->setShortcut(shortcut);
        item->setShortcutVisibleInContextMenu(true);
        QObject::connect(item, &QAction::triggered, item, [slot] { sendToFocusedWidget(slot); });
    };
    addCommand(u"Undo"_s, QKeySequence(Qt::CTRL | Qt::Key_Z), "undo()");
    addCommand(u"Redo"_s, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), "redo()");
    edit->addSeparator();
    addCommand(u"Cut"_s, QKeySequence(Qt::CTRL | Qt::Key_X), "cut()");
    addCommand(u"Copy"_s, QKeySequence(Qt::CTRL | Qt::Key_C), "copy()");
    addCommand(u"Paste"_s, QKeySequence(Qt::CTRL | Qt::Key_V), "paste()");
    addCommand(u"SelectAll"_s, QKeySequence(Qt::CTRL | Qt::Key_A), "selectAll()");
    edit->addSeparator();
    // The editor's search field, from anywhere in its window.
    addCommand(u"Find"_s, QKeySequence(Qt::CTRL | Qt::Key_F), "find()");
    mainMenu->addMenu(edit);
    retitle(mainMenu.get());
    return mainMenu;
}

void retitle(QMenu* mainMenu) {
    if (!mainMenu)
        return;
    const LocalizationManager& loc = LocalizationManager::shared();
    for (QAction* item : mainMenu->actions()) {
        QMenu* submenu = item->menu();
        if (!submenu || submenu->objectName().isEmpty())
            continue;
        submenu->setTitle(loc.localizedString(submenu->objectName()));
        for (QAction* command : submenu->actions()) {
            if (!command->objectName().isEmpty())
                command->setText(loc.localizedString(command->objectName()));
        }
    }
}

} // namespace EditMenu
