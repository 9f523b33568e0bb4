#include "graphics/CurveDrawing.h"

#include "DrawingFixture.h"
#include "signal/SignalComputation.h"

#include <gtest/gtest.h>

#include <vector>

namespace orv {
namespace {

const sim::GroundModel kBody = sim::GroundModel::Body(10.0, 100.0, 13.0, 4.0, 4.0, 3.0);

TEST(ProfileFilter, ReplacesTheMiddleWithNinePointMeans)
{
    std::vector<float> nine = {9, 0, 0, 0, 18, 0, 0, 0, 0};
    FilterProfileValues(nine);
    EXPECT_EQ(nine, (std::vector<float>{9, 0, 0, 0, 27.0f / 9.0f, 0, 0, 0, 0}));

    // Means come from the unfiltered values, not from those already replaced.
    std::vector<float> ten = {0, 0, 0, 0, 9, 0, 0, 0, 0, 9};
    FilterProfileValues(ten);
    EXPECT_FLOAT_EQ(ten[4], 1.0f);
    EXPECT_FLOAT_EQ(ten[5], 2.0f);
    EXPECT_EQ(ten[9], 9.0f);

    std::vector<float> eight = {1, 2, 3, 4, 5, 6, 7, 8};
    FilterProfileValues(eight);
    EXPECT_EQ(eight, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8}));
}

class Curves : public DrawingTest
{
protected:
    // The columns holding curve-coloured pixels.
    void CurveColumns(int& first, int& last) const
    {
        first = m_canvas.Width();
        last = -1;
        for (int y = 0; y < m_canvas.Height(); ++y) {
            for (int x = 0; x < m_canvas.Width(); ++x) {
                if (m_canvas.GetPixel(x, y) == kCurveColour) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
            }
        }
    }
};

TEST_F(Curves, SoundingCurveNeedsExtentAndStandsUpWhenValuesAreEqual)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 2);
    const MeasurementSlot* record = grid.Data().Slot(0, 13);
    const FrameRect half{0, 0, 120, 200};

    EXPECT_FALSE(DrawSoundingCurve(Context(), nullptr, half));
    const MeasurementSlot empty;
    EXPECT_FALSE(DrawSoundingCurve(Context(), &empty, half));
    m_config->UsedFrequencies.fill(0);
    EXPECT_FALSE(DrawSoundingCurve(Context(), record, half));
    m_config->UsedFrequencies[4] = 1;  // one frequency: no extent either way
    EXPECT_FALSE(DrawSoundingCurve(Context(), record, half));
    EXPECT_EQ(ValueBounds().right, 0);

    // Every value 0 (an unknown unit) at 14 depths: a vertical line in the middle of the plot.
    // The numbers take a row of 13 + 2 pixels over it and a column left of it as wide as the
    // widest depth label ("1 m", 18 pixels) + 2.
    m_config->UsedFrequencies.fill(1);
    m_config->UnitMeasure = 7;
    ASSERT_TRUE(DrawSoundingCurve(Context(), record, half));
    const int plotLeft = 20;
    const int plotTop = 15;
    int first = 0;
    int last = 0;
    CurveColumns(first, last);
    EXPECT_EQ(first, (plotLeft + 6 + 120) / 2);
    EXPECT_EQ(last, first);
    // The value axis along the top reads back the value scale.
    EXPECT_EQ(m_canvas.GetValue(60, plotTop + 2), 0.0f);
    // The depths are numbered, the top one with its unit; no label enters the plot.
    ASSERT_FALSE(m_text.labels.empty());
    EXPECT_EQ(m_text.labels.front().text.substr(m_text.labels.front().text.size() - 2), " m");
    for (const FakeTextPainter::Label& label : m_text.labels) {
        EXPECT_LE(label.x + int(label.text.size()) * FakeTextPainter::kGlyphWidth, plotLeft)
            << label.text;
    }
}

