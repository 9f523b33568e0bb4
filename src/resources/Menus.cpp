#include "resources/Menus.h"

#include "resources/ResourceIds.h"

#include <cstddef>

namespace orv {

namespace {

constexpr MenuItem kSessionItems[] = {
    {command_id::kNew, string_id::kMenuNew},       {command_id::kOpen, string_id::kMenuOpen},
    {command_id::kSave, string_id::kMenuSave},     {command_id::kSaveAs, string_id::kMenuSaveAs},
    {command_id::kExport, string_id::kMenuExport}, {0, 0},
    {command_id::kClose, string_id::kMenuClose},
};

constexpr MenuItem kHelpItems[] = {
    {command_id::kHelpKeys, string_id::kMenuKeys},
    {command_id::kHelpAbout, string_id::kMenuAbout},
};

// The grid page's menu is the first four items.
constexpr MenuItem kViewItems[] = {
    {command_id::kGrid, string_id::kGridItem},
    {command_id::kScaleMarks, string_id::kScaleMarksItem},
    {0, 0},
    {command_id::kFitToScreen, string_id::kFitToScreenItem},
    {0, 0},
    {command_id::kShowGpsTrack, string_id::kShowGpsTrackItem},
};
constexpr size_t kGridViewItemCount = 4;

// Change, Append, separator, Reverse, Delete, separator, the handheld's presets, separator, this
// program's presets.
constexpr MenuItem kColourItems[] = {
    {command_id::kColourChange, string_id::kMenuChange},
    {command_id::kColourAppend, string_id::kMenuAppend},
    {0, 0},
    {command_id::kColourReverse, string_id::kMenuReverse},
    {command_id::kColourDelete, string_id::kMenuDeleteColour},
    {0, 0},
    {command_id::kColourRgb, string_id::kMenuRgb},
    {command_id::kColourRes2dinv, string_id::kMenuRes2dinv},
    {0, 0},
    {command_id::kColourViridis, string_id::kMenuViridis},
    {command_id::kColourCividis, string_id::kMenuCividis},
    {command_id::kColourCoolWarm, string_id::kMenuCoolWarm},
};

constexpr MenuResource kSession = {menu_id::kSession, string_id::kSessionMenu, kSessionItems};
constexpr MenuResource kHelp = {menu_id::kHelp, string_id::kHelpMenu, kHelpItems};
constexpr MenuResource kViewGrid = {menu_id::kView, string_id::kViewMenuTitle,
                                    std::span<const MenuItem>(kViewItems, kGridViewItemCount)};
constexpr MenuResource kViewTrack = {menu_id::kView, string_id::kViewMenuTitle, kViewItems};
constexpr MenuResource kColour = {menu_id::kColour, string_id::kColourMenu, kColourItems};

}  // namespace

const MenuResource& SessionMenu() { return kSession; }

const MenuResource& HelpMenu() { return kHelp; }

const MenuResource& ViewMenu(bool track) { return track ? kViewTrack : kViewGrid; }

const MenuResource& ColourMenu() { return kColour; }

}  // namespace orv
