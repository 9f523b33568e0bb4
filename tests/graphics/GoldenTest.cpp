// The pictures of simulated fields compared pixel for pixel with tests/data/golden/. Each field
// is known, so a person looking at a golden can check it: the buried body of the map lies right
// of the centre in the lower half (x 13 m of 19, y 4 m of 11, north up), its section shows it
// at 4 m under station 13, and the track map shows it where the walk passes over it.
//
// The graphics are drawn as the Main page draws them (DrawGraphicFrame: maps and sections with
// their colour legend), at 240 x 200, at the handheld's whole screen (240 x 320) and at a large
// one (1280 x 800), so labels can be seen not to run into each other at either end.

#include "Golden.h"

#include "SimulatedSurveys.h"
#include "graphics/GraphicChoice.h"
#include "graphics/PlotCanvas.h"
#include "graphics/TrackDrawing.h"

#include <gtest/gtest.h>

#include <string>

namespace orv {
namespace {

using namespace graphic_frame;

// The body every picture shows: 100 mS/m in 10 mS/m ground, centre 4 m deep.
const sim::GroundModel kBody = sim::GroundModel::Body(10.0, 100.0, 13.0, 4.0, 4.0, 3.0);
// The frequency whose pseudo-depth is 4 m under the built-in calibration (15.62 kHz).
constexpr int kFourMetres = 7;

class Golden : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_canvas.Create(240, 200)); }

    DrawContext Context() { return {m_canvas, LabelPainter(), *m_config, m_prompt}; }

    // Draws a graphic of the page into the whole canvas.
    [[nodiscard]] bool Draw(const SurveyView& survey, int frame, const GraphicTarget& target)
    {
        m_canvas.Clear();
        return DrawGraphicFrame(Context(), survey, frame, target,
                                {0, 0, m_canvas.Width(), m_canvas.Height()}, false);
    }

    void Resize(int width, int height) { ASSERT_TRUE(m_canvas.Create(width, height)); }

    void ExpectGolden(const std::string& name)
    {
        const GoldenResult result = CompareWithGolden(m_canvas, name);
        EXPECT_TRUE(result.matches) << result.message;
    }

    DrawingConfiguration m_config;
    FakePrompt m_prompt;
    PlotCanvas m_canvas;
};

TEST_F(Golden, GridMapsOfABuriedBodyProportionalAndFitted)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 12);
    const GridSurveyData data = grid.Data();
    const SurveyView survey{&data, nullptr};
    ASSERT_TRUE(Draw(survey, kMap, {11, 0, kFourMetres}));
    ExpectGolden("map-body-proportional");

    m_config->RealScaling = 0;
    m_config->ShowGrid = 1;
    m_config->PixelRefinement = 4;
    ASSERT_TRUE(Draw(survey, kMap, {11, 0, kFourMetres}));
    ExpectGolden("map-body-fitted-grid");

    // The handheld's whole screen and a large one, in viridis.
    m_config.Reset();
    m_config->AreaChart.LoadPreset(ColourPreset::Viridis);
    Resize(240, 320);
    ASSERT_TRUE(Draw(survey, kMap, {11, 0, kFourMetres}));
    ExpectGolden("map-body-240x320-viridis");
    Resize(1280, 800);
    ASSERT_TRUE(Draw(survey, kMap, {11, 0, kFourMetres}));
    ExpectGolden("map-body-1280x800-viridis");
}

TEST_F(Golden, HalfSpaceMapIsOneColour)
{
    const SimulatedGrid grid = MakeGrid(sim::GroundModel::HalfSpace(20.0), 10, 5, 2.0f, 2.0f);
    const GridSurveyData data = grid.Data();
    m_config->ManualAreaRange = 1;
    ASSERT_TRUE(m_config->AreaChart.SetRange(0.0f, 40.0f));
    ASSERT_TRUE(Draw({&data, nullptr}, kMap, {4, 0, 0}));
    ExpectGolden("map-halfspace");
}

TEST_F(Golden, SectionsThroughTheBody)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 12);
    const GridSurveyData data = grid.Data();
    ASSERT_TRUE(Draw({&data, nullptr}, kSection, {4, 10, 0}));
    ExpectGolden("section-body");

    // Profile 5 half walked: odd profiles run from the last station down, right-aligned.
    const SimulatedGrid partial = MakeGrid(kBody, 20, 12, 1.0f, 1.0f, 5 * 20 + 8);
    const GridSurveyData partialData = partial.Data();
    m_config->RealScaling = 0;
    ASSERT_TRUE(Draw({&partialData, nullptr}, kSection, {5, 15, 0}));
    ExpectGolden("section-body-partial-fitted");

    Resize(1280, 800);
    m_config->ProfileChart.LoadPreset(ColourPreset::Cividis);
    ASSERT_TRUE(Draw({&data, nullptr}, kSection, {4, 10, 0}));
    ExpectGolden("section-body-1280x800-cividis");
}

TEST_F(Golden, CurvesOverTheBody)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 12);
    const GridSurveyData data = grid.Data();
    // The sounding curve takes the left half of the graphic area.
    ASSERT_TRUE(Draw({&data, nullptr}, kSoundingCurve, {4, 13, 0}));
    ExpectGolden("sounding-body");

    ASSERT_TRUE(Draw({&data, nullptr}, kProfileCurve, {4, 3, kFourMetres}));
    ExpectGolden("profile-curve-body");

    Resize(1280, 800);
    ASSERT_TRUE(Draw({&data, nullptr}, kSoundingCurve, {4, 13, 0}));
    ExpectGolden("sounding-body-1280x800");
}

TEST_F(Golden, TrackMapSectionAndView)
{
    const SimulatedTrack track = MakeTrack(kBody, ZigZagWalk(), {31.0f, 19.0f});
    const TrackSurveyData data = track.Data();
    const SurveyView survey{nullptr, &data};
    ASSERT_TRUE(Draw(survey, kMap, {0, 0, kFourMetres, 50}));
    ExpectGolden("track-map-body");

    // 300 m of walk over 9 m of depth would be a strip 10 pixels high at true scale: the
    // section is drawn fit to screen all the same.
    ASSERT_TRUE(Draw(survey, kSection, {0, 0, 0}));
    ExpectGolden("track-section-body");

    m_canvas.Clear();
    SimulatedTrack selected = track;
    selected.cursor = 40;
    ASSERT_TRUE(DrawTrack(m_canvas, *m_config, selected.Data(), {10, 10, 230, 190}));
    ExpectGolden("track-view");
}

}  // namespace
}  // namespace orv
