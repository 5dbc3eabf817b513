#include "EditMenu.h"

#include "Localization.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace EditMenu {

namespace {

// Where a command's step name is kept on its item.
constexpr const char* stepProperty = "stepKey";

// Whether the object would do the command now: a text field with nothing to undo, or one that
// leaves its undo to its parents (a search field), leaves Undo to its parents.
bool willDo(const QObject* target, const char* slot) {
    const bool undo = qstrcmp(slot, "undo()") == 0;
    const bool redo = qstrcmp(slot, "redo()") == 0;
    if ((undo || redo) && target->property(EditMenu::leavesUndoToParents).toBool())
        return false;
    if (undo && target->property("undoAvailable") == false)
        return false;
    if (redo && target->property("redoAvailable") == false)
        return false;
    return true;
}

// Sends an editing command to the first widget that answers it, starting at the focused one and
// going up through its parents: QLineEdit and the other text widgets all have these slots.
void sendToFocusedWidget(const char* slot) {
    for (QObject* target = QApplication::focusWidget(); target; target = target->parent()) {
        if (target->metaObject()->indexOfMethod(
                QMetaObject::normalizedSignature(slot).constData()) >= 0 &&
            willDo(target, slot)) {
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
    edit->addSeparator();
    addCommand(u"MoveUp"_s, QKeySequence(Qt::ALT | Qt::Key_Up), "moveUp()");
    addCommand(u"MoveDown"_s, QKeySequence(Qt::ALT | Qt::Key_Down), "moveDown()");
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
            if (command->objectName().isEmpty())
                continue;
            const QString step = command->property(stepProperty).toString();
            command->setText(step.isEmpty() ? loc.localizedString(command->objectName())
                                            : loc.localizedString(command->objectName() + u"Step"_s)
                                                  .arg(loc.localizedString(step)));
        }
    }
}

QMenu* editMenu(const QMenu* mainMenu) {
    return mainMenu ? mainMenu->findChild<QMenu*>(u"Edit"_s, Qt::FindDirectChildrenOnly) : nullptr;
}

void nameSteps(QMenu* mainMenu, const QString& undoStep, const QString& redoStep) {
    QMenu* edit = editMenu(mainMenu);
    if (!edit)
        return;
    for (QAction* command : edit->actions()) {
        if (command->objectName() == u"Undo"_s)
            command->setProperty(stepProperty, undoStep);
        else if (command->objectName() == u"Redo"_s)
            command->setProperty(stepProperty, redoStep);
    }
    retitle(mainMenu);
}

} // namespace EditMenu
