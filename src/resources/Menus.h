#pragma once
// The menus of the window as resources: each item is a command id and the string-table id of
// its text. The Session menu is resource 128 of the handheld; the Help menu is this program's.

#include <span>

namespace orv {

struct MenuItem
{
    int command;  // 0: a separator
    int textId;
};

struct MenuResource
{
    int id;
    int titleId;
    std::span<const MenuItem> items;
};

// Session (128): New, Open, Save, Close.
const MenuResource& SessionMenu();
// Help: Keys, About.
const MenuResource& HelpMenu();

}  // namespace orv
