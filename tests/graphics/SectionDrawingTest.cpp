#include "graphics/SectionDrawing.h"

#include "DrawingFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace orv {
namespace {

const sim::GroundModel kBody = sim::GroundModel::Body(10.0, 100.0, 13.0, 4.0, 4.0, 3.0);

class Section : public DrawingTest
{
protected:
    void UseFrequencies(std::initializer_list<int> active)
    {
        m_config->UsedFrequencies.fill(0);
        for (const int f : active) {
            m_config->UsedFrequencies[size_t(f)] = 1;
        }
    }
};

TEST_F(Section, ShowsTheBodyAtItsStationAndDepth)
{
    const SimulatedGrid grid = MakeGrid(kBody, 20, 12);
    ASSERT_TRUE(DrawGridSection(Context(), grid.Data(), 4, 0, m_frame));
    const FrameRect box = ValueBounds();
    int x = 0;
    int y = 0;
    ArgMax(x, y);
    // 19 m along the profile; depths from 1 m (top) to 10 m (bottom).
    const float along = (float(x - box.left) + 0.5f) / float(box.Width()) * 19.0f;
    const float depth = 1.0f + (float(y - box.top) + 0.5f) / float(box.Height()) * 9.0f;
    EXPECT_NEAR(along, 13.0f, 0.5f);
    EXPECT_NEAR(depth, 4.0f, 0.5f);
    // Depth labels grow downward, in metres.
    ASSERT_GE(m_text.labels.size(), 2u);
    const FakeTextPainter::Label& five = m_text.labels.back();
    EXPECT_EQ(five.text, "5 m");
    EXPECT_GT(five.y, box.top + box.Height() / 3);
}

TEST_F(Section, NeedsTwoStationsAndTwoActiveFrequencies)
{
    const SimulatedGrid two = MakeGrid(kBody, 10, 2, 1.0f, 1.0f, 2);
    UseFrequencies({0, 13});
    EXPECT_TRUE(DrawGridSection(Context(), two.Data(), 0, 1, m_frame));

    const SimulatedGrid full = MakeGrid(kBody, 10, 2);
    UseFrequencies({5});
    EXPECT_FALSE(DrawGridSection(Context(), full.Data(), 0, 4, m_frame));
    UseFrequencies({});
    EXPECT_FALSE(DrawGridSection(Context(), full.Data(), 0, 4, m_frame));

    UseFrequencies({0, 13});
    const SimulatedGrid one = MakeGrid(kBody, 10, 2, 1.0f, 1.0f, 1);
    EXPECT_FALSE(DrawGridSection(Context(), one.Data(), 0, 0, m_frame));
    // The station asked for is not measured: no run contains it.
    EXPECT_FALSE(DrawGridSection(Context(), two.Data(), 0, 5, m_frame));
    EXPECT_FALSE(DrawGridSection(Context(), two.Data(), 0, -1, m_frame));
}

TEST_F(Section, PartialRunsFillTheirShareFromTheWalkingSide)
{
    m_config->RealScaling = 0;
    m_config->ShowScaleMarks = 0;
    // Profile 0: stations 0..2 of 10 measured.
    const SimulatedGrid even = MakeGrid(kBody, 10, 2, 1.0f, 1.0f, 3);
    ASSERT_TRUE(DrawGridSection(Context(), even.Data(), 0, 1, m_frame));
    FrameRect box = ValueBounds();
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 72);  // 3/10 of 240
    EXPECT_EQ(box.Height(), 200);

    // Profile 1, walked from station 9 down: stations 9..7 measured, aligned to the right.
    m_canvas.Clear();
    const SimulatedGrid odd = MakeGrid(kBody, 10, 2, 1.0f, 1.0f, 13);
    ASSERT_TRUE(DrawGridSection(Context(), odd.Data(), 1, 8, m_frame));
    box = ValueBounds();
    EXPECT_EQ(box.left, 168);
    EXPECT_EQ(box.right, 240);
}

TEST_F(Section, TrackSectionRunsAlongTheWalkedDistance)
{
    std::vector<LocalPoint> walk = {{0, 0}, {3, 4}, {3, 4}, {6, 8}};
    const SimulatedTrack track = MakeTrack(kBody, walk, {});
    std::array<float, 4> distances{};
    WalkedDistances(track.Data(), 0, 4, distances);
    EXPECT_FLOAT_EQ(distances[1], 5.0f);
    // Two records at one place are 0.01 m apart, so positions always increase.
    EXPECT_FLOAT_EQ(distances[2], 5.01f);
    EXPECT_FLOAT_EQ(distances[3], 10.01f);

    m_config->RealScaling = 0;
    EXPECT_TRUE(DrawTrackSection(Context(), track.Data(), m_frame));
    EXPECT_EQ(ValueBounds().Width(), 240);

    const SimulatedTrack single = MakeTrack(kBody, {{0, 0}}, {});
    EXPECT_FALSE(DrawTrackSection(Context(), single.Data(), m_frame));
    EXPECT_FALSE(DrawTrackSection(Context(), TrackSurveyData{}, m_frame));
}

TEST_F(Section, StationsWithoutAPositionKeepTheirPlaceWithoutAddingDistance)
{
    // Stations 0 and 2 have no position; the coordinates they carry count for nothing.
    SimulatedTrack track = MakeTrack(kBody, {{50, 50}, {0, 0}, {90, -40}, {3, 4}, {6, 8}}, {});
    track.positioned = {0, 1, 0, 1, 1};
    std::array<float, 5> distances{};
    WalkedDistances(track.Data(), 0, 5, distances);
    const std::array<float, 5> expected = {0.0f, 0.01f, 0.02f, 5.02f, 10.02f};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(distances[i], expected[i]) << i;
    }
    // The last three records only: the first of them has no position before it to start from.
    std::array<float, 3> tail{};
    WalkedDistances(track.Data(), 2, 3, tail);
    EXPECT_FLOAT_EQ(tail[1], 0.01f);
    EXPECT_FLOAT_EQ(tail[2], 5.01f);
    EXPECT_TRUE(DrawTrackSection(Context(), track.Data(), m_frame));
}

TEST_F(Section, ThinTrueScaleTrackSectionIsDrawnFitToScreen)
{
    // 300 m of walk over 9 m of depth at 240 pixels would be 7 rows high: fit to screen.
    std::vector<LocalPoint> walk;
    for (int i = 0; i <= 300; i += 10) {
        walk.push_back({float(i), 0.0f});
    }
    const SimulatedTrack track = MakeTrack(kBody, walk, {});
    bool toScale = true;
    ASSERT_TRUE(DrawTrackSection(Context(), track.Data(), m_frame, &toScale));
    EXPECT_FALSE(toScale);
    FrameRect box = ValueBounds();
    EXPECT_EQ(box.Height(), 200);
    EXPECT_EQ(box.Width(), 240);

    // 30 m over 9 m is 72 rows at true scale: proportional and centred.
    m_canvas.Clear();
    walk.resize(4);
    const SimulatedTrack shorter = MakeTrack(kBody, walk, {});
    ASSERT_TRUE(DrawTrackSection(Context(), shorter.Data(), m_frame, &toScale));
    EXPECT_TRUE(toScale);
    box = ValueBounds();
    EXPECT_EQ(box.Height(), 72);
    EXPECT_EQ(box.top, (200 - 72) / 2);
}

}  // namespace
}  // namespace orv
