#include "app/command_table.h"

#include <gtest/gtest.h>

#include <set>

namespace kirvo {
namespace {

void CollectMenuIds(std::span<const MenuItem> items, std::vector<CommandId>& ids) {
    for (const MenuItem& item : items) {
        if (item.isSubMenu()) {
            CollectMenuIds(item.subItems, ids);
        } else if (!item.isSeparator()) {
            ids.push_back(item.id);
        }
    }
}

// Every command a menu, the toolbar or an accelerator names has its texts,
// and no command is listed twice.
TEST(CommandTable, EveryReferencedCommandHasItsTexts) {
    std::set<int> seen;
    for (const CommandInfo& info : CommandTable::Commands()) {
        EXPECT_TRUE(seen.insert(ToInt(info.id)).second) << ToInt(info.id);
    }
    std::vector<CommandId> menuIds;
    for (const Menu& menu : CommandTable::MainMenu()) CollectMenuIds(menu.items, menuIds);
    EXPECT_EQ(menuIds.size(), std::set<CommandId>(menuIds.begin(), menuIds.end()).size());
    for (CommandId id : menuIds) {
        const CommandInfo* info = CommandTable::Find(id);
        ASSERT_NE(info, nullptr) << ToInt(id);
        EXPECT_FALSE(info->menuText.empty()) << ToInt(id);
        EXPECT_FALSE(info->prompt.empty()) << ToInt(id);
    }
    int buttons = 0;
    for (CommandId id : CommandTable::Toolbar()) {
        if (id == CommandId::None) continue;
        ++buttons;
        const CommandInfo* info = CommandTable::Find(id);
        ASSERT_NE(info, nullptr) << ToInt(id);
        EXPECT_FALSE(info->toolTip.empty()) << ToInt(id);
        EXPECT_FALSE(info->icon.empty()) << ToInt(id);
    }
    EXPECT_EQ(buttons, 14);
    for (const Accelerator& accelerator : CommandTable::Accelerators()) {
        EXPECT_NE(CommandTable::Find(accelerator.id), nullptr) << accelerator.keys;
    }
}

}  // namespace
}  // namespace kirvo
