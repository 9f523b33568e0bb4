#pragma once
// The menus of the window as resources: each item is a command id and the string-table id of
// its text. The Session (128), Colour (150) and View (157) menus are the handheld's; the Help
// menu is this program's.

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
// View (157) of the Main pages: Grid, Scale marks, a separator, Fit to screen; on the GPS-track
// page (`track`) also a separator and Show GPS track. The page checks the items from the
// configuration when it opens the menu.
const MenuResource& ViewMenu(bool track);
// Colour (150) of the view settings page's colour strips: Change, Append, a separator, Reverse,
// Delete, a separator, RGB, RES2DINV, then a separator and viridis, cividis, cool-warm.
const MenuResource& ColourMenu();

}  // namespace orv
