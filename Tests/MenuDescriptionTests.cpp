#include "MenuDescription.h"
#include "MenuView.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>
#include <set>

using namespace Qt::StringLiterals;

namespace {

void collectIds(const MenuEntry& entry, std::vector<int>& ids) {
    ids.push_back(entry.id);
    for (const MenuEntry& child : entry.children)
        collectIds(child, ids);
}

std::vector<int> allIds(const MenuDescription& menu) {
    std::vector<int> ids;
    collectIds(menu.root(), ids);
    return ids;
}

// A menu with a little of everything; `runs` counts the actions run, by title.
MenuDescription sampleMenu(const std::shared_ptr<QStringList>& runs, bool vietnamese = false) {
    auto run = [runs](const QString& title) { return [runs, title] { runs->append(title); }; };
    MenuDescription menu;
    menu.add(MenuEntry::item(vietnamese ? u"Mở"_s : u"Open"_s, run(u"Open"_s),
                             QKeySequence(Qt::CTRL | Qt::Key_E)));
    MenuEntry toggle = MenuEntry::item(u"Switch"_s, run(u"Switch"_s));
    toggle.checkable = true;
    toggle.checked = true;
    menu.add(std::move(toggle));
    menu.add(MenuEntry::separator());
    MenuEntry choices = MenuEntry::submenu(vietnamese ? u"Chọn"_s : u"Choose"_s);
    for (const QString& name : {u"A"_s, u"B"_s}) {
        MenuEntry choice = MenuEntry::item(name, run(name));
        choice.checkable = true;
        choice.exclusive = true;
        choice.checked = name == u"B"_s;
        choice.data = name.toLower();
        choices.children.push_back(std::move(choice));
    }
    menu.add(std::move(choices));
    MenuEntry off = MenuEntry::item(u"Off"_s, run(u"Off"_s));
    off.enabled = false;
    menu.add(std::move(off));
    return menu;
}

} // namespace

TEST(MenuDescription, IdsAreUniqueFromZeroAndTheSameWhenTheMenuIsBuiltAgain) {
    const auto runs = std::make_shared<QStringList>();
    const MenuDescription menu = sampleMenu(runs);
    const std::vector<int> ids = allIds(menu);
    EXPECT_EQ(ids.front(), 0) << "the root";
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());
    EXPECT_EQ(menu.lastId(), int(ids.size()) - 1);
    EXPECT_EQ(allIds(sampleMenu(runs, true)), ids) << "another language, the same ids";

    for (const int id : ids)
        EXPECT_EQ(menu.find(id)->id, id);
    EXPECT_EQ(menu.find(5)->title, u"A"_s) << "a submenu's entries are numbered after it";
    EXPECT_EQ(menu.find(99), nullptr);
    EXPECT_EQ(menu.find(-1), nullptr);
}

TEST(MenuDescription, EntriesGoOnlyIntoSubmenus) {
    MenuDescription menu;
    const int item = menu.add(MenuEntry::item(u"Item"_s, [] {}));
    const int submenu = menu.add(MenuEntry::submenu(u"More"_s));
    EXPECT_EQ(menu.add(MenuEntry::item(u"Under an item"_s, [] {}), item), -1);
    EXPECT_EQ(menu.add(MenuEntry::separator(), 42), -1);
    EXPECT_EQ(menu.lastId(), 2) << "nothing was numbered for the refused entries";
    const int nested = menu.add(MenuEntry::item(u"Nested"_s, [] {}), submenu);
    EXPECT_EQ(nested, 3);
    ASSERT_EQ(menu.find(submenu)->children.size(), 1U);
    EXPECT_EQ(menu.find(nested)->title, u"Nested"_s);
}

TEST(MenuView, ShowsEveryEntryAndEachChoiceRunsItsActionOnce) {
    const auto runs = std::make_shared<QStringList>();
    const MenuDescription description = sampleMenu(runs);
    const std::unique_ptr<QMenu> menu(makeMenu(description));

    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0]->text(), u"Open"_s);
    EXPECT_EQ(items[0]->shortcut(), QKeySequence(u"Ctrl+E"_s));
    EXPECT_TRUE(items[0]->isShortcutVisibleInContextMenu());
    EXPECT_FALSE(items[0]->isCheckable());
    EXPECT_TRUE(items[1]->isCheckable());
    EXPECT_TRUE(items[1]->isChecked());
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), u"Choose"_s);
    ASSERT_TRUE(items[3]->menu());
    const QList<QAction*> choices = items[3]->menu()->actions();
    ASSERT_EQ(choices.size(), 2);
    EXPECT_FALSE(choices[0]->isChecked());
    EXPECT_TRUE(choices[1]->isChecked());
    EXPECT_EQ(choices[1]->data().toString(), u"b"_s);
    EXPECT_FALSE(items[4]->isEnabled());

    for (const int id : allIds(description)) {
        QAction* item = findMenuItem(menu.get(), id);
        if (id == 0) {
            EXPECT_EQ(item, nullptr) << "the root is the menu itself";
            continue;
        }
        ASSERT_TRUE(item) << id;
        EXPECT_EQ(item->text(), description.find(id)->title);
    }

    items[0]->trigger();
    choices[0]->trigger();
    // The check marks are the actions' to change: a choice alone moves none.
    items[1]->trigger();
    EXPECT_TRUE(items[1]->isChecked());
    EXPECT_FALSE(choices[0]->isChecked());
    items[4]->trigger();
    EXPECT_EQ(*runs, (QStringList{u"Open"_s, u"A"_s, u"Switch"_s}))
        << "each once; the disabled item runs nothing";
}
