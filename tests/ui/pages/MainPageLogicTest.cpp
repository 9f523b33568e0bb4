// The Main pages' decisions without a screen: frequency stepping, the Start text, the radius
// spin, key acceleration, battery texts and the choice of the graphic.

#include "ui/pages/MainPageLogic.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace orv {
namespace {

using namespace main_page;

TEST(MainPageLogic, FrequencySteppingOverTheActiveOnes)
{
    FrequencyFlags used{};
    used[2] = 1;  // frequency 3
    used[6] = 1;  // frequency 7
    EXPECT_EQ(StepFrequency(3, -1, used), 7);
    EXPECT_EQ(StepFrequency(7, -1, used), 3);
    EXPECT_EQ(StepFrequency(3, +1, used), 7);
    EXPECT_EQ(StepFrequency(7, +1, used), 3);
    EXPECT_EQ(StepFrequency(7, 0, used), 7);
    // A number out of range starts at the ends.
    EXPECT_EQ(StepFrequency(20, -1, used), 3);
    EXPECT_EQ(StepFrequency(0, +1, used), 7);
    // No active frequency: the search stays where it began.
    const FrequencyFlags none{};
    EXPECT_EQ(StepFrequency(5, -1, none), 6);
    EXPECT_EQ(StepFrequency(5, +1, none), 4);
    EXPECT_EQ(FirstActiveFrequency(4, used), 7);
    EXPECT_EQ(FirstActiveFrequency(8, used), 3);
    EXPECT_EQ(FirstActiveFrequency(3, used), 3);
}

TEST(MainPageLogic, ButtonsSpinsAndTexts)
{
    EXPECT_EQ(StartTextId(false, false), 32791);
    EXPECT_EQ(StartTextId(true, true), 32793);
    EXPECT_EQ(StartTextId(true, false), 32792);

    EXPECT_EQ(StepRadius(2, +1), 99);
    EXPECT_EQ(StepRadius(99, -1), 2);
    EXPECT_EQ(StepRadius(50, -1), 51);

    KeyAcceleration keys;
    EXPECT_EQ(keys.Steps(false), 1);
    std::vector<int> steps;
    for (int i = 0; i < 12; ++i) {
        steps.push_back(keys.Steps(true));
    }
    EXPECT_EQ(steps, (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(keys.Steps(false), 1);
    EXPECT_EQ(keys.Steps(true), 1);

    EXPECT_EQ(BatteryText(57), "57%");
    EXPECT_EQ(BatteryText(101), "");
    EXPECT_EQ(BatteryText(-1), "");
    EXPECT_EQ(InstrumentBatteryText(true, 1234), "12.3V");
    EXPECT_EQ(InstrumentBatteryText(false, 1234), "N/A");
    EXPECT_EQ(BatteryPopupText(80), "Battery charge remaining: 80%");
}

TEST(GraphicSelection, OkStepsThroughTheQualifyingGraphics)
{
    GraphicSelection selection;
    std::set<int> qualifying{1001, 1002, 1003, 1004};
    const auto draw = [&](int frame) { return qualifying.count(frame) > 0; };
    selection.AdjustGrid(0, 2, 1);
    EXPECT_EQ(selection.Choose(draw), 1001);
    std::vector<int> shown;
    for (int i = 0; i < 4; ++i) {
        selection.AdjustGrid(0, 2, 1);
        shown.push_back(selection.Choose(draw));
    }
    EXPECT_EQ(shown, (std::vector<int>{1002, 1003, 1004, 1001}));

    // The profile curve shown and only the frequency changed: the curve is drawn again.
    selection.AdjustGrid(0, 2, 1);
    selection.Choose(draw);
    selection.AdjustGrid(0, 2, 1);
    ASSERT_EQ(selection.Choose(draw), 1003);
    selection.AdjustGrid(0, 2, 2);
    EXPECT_EQ(selection.Choose(draw), 1003);
    // The map shown and the frequency changed: the map again.
    selection.Reset();
    selection.AdjustGrid(0, 2, 2);
    ASSERT_EQ(selection.Choose(draw), 1001);
    selection.AdjustGrid(0, 2, 3);
    EXPECT_EQ(selection.Choose(draw), 1001);
    // A view command redraws the same graphic.
    selection.Again();
    EXPECT_EQ(selection.Choose(draw), 1001);

    // Only the sounding curve qualifies: OK keeps it.
    qualifying = {1004};
    selection.AdjustGrid(0, 2, 3);
    EXPECT_EQ(selection.Choose(draw), 1004);
    selection.AdjustGrid(0, 2, 3);
    EXPECT_EQ(selection.Choose(draw), 1004);
    // Nothing qualifies: "Ready".
    qualifying.clear();
    EXPECT_EQ(selection.Choose(draw), 0);
    EXPECT_EQ(GraphicStatusText(selection.Shown(), false, 1, 1, 1, true), "Ready");

    EXPECT_EQ(GraphicStatusText(1001, false, 2, 3, 5, true), "Map: frequency 5 (proportional)");
    EXPECT_EQ(GraphicStatusText(1002, false, 2, 3, 5, false), "Section: profile 2 (fit to screen)");
    EXPECT_EQ(GraphicStatusText(1003, true, 2, 3, 5, false),
              "Profile curve: profile 0, frequency 5");
    EXPECT_EQ(GraphicStatusText(1004, false, 2, 3, 5, false),
              "Sounding curve: profile 2, station 3");
    EXPECT_EQ(GraphicStatusText(1004, true, 2, 3, 5, false), "Sounding curve: station 3");
}

TEST(GraphicSelection, TrackAdjustments)
{
    GraphicSelection selection;
    const auto all = [](int) { return true; };
    selection.AdjustTrack(4, 1, 50);
    ASSERT_EQ(selection.Choose(all), 1001);
    selection.AdjustTrack(4, 1, 60);  // the radius changed: the map again
    EXPECT_EQ(selection.Choose(all), 1001);
    selection.AdjustTrack(4, 1, 60);
    selection.Choose(all);
    selection.AdjustTrack(4, 1, 60);
    selection.Choose(all);
    selection.AdjustTrack(4, 1, 60);
    ASSERT_EQ(selection.Choose(all), 1004);
    selection.AdjustTrack(5, 1, 60);  // another station: its sounding curve
    EXPECT_EQ(selection.Choose(all), 1004);
}

}  // namespace
}  // namespace orv
