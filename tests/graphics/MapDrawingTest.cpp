#include "graphics/MapDrawing.h"

#include "DrawingFixture.h"
#include "charts/ColourChart.h"
#include "signal/SignalComputation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace orv {
namespace {

const sim::GroundModel kBody = sim::GroundModel::Body(10.0, 100.0, 13.0, 4.0, 4.0, 3.0);
constexpr int kFourMetres = 7;  // 15.62 kHz sees 4 m with the built-in calibration

TEST(MapBlock, CoversTheCompleteProfilesAroundTheShownOne)
{
    const sim::GroundModel ground = sim::GroundModel::HalfSpace(20.0);
    struct Case
    {
        const char* legend;
        int measured;  // stations measured in walking order, of 3 x 5
        int hole;      // a slot emptied afterwards, or -1
        int p;
        int first, last, complete;
    };
    const Case cases[] = {
        {"three complete profiles", 9, -1, 2, 0, 2, 3},
        {"a started profile is the newest row", 10, -1, 3, 0, 3, 3},
        {"forward over the run of complete ones", 15, -1, 1, 0, 4, 5},
        {"the next one only started", 4, -1, 0, 0, 0, 1},
        {"a hole ends the block behind", 15, 4, 3, 2, 4, 3},
        {"nothing measured", 0, -1, 2, 2, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        SimulatedGrid grid = MakeGrid(ground, 3, 5, 1.0f, 1.0f, c.measured);
        if (c.hole >= 0) {
            grid.slots[size_t(c.hole)] = MeasurementSlot{};
        }
        const MapBlock block = FindMapBlock(grid.Data(), c.p);
        EXPECT_EQ(block.first, c.first);
        EXPECT_EQ(block.last, c.last);
        EXPECT_EQ(block.complete, c.complete);
    }
}

class GridMap : public DrawingTest
{
};

TEST_F(GridMap, ShowsTheBuriedBodyWhereTheModelPutIt)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 12);
    ASSERT_TRUE(DrawGridMap(Context(), grid.Data(), 11, kFourMetres, m_frame));
    const FrameRect box = ValueBounds();
    // Proportional: 19 x 11 m in 240 x 200 keeps the width and centres 139 rows.
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 240);
    EXPECT_EQ(box.Height(), 139);
    EXPECT_EQ(box.top, (200 - 139) / 2);
    int x = 0;
    int y = 0;
    ArgMax(x, y);
    const float east = (float(x - box.left) + 0.5f) / float(box.Width()) * 19.0f;
    const float north = (float(box.bottom - y) - 0.5f) / float(box.Height()) * 11.0f;
    EXPECT_NEAR(east, 13.0f, 0.5f);
    EXPECT_NEAR(north, 4.0f, 0.5f);
    // The automatic range follows the painted values: about 10 to nearly 100 mS/m.
    EXPECT_NEAR(m_config->AreaChart.Minimum(), 10.0f, 1.0f);
    EXPECT_GT(m_config->AreaChart.Maximum(), 80.0f);
    // The scale frame is labelled in metres, the unit on the outermost label of each axis.
    EXPECT_EQ(m_text.Texts(), (std::vector<std::string>{"5", "10", "15 m", "5", "10 m"}));
}

TEST_F(GridMap, StationsNotYetMeasuredRepeatThePreviousProfile)
{
    // A body under profile 1 makes the two profiles differ; of profile 1 (walked from station 4
    // down) only station 4 is measured.
    const sim::GroundModel ground = sim::GroundModel::Body(10.0, 60.0, 2.0, 1.0, 2.0, 2.0);
    const SimulatedGrid grid = MakeGrid(ground, 5, 2, 1.0f, 1.0f, 6);
    ASSERT_TRUE(DrawGridMap(Context(), grid.Data(), 1, 9, m_frame));
    const FrameRect box = ValueBounds();
    const int top = box.top;
    const int bottom = box.bottom - 1;
    // The corners are the stations themselves (smoothing keeps the outer rings).
    EXPECT_EQ(m_canvas.GetValue(0, top), m_canvas.GetValue(0, bottom));
    EXPECT_NE(m_canvas.GetValue(239, top), m_canvas.GetValue(239, bottom));
}

