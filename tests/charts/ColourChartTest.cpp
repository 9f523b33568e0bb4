#include "charts/ColourChart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>

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

// The published tables, copied from their sources as printed there (fractions of full scale):
// viridis and cividis at entries 0, 18, 36, 55, 73, 91, 109, 128, 146, 164, 182, 200, 219, 237
// and 255 of their 256; the smooth cool-warm map at every other of its 33 entries.
struct PublishedStop
{
    double r, g, b;
};

constexpr PublishedStop kViridisTable[15] = {
    {0.267004, 0.004874, 0.329415}, {0.282910, 0.105393, 0.426902}, {0.275191, 0.194905, 0.496005},
    {0.246811, 0.283237, 0.535941}, {0.212395, 0.359683, 0.551710}, {0.180629, 0.429975, 0.557282},
    {0.153364, 0.497000, 0.557724}, {0.127568, 0.566949, 0.550556}, {0.122312, 0.633153, 0.530398},
    {0.175707, 0.697900, 0.491033}, {0.288921, 0.758394, 0.428426}, {0.440137, 0.811138, 0.340967},
    {0.626579, 0.854645, 0.223353}, {0.814576, 0.883393, 0.110347}, {0.993248, 0.906157, 0.143936}};

constexpr PublishedStop kCividisTable[15] = {
    {0.000000, 0.135112, 0.304751}, {0.000000, 0.184550, 0.428802}, {0.130669, 0.231458, 0.432840},
    {0.226598, 0.283419, 0.423678}, {0.298421, 0.332247, 0.423973}, {0.363446, 0.381388, 0.432075},
    {0.425120, 0.431334, 0.447692}, {0.488697, 0.485318, 0.471008}, {0.555393, 0.537807, 0.471147},
    {0.624654, 0.592034, 0.460583}, {0.695985, 0.648334, 0.440072}, {0.769353, 0.707035, 0.408516},
    {0.849223, 0.771947, 0.359729}, {0.927724, 0.836486, 0.290611}, {0.995737, 0.909344, 0.217772}};

constexpr PublishedStop kCoolWarmTable[17] = {
    {0.22980570, 0.29871797, 0.75368315}, {0.30386891, 0.40653530, 0.84495867},
    {0.38301334, 0.50941904, 0.91738782}, {0.46666708, 0.60456257, 0.96815491},
    {0.55295316, 0.68892933, 0.99537561}, {0.63917621, 0.75959995, 0.99815118},
    {0.72219329, 0.81395274, 0.97657471}, {0.79869164, 0.84978614, 0.93168865},
    {0.86539520, 0.86541021, 0.86539556}, {0.92412759, 0.82738488, 0.77450847},
    {0.95885295, 0.76976775, 0.67800794}, {0.96995414, 0.69426668, 0.57937545},
    {0.95800306, 0.60284243, 0.48177591}, {0.92394492, 0.49730856, 0.38797023},
    {0.86918685, 0.37831309, 0.30026718}, {0.79563175, 0.24128379, 0.22052563},
    {0.70567316, 0.01555616, 0.15023281}};

TEST(ColourChart, PerceptualPresetsAreTheirPublishedStops)
{
    const struct
    {
        ColourPreset preset;
        const char* name;
        std::span<const PublishedStop> table;
    } cases[] = {{ColourPreset::Viridis, "viridis", kViridisTable},
                 {ColourPreset::Cividis, "cividis", kCividisTable},
                 {ColourPreset::CoolWarm, "cool-warm", kCoolWarmTable}};
    const auto byte = [](double fraction) { return uint32_t(std::lround(fraction * 255.0)); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(PresetName(c.preset), c.name);
        ColourChart chart;
        ASSERT_TRUE(chart.SetRange(0.0f, 100.0f));
        chart.LoadPreset(c.preset);
        ASSERT_EQ(chart.Count(), int(c.table.size()));
        for (size_t k = 0; k < c.table.size(); ++k) {
            const Colour stop = chart.Colours()[k];
            EXPECT_EQ(RedOf(stop), byte(c.table[k].r)) << "stop " << k;
            EXPECT_EQ(GreenOf(stop), byte(c.table[k].g)) << "stop " << k;
            EXPECT_EQ(BlueOf(stop), byte(c.table[k].b)) << "stop " << k;
        }
        // The range stays; the ends are the table's ends.
        EXPECT_EQ(chart.Minimum(), 0.0f);
        EXPECT_EQ(chart.ColourAt(100.0f), chart.Colours().back());
    }
    // The middle of the cool-warm chart is its grey, so a range symmetric about 0 puts 0 there.
    ColourChart coolWarm;
    coolWarm.LoadPreset(ColourPreset::CoolWarm);
    EXPECT_EQ(coolWarm.ColourAt(0.0f), 0xDDDDDDu);
}

TEST(ColourChart, OnlyTheCoolWarmStopsMakeADivergingChart)
{
    ColourChart chart;
    chart.LoadPreset(ColourPreset::CoolWarm);
    EXPECT_TRUE(chart.IsDiverging());
    EXPECT_TRUE(chart.HoldsPreset(ColourPreset::CoolWarm));
    chart.Reverse();  // red below, blue above: still diverging about its middle
    EXPECT_TRUE(chart.IsDiverging());
    chart.SetColour(3, 0x000000);  // edited: a chart of the operator's own
    EXPECT_FALSE(chart.IsDiverging());
    chart.LoadPreset(ColourPreset::Viridis);
    EXPECT_FALSE(chart.IsDiverging());
    EXPECT_TRUE(chart.HoldsPreset(ColourPreset::Viridis));
    EXPECT_FALSE(chart.HoldsPreset(ColourPreset::Cividis));
    // Stored as bytes and read back, the stops are the same chart.
    ColourChart stored;
    stored.LoadPreset(ColourPreset::CoolWarm);
    ColourChart loaded;
    loaded.SetColourBytes(stored.ColourBytes());
    EXPECT_TRUE(loaded.IsDiverging());
    EXPECT_FALSE(ColourChart().IsDiverging());
}

}  // namespace
}  // namespace orv
