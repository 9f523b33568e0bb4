#include "resources/Menus.h"

#include "resources/ResourceIds.h"

#include <cstddef>

namespace orv {

namespace {

constexpr MenuItem kSessionItems[] = {
    {command_id::kNew, string_id::kMenuNew},     {command_id::kOpen, string_id::kMenuOpen},
    {command_id::kSave, string_id::kMenuSave},   {command_id::kSaveAs, string_id::kMenuSaveAs},
    {command_id::kExport, string_id::kMenuExport},
    {0, 0},
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

constexpr MenuResource kSession = {menu_id::kSession, string_id::kSessionMenu, kSessionItems};
constexpr MenuResource kHelp = {menu_id::kHelp, string_id::kHelpMenu, kHelpItems};
constexpr MenuResource kViewGrid = {menu_id::kView, string_id::kViewMenuTitle,
                                    std::span<const MenuItem>(kViewItems, kGridViewItemCount)};
constexpr MenuResource kViewTrack = {menu_id::kView, string_id::kViewMenuTitle, kViewItems};

}  // namespace

const MenuResource& SessionMenu() { return kSession; }

const MenuResource& HelpMenu() { return kHelp; }

const MenuResource& ViewMenu(bool track) { return track ? kViewTrack : kViewGrid; }

}  // namespace orv
