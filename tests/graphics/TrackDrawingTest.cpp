#include "graphics/TrackDrawing.h"

#include "DrawingFixture.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

const sim::GroundModel kGround = sim::GroundModel::HalfSpace(20.0);

class Track : public DrawingTest
{
protected:
    int CountPixels(Colour colour) const
    {
        int n = 0;
        for (int y = 0; y < m_canvas.Height(); ++y) {
            for (int x = 0; x < m_canvas.Width(); ++x) {
                n += m_canvas.GetPixel(x, y) == colour;
            }
        }
        return n;
    }
    const FrameRect m_box{0, 0, 104, 54};  // 100 x 50 inside the 2-pixel border
};

TEST_F(Track, OneRecordWithoutAFixIsACircleWithTheCursorDot)
{
    const SimulatedTrack track = MakeTrack(kGround, {{0, 0}}, {0, 0});
    SimulatedTrack selected = track;
    selected.cursor = 0;
    ASSERT_TRUE(DrawTrack(m_canvas, *m_config, selected.Data(), m_box));
    // The bounds widen to 1 m east and north; the point is their south-west corner, the
    // bottom-left of the inner rectangle, covered by the 12-pixel cursor dot.
    EXPECT_EQ(m_canvas.GetPixel(2, 52), m_config->CursorColour);
    EXPECT_EQ(CountPixels(m_config->CursorColour), 12);
    EXPECT_EQ(m_canvas.GetPixel(0, 0), kBlack);
    EXPECT_EQ(m_canvas.GetPixel(103, 53), kBlack);

    const uint32_t before = m_canvas.ChangeCount();
    EXPECT_FALSE(DrawTrack(m_canvas, *m_config, TrackSurveyData{}, m_box));
    EXPECT_EQ(m_canvas.ChangeCount(), before);
}

TEST_F(Track, AWalkDueEastDrawsOnlyTheFirstCircle)
{
    m_config->RealScaling = 0;
    // Records every 10 m east; the operator now stands 50 m north of the start.
    const SimulatedTrack track =
        MakeTrack(kGround, {{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}}, {0, 50});
    ASSERT_TRUE(DrawTrack(m_canvas, *m_config, track.Data(), m_box));
    // Fit: 40 m over 100 pixels east, 50 m over 50 pixels north; row 52 is y = 0.
    const Colour grey = m_config->EmptyStationColour;
    EXPECT_EQ(m_canvas.GetPixel(3, 52), grey);  // the rim of the first circle
    for (const int x : {27, 52, 77, 102}) {
        EXPECT_EQ(m_canvas.GetPixel(x, 51), kWhite) << x;
        EXPECT_EQ(m_canvas.GetPixel(x - 1, 52), kWhite) << x;
    }
    // The cursor stands after the last record: the dot is at the current position, and only
    // the dashed line from the last record leads there.
    EXPECT_EQ(m_canvas.GetPixel(2, 2), m_config->CursorColour);
    int dashes = 0;
    for (int y = 5; y < 50; ++y) {
        for (int x = 5; x < 100; ++x) {
            dashes += m_canvas.GetPixel(x, y) == grey;
        }
    }
    EXPECT_GT(dashes, 20);
}

TEST_F(Track, StationsWithoutAPositionAreLeftOut)
{
    // The same walk with and without stations that have no position: whatever coordinates
    // those carry, the origin, the extent and the polyline are those of the positioned ones.
    const SimulatedTrack walk = MakeTrack(kGround, {{0, 0}, {10, 10}, {20, 0}, {30, 20}}, {15, 5});
    SimulatedTrack gaps =
        MakeTrack(kGround, {{-80, 90}, {0, 0}, {10, 10}, {500, -300}, {20, 0}, {30, 20}}, {15, 5});
    gaps.positioned = {0, 1, 1, 0, 1, 1};
    for (const int realScaling : {0, 1}) {
        SCOPED_TRACE(realScaling);
        m_config->RealScaling = realScaling;
        PlotCanvas expected;
        ASSERT_TRUE(expected.Create(m_canvas.Width(), m_canvas.Height()));
        ASSERT_TRUE(DrawTrack(expected, *m_config, walk.Data(), m_box));
        ASSERT_TRUE(DrawTrack(m_canvas, *m_config, gaps.Data(), m_box));
        int differing = 0;
        for (int y = 0; y < m_canvas.Height(); ++y) {
            for (int x = 0; x < m_canvas.Width(); ++x) {
                differing += m_canvas.GetPixel(x, y) != expected.GetPixel(x, y);
            }
        }
        EXPECT_EQ(differing, 0);
    }

    // Selected, a station without a position shows where the operator stands: it is to be
    // measured again there. (15, 5) of 0..30 by 0..20 in 100 x 50: pixel (52, 40).
    gaps.cursor = 3;
    m_config->RealScaling = 0;
    ASSERT_TRUE(DrawTrack(m_canvas, *m_config, gaps.Data(), m_box));
    EXPECT_EQ(m_canvas.GetPixel(52, 40), m_config->CursorColour);
    EXPECT_EQ(CountPixels(m_config->CursorColour), 12);

    // With no station positioned yet only the operator's place and the cursor are drawn.
    SimulatedTrack none = MakeTrack(kGround, {{-80, 90}, {500, -300}}, {15, 5});
    none.positioned = {0, 0};
    ASSERT_TRUE(DrawTrack(m_canvas, *m_config, none.Data(), m_box));
    EXPECT_EQ(m_canvas.GetPixel(2, 52), m_config->CursorColour);
}

TEST_F(Track, OverlayLeavesTheGraphicAndItsValuesVisible)
{
    m_canvas.FillBlock(0, 0, 104, 54, PixelWordOf(0x00FF00), 5.0f);
    const SimulatedTrack track = MakeTrack(kGround, {{0, 0}, {10, 10}}, {10, 10});
    ASSERT_TRUE(DrawTrack(m_canvas, *m_config, track.Data(), m_box, kOverlayTrackStyle));
    EXPECT_EQ(m_canvas.GetPixel(50, 30), 0x00FF00u);
    EXPECT_EQ(m_canvas.GetValue(50, 30), 5.0f);
    EXPECT_EQ(m_canvas.GetPixel(0, 30), kBlack);
}

}  // namespace
}  // namespace orv
