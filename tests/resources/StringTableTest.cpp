#include "resources/StringTable.h"

#include "resources/Menus.h"
#include "resources/ResourceIds.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv {
namespace {

TEST(StringTable, FillsPlaceholdersAndKeepsTheRest)
{
    EXPECT_EQ(FormatResource(string_id::kEnterIntegerBetween, {"1", "65535"}),
              "Enter an integer between 1 and 65535.");
    // A missing argument leaves its placeholder; a percent sign that is no placeholder stays.
    EXPECT_EQ(FormatPlaceholders("%1 of %2 at 100%", {"3"}), "3 of %2 at 100%");
    EXPECT_EQ(FormatResource(61858, {"/data/a.orv"}), "/data/a.orv was not found.");
    EXPECT_EQ(PrintfResource(string_id::kDeviceEntry, 12, 5, 3, 2008), "ORV 12, 05/03/2008");
    EXPECT_EQ(PrintfResource(string_id::kBatteryRemaining, 57), "Battery charge remaining: 57%");
    EXPECT_TRUE(ResourceString(99999).empty());
}

TEST(StringTable, MenusAndBaudRatesHaveTheirTexts)
{
    for (const MenuResource* menu :
         {&SessionMenu(), &HelpMenu(), &ViewMenu(false), &ViewMenu(true), &ColourMenu()}) {
        EXPECT_FALSE(ResourceString(menu->titleId).empty());
        for (const MenuItem& item : menu->items) {
            EXPECT_TRUE(item.command == 0 || !ResourceString(item.textId).empty());
        }
    }
    // The track page's View menu is the grid page's with "Show GPS track" after a separator.
    const auto commands = [](const MenuResource& menu) {
        std::vector<int> out;
        for (const MenuItem& item : menu.items) {
            out.push_back(item.command);
        }
        return out;
    };
    EXPECT_EQ(commands(ViewMenu(false)), (std::vector<int>{32809, 32808, 0, 32805}));
    EXPECT_EQ(commands(ViewMenu(true)), (std::vector<int>{32809, 32808, 0, 32805, 0, 32810}));
    EXPECT_EQ(ViewMenu(true).id, 157);
    // The Colour menu keeps the handheld's order and ids; the new presets follow.
    EXPECT_EQ(commands(ColourMenu()), (std::vector<int>{10000, 10001, 0, 10002, 10003, 0, 10005,
                                                        10004, 0, 10006, 10007, 10008}));
    EXPECT_EQ(ColourMenu().id, 150);
    EXPECT_EQ(ResourceString(ViewMenu(true).items.back().textId), "Show GPS track");
    EXPECT_EQ(ResourceString(string_id::kBaudFirst), "110");
    EXPECT_EQ(ResourceString(81), "19200");
    EXPECT_EQ(ResourceString(string_id::kBaudLast), "256000");
}

}  // namespace
}  // namespace orv
