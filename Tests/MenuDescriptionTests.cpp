#include "MenuDescription.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

void collectIds(const MenuEntry& entry, std::vector<int>& ids) {
    ids.push_back(entry.id);
    for (const MenuEntry& child : entry.children)
        collectIds(child, ids);
}

std::vector<int> idsOfMenu(const QString& submenuTitle, MenuDescription* built = nullptr) {
    MenuDescription menu;
    menu.add(MenuEntry::item(u"Open"_s, {}));
    menu.add(MenuEntry::separator());
    menu.add(MenuEntry::submenu(submenuTitle, {MenuEntry::item(u"A"_s, {})}));
    menu.add(MenuEntry::item(u"Quit"_s, {}));
    std::vector<int> ids;
    collectIds(menu.root(), ids);
    if (built)
        *built = std::move(menu);
    return ids;
}

} // namespace

TEST(MenuDescription, IdsAreUniqueFromZeroAndTheSameWhenTheMenuIsBuiltAgain) {
    MenuDescription menu;
    const std::vector<int> ids = idsOfMenu(u"Choose"_s, &menu);
    EXPECT_EQ(ids, (std::vector<int>{0, 1, 2, 3, 4, 5})) << "depth first, the root 0";
    EXPECT_EQ(idsOfMenu(u"Chọn"_s), ids) << "another language, the same ids";
    EXPECT_EQ(menu.find(4)->title, u"A"_s);
    EXPECT_EQ(menu.find(6), nullptr);

    EXPECT_EQ(menu.add(MenuEntry::item(u"Under an item"_s, {}), 1), -1);
    EXPECT_EQ(menu.add(MenuEntry::separator(), 42), -1);
    EXPECT_EQ(menu.add(MenuEntry::item(u"B"_s, {}), 3), 6) << "nothing numbered for the refused";
    EXPECT_EQ(menu.find(3)->children.size(), 2U);
    EXPECT_EQ(menu.lastId(), 6);
}
