#pragma once

#include <QKeySequence>
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

// One entry of a menu: an item that runs an action, a separator, or a submenu with entries of
// its own. Titles are already in the language the menu is shown in.
struct MenuEntry {
    enum class Kind { action, separator, submenu };

    // Given by the description when the entry is added; unique in its tree.
    int id = -1;
    Kind kind = Kind::action;
    QString title;
    QKeySequence shortcut;
    bool checkable = false;
    bool checked = false;
    // One of a group of which one is checked (a radio item), rather than a switch of its own.
    bool exclusive = false;
    bool enabled = true;
    // What the item stands for, kept with it (a language's code, a screen's name).
    QVariant data;
    std::function<void()> action;
    std::vector<MenuEntry> children;

    static MenuEntry item(const QString& title, std::function<void()> action,
                          const QKeySequence& shortcut = {});
    static MenuEntry separator();
    static MenuEntry submenu(const QString& title, std::vector<MenuEntry> children = {});
};

// A menu described once, with no widget and no bus, so that every view of it (a QMenu, a menu
// exported over D-Bus) shows the same items. The root is a submenu without title whose id is 0;
// the entries added to it are numbered from 1 in the order they are added, depth first, so that
// the same menu built again gets the same ids.
class MenuDescription {
public:
    MenuDescription();

    const MenuEntry& root() const { return rootEntry; }

    // Adds the entry and everything under it at the end of the root's entries, or of the
    // submenu `parentId`; gives the entry's id, or -1 when there is no such submenu.
    int add(MenuEntry entry, int parentId = 0);

    // The entry with this id, or null.
    const MenuEntry* find(int id) const;
    MenuEntry* find(int id);

    // The largest id in use (0 for an empty menu).
    int lastId() const { return nextId - 1; }

private:
    void number(MenuEntry& entry);

    MenuEntry rootEntry;
    int nextId = 1;
};
