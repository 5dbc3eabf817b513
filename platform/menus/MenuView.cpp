#include "MenuView.h"

#include <QAction>
#include <QMenu>

namespace {

constexpr const char* entryIdProperty = "menuEntryId";

void addEntries(QMenu* menu, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& entry : entries) {
        QAction* item = nullptr;
        switch (entry.kind) {
        case MenuEntry::Kind::separator:
            item = menu->addSeparator();
            break;
        case MenuEntry::Kind::submenu: {
            auto* submenu = new QMenu(menu);
            addEntries(submenu, entry.children);
            item = menu->addMenu(submenu);
            item->setText(entry.title);
            // Named after its item for assistive technologies, which otherwise find a nameless
            // menu.
            submenu->setAccessibleName(entry.title);
            break;
        }
        case MenuEntry::Kind::action:
            item = menu->addAction(entry.title);
            item->setShortcut(entry.shortcut);
            item->setShortcutVisibleInContextMenu(true);
            item->setCheckable(entry.checkable);
            item->setChecked(entry.checked);
            QObject::connect(item, &QAction::triggered, item, [item, action = entry.action] {
                if (item->isCheckable())
                    item->setChecked(!item->isChecked());
                if (action)
                    action();
            });
            break;
        }
        item->setEnabled(entry.enabled);
        item->setData(entry.data);
        item->setProperty(entryIdProperty, entry.id);
    }
}

} // namespace

QMenu* makeMenu(const MenuDescription& description, QWidget* parent) {
    auto* menu = new QMenu(parent);
    addEntries(menu, description.root().children);
    return menu;
}

QAction* findMenuItem(const QMenu* menu, int id) {
    if (!menu)
        return nullptr;
    for (QAction* item : menu->actions()) {
        if (item->property(entryIdProperty) == id)
            return item;
        if (QAction* found = findMenuItem(item->menu(), id))
            return found;
    }
    return nullptr;
}
