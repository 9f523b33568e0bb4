// The pictures of simulated fields compared pixel for pixel with tests/data/golden/. Each field
// is known, so a person looking at a golden can check it: the buried body of the map lies right
// of the centre in the lower half (x 13 m of 19, y 4 m of 11, north up), its section shows it
// at 4 m under station 13, and the track map shows it where the walk passes over it.

#include "Golden.h"

#include "SimulatedSurveys.h"
#include "graphics/CurveDrawing.h"
#include "graphics/MapDrawing.h"
#include "graphics/PlotCanvas.h"
#include "graphics/SectionDrawing.h"
#include "graphics/TrackDrawing.h"

#include <gtest/gtest.h>

#include <string>

namespace orv {
namespace {

// The body every picture shows: 100 mS/m in 10 mS/m ground, centre 4 m deep.
const sim::GroundModel kBody = sim::GroundModel::Body(10.0, 100.0, 13.0, 4.0, 4.0, 3.0);
// The frequency whose pseudo-depth is 4 m under the built-in calibration (15.62 kHz).
constexpr int kFourMetres = 7;

class Golden : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_canvas.Create(240, 200)); }

    DrawContext Context() { return {m_canvas, LabelPainter(), *m_config, m_prompt}; }

    void ExpectGolden(const std::string& name)
    {
        const GoldenResult result = CompareWithGolden(m_canvas, name);
        EXPECT_TRUE(result.matches) << result.message;
    }

    DrawingConfiguration m_config;
    FakePrompt m_prompt;
    PlotCanvas m_canvas;
    const FrameRect m_frame{0, 0, 240, 200};
};

TEST_F(Golden, GridMapsOfABuriedBodyProportionalAndFitted)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 12);
    ASSERT_TRUE(DrawGridMap(Context(), grid.Data(), 11, kFourMetres, m_frame));
    ExpectGolden("map-body-proportional");

    m_canvas.Clear();
    m_config->RealScaling = 0;
    m_config->ShowGrid = 1;
    m_config->PixelRefinement = 4;
    ASSERT_TRUE(DrawGridMap(Context(), grid.Data(), 11, kFourMetres, m_frame));
    ExpectGolden("map-body-fitted-grid");
}

TEST_F(Golden, HalfSpaceMapIsOneColour)
{
    const SimulatedGrid grid = MakeGrid(sim::GroundModel::HalfSpace(20.0), 10, 5, 2.0f, 2.0f);
    m_config->ManualAreaRange = 1;
    ASSERT_TRUE(m_config->AreaChart.SetRange(0.0f, 40.0f));
    ASSERT_TRUE(DrawGridMap(Context(), grid.Data(), 4, 0, m_frame));
    ExpectGolden("map-halfspace");
}

TEST_F(Golden, SectionsThroughTheBody)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 12);
    ASSERT_TRUE(DrawGridSection(Context(), grid.Data(), 4, 10, m_frame));
    ExpectGolden("section-body");

    // Profile 5 half walked: odd profiles run from the last station down, right-aligned.
    const SimulatedGrid partial = MakeGrid(kBody, 20, 12, 1.0f, 1.0f, 5 * 20 + 8);
    m_canvas.Clear();
    m_config->RealScaling = 0;
    ASSERT_TRUE(DrawGridSection(Context(), partial.Data(), 5, 15, m_frame));
    ExpectGolden("section-body-partial-fitted");
}

TEST_F(Golden, CurvesOverTheBody)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 12);
    const GridSurveyData data = grid.Data();
    ASSERT_TRUE(DrawSoundingCurve(Context(), data.Slot(4, 13), {0, 0, 120, 200}));
    ExpectGolden("sounding-body");

    m_canvas.Clear();
    ASSERT_TRUE(DrawGridProfileCurve(Context(), data, 4, 3, kFourMetres, m_frame));
    ExpectGolden("profile-curve-body");
}

TEST_F(Golden, TrackMapSectionAndView)
{
    const SimulatedTrack track = MakeTrack(kBody, ZigZagWalk(), {31.0f, 19.0f});
    ASSERT_TRUE(DrawTrackMap(Context(), track.Data(), kFourMetres, 50, m_frame));
    ExpectGolden("track-map-body");

    // Proportional, 300 m of walk over 9 m of depth would be a strip 10 pixels high.
    m_canvas.Clear();
    m_config->RealScaling = 0;
    ASSERT_TRUE(DrawTrackSection(Context(), track.Data(), m_frame));
    ExpectGolden("track-section-body");

    m_canvas.Clear();
    m_config->RealScaling = 1;
    SimulatedTrack selected = track;
    selected.cursor = 40;
    ASSERT_TRUE(DrawTrack(m_canvas, *m_config, selected.Data(), {10, 10, 230, 190}));
    ExpectGolden("track-view");
}

}  // namespace
}  // namespace orv