TEST_F(GridMap, EqualValuesKeepTheChartRangeAndManualRangesStay)
{
    const SimulatedGrid grid = MakeGrid(kBody, 6, 3);
    m_config->UnitMeasure = 7;  // an unknown unit: every value is 0
    ASSERT_TRUE(m_config->AreaChart.SetRange(-5.0f, 15.0f));
    ASSERT_TRUE(DrawGridMap(Context(), grid.Data(), 2, 0, m_frame));
    EXPECT_EQ(m_config->AreaChart.Minimum(), -5.0f);
    EXPECT_EQ(m_config->AreaChart.Maximum(), 15.0f);
    const FrameRect box = ValueBounds();
    EXPECT_EQ(m_canvas.GetPixel(box.left + 3, box.top + 3), m_config->AreaChart.ColourAt(0.0f));

    m_config->UnitMeasure = 1;
    m_config->ManualAreaRange = 1;
    ASSERT_TRUE(DrawGridMap(Context(), grid.Data(), 2, kFourMetres, m_frame));
    EXPECT_EQ(m_config->AreaChart.Minimum(), -5.0f);
    EXPECT_EQ(m_config->AreaChart.Maximum(), 15.0f);
}

TEST_F(GridMap, TooLittleDataDrawsNothingAndTellsNothing)
{
    const SimulatedGrid full = MakeGrid(kBody, 6, 3);
    const SimulatedGrid empty = MakeGrid(kBody, 6, 3, 1.0f, 1.0f, 0);
    const SimulatedGrid profile = MakeGrid(kBody, 6, 1);
    const SimulatedGrid oneStation = MakeGrid(kBody, 1, 4);
    GridSurveyData line = full.Data();
    line.stations = 0;
    line.profiles = 1;
    struct Case
    {
        const char* legend;
        GridSurveyData survey;
        int p;
        int f;
        FrameRect frame;
    };
    const Case cases[] = {
        {"no valid slot", empty.Data(), 2, 0, m_frame},
        {"a Profile survey", profile.Data(), 0, 0, m_frame},
        {"one station per profile", oneStation.Data(), 3, 0, m_frame},
        {"a Line survey", line, 0, 0, m_frame},
        {"profile outside the survey", full.Data(), 7, 0, m_frame},
        {"frequency index out of range", full.Data(), 2, 14, m_frame},
        {"a frame one pixel wide", full.Data(), 2, 0, {5, 5, 6, 100}},
        {"an upside-down frame", full.Data(), 2, 0, {50, 50, 10, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const uint32_t before = m_canvas.ChangeCount();
        EXPECT_FALSE(DrawGridMap(Context(), c.survey, c.p, c.f, c.frame));
        EXPECT_EQ(m_canvas.ChangeCount(), before);
    }
    m_config->UsedFrequencies[3] = 0;
    EXPECT_FALSE(DrawGridMap(Context(), full.Data(), 2, 3, m_frame));
    EXPECT_TRUE(m_prompt.told.empty());
}

TEST_F(GridMap, ZeroStepsFillTheFrameInsteadOfDividingByZero)
{
    SimulatedGrid grid = MakeGrid(kBody, 6, 3);
    grid.yStep = 0.0f;
    ASSERT_TRUE(DrawGridMap(Context(), grid.Data(), 2, 0, m_frame));
    const FrameRect box = ValueBounds();
    EXPECT_EQ(box.Width(), 240);
    EXPECT_EQ(box.Height(), 200);
}

class TrackMap : public DrawingTest
{
protected:
    std::vector<float> Values() const
    {
        std::vector<float> values;
        for (int y = 0; y < m_canvas.Height(); ++y) {
            for (int x = 0; x < m_canvas.Width(); ++x) {
                values.push_back(m_canvas.GetValue(x, y));
            }
        }
        return values;
    }
};

TEST_F(TrackMap, ShowsTheBodyUnderTheWalkNorthUp)
{
    const SimulatedTrack track = MakeTrack(kBody, ZigZagWalk(), {0.0f, 0.0f});
    ASSERT_TRUE(DrawTrackMap(Context(), track.Data(), kFourMetres, 50, m_frame));
    const FrameRect box = ValueBounds();
    int x = 0;
    int y = 0;
    ArgMax(x, y);
    // 30 m east over the full width; north is up, from the walk's lowest to its highest y.
    float minY = 1e9f;
    float maxY = -1e9f;
    for (const LocalPoint& p : ZigZagWalk()) {
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    const float east = (float(x - box.left) + 0.5f) / float(box.Width()) * 30.0f;
    const float north = minY + (float(box.bottom - y) - 0.5f) / float(box.Height()) * (maxY - minY);
    EXPECT_NEAR(east, 13.0f, 1.0f);
    EXPECT_NEAR(north, 4.0f, 1.0f);
}

TEST_F(TrackMap, StationsWithoutAPositionAreLeftOut)
{
    std::vector<LocalPoint> walk = ZigZagWalk();
    const SimulatedTrack positioned = MakeTrack(kBody, walk, {0.0f, 0.0f});
    ASSERT_TRUE(DrawTrackMap(Context(), positioned.Data(), kFourMetres, 50, m_frame));
    const std::vector<float> expected = Values();

    // The same walk with two more stations, measured elsewhere and without a position: the map
    // is the same, value for value.
    walk.insert(walk.begin() + 3, LocalPoint{-40.0f, 60.0f});
    walk.push_back(LocalPoint{200.0f, 200.0f});
    SimulatedTrack gaps = MakeTrack(kBody, walk, {0.0f, 0.0f});
    gaps.positioned.assign(walk.size(), 1);
    gaps.positioned[3] = 0;
    gaps.positioned.back() = 0;
    ASSERT_TRUE(m_canvas.Create(240, 200));
    ASSERT_TRUE(DrawTrackMap(Context(), gaps.Data(), kFourMetres, 50, m_frame));
    EXPECT_EQ(Values(), expected);
}

TEST_F(TrackMap, NeedsFourMeasuredRecordsWithExtentBothWays)
{
    const SimulatedTrack three = MakeTrack(kBody, {{0, 0}, {5, 5}, {9, 1}}, {});
    const SimulatedTrack eastward = MakeTrack(kBody, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}, {});
    SimulatedTrack gaps = MakeTrack(kBody, {{0, 0}, {5, 5}, {9, 1}, {3, 8}, {6, 6}}, {});
    gaps.slots[1] = MeasurementSlot{};
    gaps.slots[2] = MeasurementSlot{};
    const std::pair<const char*, TrackSurveyData> cases[] = {
        {"three records", three.Data()},
        {"a walk due east has no north-south extent", eastward.Data()},
        {"only three records hold a measurement", gaps.Data()},
    };
    for (const auto& [legend, survey] : cases) {
        SCOPED_TRACE(legend);
        EXPECT_FALSE(DrawTrackMap(Context(), survey, 0, 50, m_frame));
    }
    EXPECT_EQ(ValueBounds().right, 0);
}

// A uniform field: the smoothing of equal values gives them back to within a few ulps, and
// those ulps must not become a colour range. Every painted pixel has the colour of the value.
TEST_F(GridMap, UniformFieldIsOneColourAtEverySize)
{
    const SimulatedGrid grid = MakeGrid(sim::GroundModel::HalfSpace(20.0), 8, 6);
    m_config->ShowScaleMarks = 0;  // only the map's own pixels
    const FrameRect frames[] = {
        {0, 0, 240, 200}, {0, 0, 480, 560}, {0, 0, 800, 600}, {0, 0, 1280, 900}, {3, 7, 101, 77}};
    for (const FrameRect& frame : frames) {
        SCOPED_TRACE(std::to_string(frame.Width()) + " x " + std::to_string(frame.Height()));
        PlotCanvas canvas;
        ASSERT_TRUE(canvas.Create(frame.right, frame.bottom));
        ASSERT_TRUE(m_config->AreaChart.SetRange(-10.0f, 10.0f));
        const DrawContext context{canvas, m_text, *m_config, m_prompt};
        ASSERT_TRUE(DrawGridMap(context, grid.Data(), 5, kFourMetres, frame));
        const float value = ValueAt(*m_config, *grid.Data().Slot(0, 0), kFourMetres);
        const Colour expected = m_config->AreaChart.ColourAt(value);
        long painted = 0;
        long stray = 0;
        float lo = kNoValue;
        float hi = -kNoValue;
        for (int y = 0; y < canvas.Height(); ++y) {
            for (int x = 0; x < canvas.Width(); ++x) {
                const float v = canvas.GetValue(x, y);
                if (IsNoValue(v)) {
                    continue;
                }
                lo = std::min(lo, v);
                hi = std::max(hi, v);
                ++painted;
                stray += canvas.GetPixel(x, y) != expected;
            }
        }
        EXPECT_GT(painted, 0);
        EXPECT_EQ(stray, 0) << "values " << lo << " .. " << hi << ", ulps "
                            << (hi - lo) / (std::nextafter(value, kNoValue) - value);
    }
}

TEST(AutomaticRange, RoundingIsNoWidthAndDivergingChartsCentreOnZero)
{
    ColourChart chart;
    chart.LoadPreset(ColourPreset::Rgb);
    ASSERT_TRUE(chart.SetRange(-10.0f, 10.0f));
    const auto apply = [&chart](std::vector<float> cells) { ApplyAutomaticRange(chart, cells); };

    // A uniform field returned to within a few ulps keeps the chart's range.
    const float v = 19.9999256f;
    const float threeUlps = std::nextafter(std::nextafter(std::nextafter(v, 99.0f), 99.0f), 99.0f);
    apply({v, threeUlps, kNoValue, v});
    EXPECT_EQ(chart.Minimum(), -10.0f);
    EXPECT_EQ(chart.Maximum(), 10.0f);
    EXPECT_TRUE(IsFlatRange(0.0f, 0.0f));
    EXPECT_TRUE(IsFlatRange(5.0f, 4.0f));
    EXPECT_FALSE(IsFlatRange(-1e-30f, 1e-30f));  // tiny values, but far apart for their size
    // A real difference, however small against the values, is a range.
    apply({20.0f, 20.002f, std::numeric_limits<float>::infinity()});
    EXPECT_EQ(chart.Minimum(), 20.0f);
    EXPECT_EQ(chart.Maximum(), 20.002f);

    // Cool-warm over values of both signs: symmetric, so grey stands for 0.
    chart.LoadPreset(ColourPreset::CoolWarm);
    apply({-3.0f, 1.0f, 7.5f});
    EXPECT_EQ(chart.Minimum(), -7.5f);
    EXPECT_EQ(chart.Maximum(), 7.5f);
    EXPECT_EQ(chart.ColourAt(0.0f), 0xDDDDDDu);
    apply({-12.0f, 2.0f});
    EXPECT_EQ(chart.Minimum(), -12.0f);
    EXPECT_EQ(chart.Maximum(), 12.0f);
    // Values of one sign keep their own range.
    apply({3.0f, 9.0f});
    EXPECT_EQ(chart.Minimum(), 3.0f);
    EXPECT_EQ(chart.Maximum(), 9.0f);
    // Other charts never do.
    chart.LoadPreset(ColourPreset::Viridis);
    apply({-3.0f, 1.0f});
    EXPECT_EQ(chart.Minimum(), -3.0f);
    EXPECT_EQ(chart.Maximum(), 1.0f);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// Both maps drawn with the rows shared out on several threads are the very pictures one thread
// draws: pixels and values, at sizes where the bands fall differently, with refinement, centred
// or stretched, over a survey whose newest profile is still being walked.
TEST(MapsOnWorkerThreads, DrawTheSamePictureAsOneThread)
{
    WorkerPool one(1);
    WorkerPool three(3);
    const SimulatedGrid grid = MakeGrid(kBody, 23, 14, 1.0f, 1.5f, 23 * 9 + 11);
    const SimulatedTrack track = MakeTrack(kBody, ZigZagWalk(), {0.0f, 0.0f});
    struct Case
    {
        const char* legend;
        int width, height, refinement, proportional;
    };
    const Case cases[] = {
        {"handheld screen", 240, 320, 1, 1},
        {"wide, stretched", 1000, 170, 1, 0},
        {"refined cells cut at the edge", 733, 411, 3, 1},
        {"tall, refined and stretched", 97, 1203, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        for (const bool trackMap : {false, true}) {
            SCOPED_TRACE(trackMap ? "track map" : "grid map");
            std::vector<PixelWord> pixels[2];
            std::vector<float> values[2];
            WorkerPool* pools[2] = {&one, &three};
            for (int k = 0; k < 2; ++k) {
                DrawingConfiguration config;
                config->PixelRefinement = c.refinement;
                config->RealScaling = c.proportional;
                FakePrompt prompt;
                FakeTextPainter text;
                PlotCanvas canvas;
                ASSERT_TRUE(canvas.Create(c.width, c.height));
                DrawContext context{canvas, text, *config, prompt};
                context.workers = pools[k];
                const FrameRect frame{3, 2, c.width - 1, c.height - 4};
                ASSERT_TRUE(trackMap ? DrawTrackMap(context, track.Data(), kFourMetres, 9, frame)
                                     : DrawGridMap(context, grid.Data(), 9, kFourMetres, frame));
                pixels[k].assign(canvas.PixelData(),
                                 canvas.PixelData() + size_t(c.width) * size_t(c.height));
                values[k].assign(canvas.ValueData(),
                                 canvas.ValueData() + size_t(c.width) * size_t(c.height));
            }
            EXPECT_TRUE(pixels[0] == pixels[1]);
            EXPECT_EQ(
                std::memcmp(values[0].data(), values[1].data(), values[0].size() * sizeof(float)),
                0);
        }
    }
}

}  // namespace
}  // namespace orv