TEST_F(Curves, SoundingCurvePeaksAtTheDepthOfTheBody)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 2);
    m_config->ShowScaleMarks = 0;
    ASSERT_TRUE(DrawSoundingCurve(Context(), grid.Data().Slot(0, 13), {0, 0, 120, 200}));
    // The largest value is drawn furthest right; depths run from 1 m at the plot's top
    // (1 pixel in) to 10 m at its bottom.
    int peakX = -1;
    int peakY = -1;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 240; ++x) {
            if (m_canvas.GetPixel(x, y) == kCurveColour && x > peakX) {
                peakX = x;
                peakY = y;
            }
        }
    }
    const float depth = 1.0f + float(peakY - 1) * 9.0f / 198.0f;
    EXPECT_NEAR(depth, 4.0f, 0.1f);
}

TEST_F(Curves, ProfileCurveOfTwoStationsIsOneLineAcrossItsShare)
{
    const SimulatedGrid grid = MakeGrid(kBody, 10, 2, 1.0f, 1.0f, 2);
    ASSERT_TRUE(DrawGridProfileCurve(Context(), grid.Data(), 0, 0, 7, m_frame));
    int first = 0;
    int last = 0;
    CurveColumns(first, last);
    // Labelled: the plot starts 22 pixels in; 2 of 10 stations take 2 * 216 / 10 = 43 pixels.
    EXPECT_EQ(first, 22);
    EXPECT_EQ(last, 22 + 43);
    // A tap on the curve reads the station values.
    const float v0 = ValueAt(*m_config, *grid.Data().Slot(0, 0), 7);
    bool found = false;
    for (int y = 0; y < 200 && !found; ++y) {
        found = m_canvas.GetValue(22, y) == v0;
    }
    EXPECT_TRUE(found);
    EXPECT_FALSE(
        DrawGridProfileCurve(Context(), MakeGrid(kBody, 10, 2, 1, 1, 1).Data(), 0, 0, 7, m_frame));
}

TEST_F(Curves, MeasurementsToShowSpreadsTheLastStationsOverTheWidth)
{
    const SimulatedGrid grid = MakeGrid(kBody, 12, 2);
    m_config->MeasurementsToShow = 5;
    m_config->ShowScaleMarks = 0;
    ASSERT_TRUE(DrawGridProfileCurve(Context(), grid.Data(), 0, 3, 7, m_frame));
    int first = 0;
    int last = 0;
    CurveColumns(first, last);
    // Unlabelled: from 2 pixels in, 5 of 5 stations over 240 - 2 - 2 pixels.
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 2 + 236);
    // The first point is station 7: the oldest of the last five on an even profile.
    const float v7 = ValueAt(*m_config, *grid.Data().Slot(0, 7), 7);
    bool found = false;
    for (int y = 0; y < 200 && !found; ++y) {
        found = m_canvas.GetValue(2, y) == v7;
    }
    EXPECT_TRUE(found);
}

TEST_F(Curves, OddProfilesAreAlignedToTheRight)
{
    // Profile 1 walked from station 9 down to 6.
    const SimulatedGrid grid = MakeGrid(kBody, 10, 2, 1.0f, 1.0f, 14);
    m_config->ShowScaleMarks = 0;
    ASSERT_TRUE(DrawGridProfileCurve(Context(), grid.Data(), 1, 8, 7, m_frame));
    int first = 0;
    int last = 0;
    CurveColumns(first, last);
    const int t = 4 * 236 / 10;
    EXPECT_EQ(first, 240 - t - 2);
    EXPECT_EQ(last, 240 - 2);
}

TEST_F(Curves, TrackProfileCurveSpacesRecordsEqually)
{
    const SimulatedTrack track = MakeTrack(kBody, ZigZagWalk(), {});
    m_config->MeasurementsToShow = 4;
    m_config->ShowScaleMarks = 0;
    ASSERT_TRUE(DrawTrackProfileCurve(Context(), track.Data(), 7, m_frame));
    int first = 0;
    int last = 0;
    CurveColumns(first, last);
    // Point k of 4 at 2 + (k * 236 + 2) / 4.
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 2 + (3 * 236 + 2) / 4);

    m_config->MeasurementsToShow = 0;
    const SimulatedTrack one = MakeTrack(kBody, {{1, 1}}, {});
    EXPECT_FALSE(DrawTrackProfileCurve(Context(), one.Data(), 7, m_frame));
}

}  // namespace
}  // namespace orv
