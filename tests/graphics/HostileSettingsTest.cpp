// Settings come from a file the user (or a damaged card) may have left with any value: no
// drawing may crash, hang or divide by zero on them. Run under the sanitizers this catches
// undefined conversions of NaN and infinite coordinates.

#include "DrawingFixture.h"
#include "graphics/CurveDrawing.h"
#include "graphics/MapDrawing.h"
#include "graphics/SectionDrawing.h"
#include "graphics/TrackDrawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orv {
namespace {

const sim::GroundModel kBody = sim::GroundModel::Body(10.0, 100.0, 13.0, 4.0, 4.0, 3.0);

class HostileSettings : public DrawingTest
{
protected:
    void DrawEverything(const GridSurveyData& grid, const TrackSurveyData& track)
    {
        const DrawContext context = Context();
        m_canvas.Clear();
        static_cast<void>(DrawGridMap(context, grid, 3, 7, m_frame));
        static_cast<void>(DrawGridSection(context, grid, 3, 5, m_frame));
        static_cast<void>(DrawGridProfileCurve(context, grid, 3, 5, 7, m_frame));
        static_cast<void>(DrawSoundingCurve(context, grid.Slot(3, 5), m_frame));
        static_cast<void>(DrawTrackMap(context, track, 7, m_config->TrackRadius, m_frame));
        static_cast<void>(DrawTrackSection(context, track, m_frame));
        static_cast<void>(DrawTrackProfileCurve(context, track, 7, m_frame));
        static_cast<void>(DrawTrack(m_canvas, *m_config, track, m_frame));
    }
};

TEST_F(HostileSettings, DrawingsSurviveAnyStoredValue)
{
    SimulatedGrid grid = MakeGrid(kBody, 8, 5);
    SimulatedTrack track = MakeTrack(kBody, {{0, 0}, {4, 1}, {8, 5}, {3, 9}, {0, 4}}, {2, 2});

    struct Case
    {
        const char* legend;
        void (*apply)(Configuration&, SimulatedGrid&, SimulatedTrack&);
    };
    const Case cases[] = {
        {"station step NaN",
         [](Configuration&, SimulatedGrid& g, SimulatedTrack&) {
             g.xStep = std::numeric_limits<float>::quiet_NaN();
         }},
        {"steps infinite",
         [](Configuration&, SimulatedGrid& g, SimulatedTrack&) {
             g.xStep = std::numeric_limits<float>::infinity();
             g.yStep = -std::numeric_limits<float>::infinity();
         }},
        {"negative and huge steps",
         [](Configuration&, SimulatedGrid& g, SimulatedTrack&) {
             g.xStep = -2.0f;
             g.yStep = 1e30f;
         }},
        {"depth scale NaN",
         [](Configuration& c, SimulatedGrid&, SimulatedTrack&) {
             c.DepthScaleFactor = std::numeric_limits<float>::quiet_NaN();
         }},
        {"depth scale negative",
         [](Configuration& c, SimulatedGrid&, SimulatedTrack&) { c.DepthScaleFactor = -5.0f; }},
        {"refinement negative",
         [](Configuration& c, SimulatedGrid&, SimulatedTrack&) { c.PixelRefinement = -3; }},
        {"refinement beyond the screen",
         [](Configuration& c, SimulatedGrid&, SimulatedTrack&) { c.PixelRefinement = 2147483647; }},
        {"points to show negative",
         [](Configuration& c, SimulatedGrid&, SimulatedTrack&) { c.MeasurementsToShow = -7; }},
        {"radius 0", [](Configuration& c, SimulatedGrid&, SimulatedTrack&) { c.TrackRadius = 0; }},
        {"radius huge",
         [](Configuration& c, SimulatedGrid&, SimulatedTrack&) { c.TrackRadius = 2147483647; }},
        {"positions NaN and infinite",
         [](Configuration&, SimulatedGrid&, SimulatedTrack& t) {
             t.local[1] = {std::numeric_limits<float>::quiet_NaN(), 3.0f};
             t.local[3] = {std::numeric_limits<float>::infinity(), 1e38f};
         }},
        {"all frequencies off",
         [](Configuration& c, SimulatedGrid&, SimulatedTrack&) { c.UsedFrequencies.fill(0); }},
        {"grid and scale marks with fit",
         [](Configuration& c, SimulatedGrid&, SimulatedTrack&) {
             c.ShowGrid = 1;
             c.RealScaling = 0;
             c.FilterProfileCurve = 1;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        SimulatedGrid g = grid;
        SimulatedTrack t = track;
        c.apply(*m_config, g, t);
        DrawEverything(g.Data(), t.Data());
        m_config.Reset();
    }
    EXPECT_TRUE(m_prompt.told.empty());
}

}  // namespace
}  // namespace orv
