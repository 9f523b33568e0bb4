#include "charts/ColourChart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orv {
namespace {

TEST(ColourChart, RgbPresetMapsRangeEndsAndMiddleToItsStops)
{
    ColourChart chart;
    chart.LoadPreset(ColourPreset::Rgb);
    EXPECT_EQ(chart.ColourAt(0.0f), 0x00FF00u);  // stop 7 of 15 on -10..10
    EXPECT_EQ(chart.ColourAt(-10.0f), 0x0000FFu);
    EXPECT_EQ(chart.ColourAt(-1e30f), 0x0000FFu);
    EXPECT_EQ(chart.ColourAt(10.0f), 0xFF0000u);
    EXPECT_EQ(chart.ColourAt(99.0f), 0xFF0000u);
}

TEST(ColourChart, ChannelsRoundHalvesUp)
{
    ColourChart chart;
    chart.SetRange(0.0f, 1.0f);
    chart.AppendColour(MakeColour(0, 237, 0));
    chart.AppendColour(MakeColour(37, 237, 0));
    // Red interpolates to 18.5 halfway, green stays 237.
    const Colour c = chart.ColourAt(0.5f);
    EXPECT_EQ(RedOf(c), 19u);
    EXPECT_EQ(GreenOf(c), 237u);
    EXPECT_EQ(BlueOf(c), 0u);
}

TEST(ColourChart, FewStopsAndRefusedRanges)
{
    ColourChart chart;
    EXPECT_EQ(chart.ColourAt(3.0f), kNoColour);
    chart.AppendColour(0x123456);
    EXPECT_EQ(chart.ColourAt(-50.0f), 0x123456u);
    EXPECT_EQ(chart.ColourAt(50.0f), 0x123456u);

    chart.LoadPreset(ColourPreset::Res2dinv);
    const float step = chart.Step();
    EXPECT_FALSE(chart.SetRange(5.0f, 5.0f));
    EXPECT_FALSE(chart.SetRange(6.0f, 5.0f));
    EXPECT_EQ(chart.Minimum(), -10.0f);
    EXPECT_EQ(chart.Maximum(), 10.0f);
    EXPECT_EQ(chart.Count(), 15);

    // Deleting down to one stop keeps the last step; the single stop answers every value.
    chart.RemoveColours(1, 14);
    EXPECT_EQ(chart.Count(), 1);
    EXPECT_EQ(chart.Step(), step);
    EXPECT_EQ(chart.ColourAt(0.0f), 0x800000u);
}

TEST(ColourChart, ReverseAndStoredBytes)
{
    ColourChart chart;
    chart.AppendColour(1);
    chart.AppendColour(2);
    chart.Reverse();
    EXPECT_EQ(chart.Colours(), (std::vector<Colour>{2, 1}));
    chart.AppendColour(3);
    chart.Reverse();
    EXPECT_EQ(chart.Colours(), (std::vector<Colour>{3, 1, 2}));

    const uint8_t six[] = {0x11, 0x22, 0x33, 0x00, 0x44, 0x55};
    chart.SetColourBytes(six);
    EXPECT_EQ(chart.Colours(), (std::vector<Colour>{0x332211, 0x5544}));
    chart.SetColourBytes({});
    EXPECT_EQ(chart.Count(), 0);

    chart.LoadPreset(ColourPreset::Rgb);
    ColourChart copy;
    copy.SetColourBytes(chart.ColourBytes());
    EXPECT_EQ(copy.Colours(), chart.Colours());
}

TEST(ColourChart, BadValuesNeverIndexOutsideTheStops)
{
    ColourChart chart;
    chart.LoadPreset(ColourPreset::Rgb);
    EXPECT_EQ(chart.ColourAt(std::numeric_limits<float>::quiet_NaN()), kNoColour);
    EXPECT_EQ(chart.ColourAt(std::numeric_limits<float>::infinity()), 0xFF0000u);
    // A range so narrow that the step underflows: the inverse step is infinite.
    const float lo = 1.0f;
    ASSERT_TRUE(chart.SetRange(lo, std::nextafter(lo, 2.0f)));
    EXPECT_EQ(chart.ColourAt(lo), 0x0000FFu);
    EXPECT_EQ(chart.ColourAt(std::nextafter(lo, 2.0f)), 0xFF0000u);
    ASSERT_TRUE(chart.SetRange(0.0f, std::numeric_limits<float>::denorm_min() * 2));
    const Colour c = chart.ColourAt(std::numeric_limits<float>::denorm_min());
    EXPECT_NE(c, kNoColour);
}

}  // namespace
}  // namespace orv
