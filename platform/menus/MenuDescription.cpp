#include "MenuDescription.h"

namespace {

template <typename Entry> Entry* findIn(Entry& entry, int id) {
    if (entry.id == id)
        return &entry;
    for (auto& child : entry.children) {
        if (Entry* found = findIn(child, id))
            return found;
    }
    return nullptr;
}

} // namespace

MenuEntry MenuEntry::item(const QString& title, std::function<void()> action,
                          const QKeySequence& shortcut) {
    MenuEntry entry;
    entry.title = title;
    entry.action = std::move(action);
    entry.shortcut = shortcut;
    return entry;
}

MenuEntry MenuEntry::separator() {
    MenuEntry entry;
    entry.kind = Kind::separator;
    return entry;
}

MenuEntry MenuEntry::submenu(const QString& title, std::vector<MenuEntry> children) {
    MenuEntry entry;
    entry.kind = Kind::submenu;
    entry.title = title;
    entry.children = std::move(children);
    return entry;
}

MenuDescription::MenuDescription() {
    rootEntry.id = 0;
    rootEntry.kind = MenuEntry::Kind::submenu;
}

int MenuDescription::add(MenuEntry entry, int parentId) {
    MenuEntry* parent = find(parentId);
    if (!parent || parent->kind != MenuEntry::Kind::submenu)
        return -1;
    number(entry);
    const int id = entry.id;
    parent->children.push_back(std::move(entry));
    return id;
}

void MenuDescription::number(MenuEntry& entry) {
    entry.id = nextId++;
    for (MenuEntry& child : entry.children)
        number(child);
}

const MenuEntry* MenuDescription::find(int id) const {
    return findIn(rootEntry, id);
}

MenuEntry* MenuDescription::find(int id) {
    return findIn(rootEntry, id);
}
