#pragma once
#include <span>
#include <string_view>

#include "view/command_id.h"

namespace kirvo {

// Texts of one command as the user sees them.
struct CommandInfo {
    CommandId id;
    // Main-menu text with its mnemonic ('&') and, after a tab, the shortcut
    // text; empty for commands without a main-menu item.
    std::string_view menuText;
    // Status-bar prompt while the item or button is hovered.
    std::string_view prompt;
    // Tool tip of the toolbar button or bar button; empty for none.
    std::string_view toolTip;
    // Icon name in the ":/icons" resource folder; empty for none.
    std::string_view icon;
};

// One item of a menu: a command, a separator (id None, no sub-items) or a
// sub-menu (title and sub-items).
struct MenuItem {
    CommandId id = CommandId::None;
    std::string_view subMenuTitle = {};
    std::span<const MenuItem> subItems = {};

    bool isSeparator() const { return id == CommandId::None && subItems.empty(); }
    bool isSubMenu() const { return !subItems.empty(); }
};

struct Menu {
    std::string_view title;
    std::span<const MenuItem> items;
};

// Keys in portable key-sequence text ("Ctrl+Ins", "Alt+~").
struct Accelerator {
    std::string_view keys;
    CommandId id;
};

class CommandTable {
public:
    static std::span<const CommandInfo> Commands();
    // nullptr for an id without texts.
    static const CommandInfo* Find(CommandId id);

    static std::span<const Menu> MainMenu();
    // Button commands in order; CommandId::None marks a separator.
    static std::span<const CommandId> Toolbar();
    static std::span<const Accelerator> Accelerators();

    // Commands that never run: no document is ever created, opened, saved or
    // printed, and the recent-file list stays empty.
    static bool IsAlwaysDisabled(CommandId id);
};

}  // namespace kirvo
