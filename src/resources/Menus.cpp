#include "resources/Menus.h"

#include "resources/ResourceIds.h"

namespace orv {

namespace {

constexpr MenuItem kSessionItems[] = {
    {command_id::kNew, string_id::kMenuNew},     {command_id::kOpen, string_id::kMenuOpen},
    {command_id::kSave, string_id::kMenuSave},   {0, 0},
    {command_id::kClose, string_id::kMenuClose},
};

constexpr MenuItem kHelpItems[] = {
    {command_id::kHelpKeys, string_id::kMenuKeys},
    {command_id::kHelpAbout, string_id::kMenuAbout},
};

constexpr MenuResource kSession = {menu_id::kSession, string_id::kSessionMenu, kSessionItems};
constexpr MenuResource kHelp = {menu_id::kHelp, string_id::kHelpMenu, kHelpItems};

}  // namespace

const MenuResource& SessionMenu() { return kSession; }

const MenuResource& HelpMenu() { return kHelp; }

}  // namespace orv
