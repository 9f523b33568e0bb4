// The datasets: walking order and cursor of grid surveys, storing measurements, positions and
// local coordinates of tracks.

#include "survey/Survey.h"

#include "SurveyFixture.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

using namespace orv;
using orv::test::Measurement;
using orv::test::NumberOf;

std::vector<int> Stored(const Survey& survey)
{
    return {survey.LastStored().begin(), survey.LastStored().end()};
}

class SurveyTest : public orv::test::SurveyFixture
{
};

TEST_F(SurveyTest, GridWalksInASnakeAndStaysAtTheLastStation)
{
    Grid(work_type::kMap, 3, 2);
    GridSurvey survey(m_config);
    EXPECT_EQ(survey.Slots().Count(), 6);
    EXPECT_EQ(m_config.SurveyStations, 3);
    EXPECT_EQ(m_config.SurveyProfiles, 2);

    const std::pair<int, int> walk[] = {{0, 0}, {0, 1}, {0, 2}, {1, 2}, {1, 1}, {1, 0}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(survey.CurrentProfile(), walk[i].first);
        EXPECT_EQ(survey.CurrentStation(), walk[i].second);
        EXPECT_EQ(survey.CurrentIndex(), i);
        EXPECT_EQ(survey.Advance(), i < 5);
    }
    EXPECT_EQ(survey.CurrentProfile(), 1);
    EXPECT_EQ(survey.CurrentStation(), 0);

    // The first stations of the profiles in walking order: (0,0) and (1,2).
    survey.ResetCursor();
    std::vector<bool> starts;
    do {
        starts.push_back(survey.AtProfileStart());
    } while (survey.Advance());
    EXPECT_EQ(starts, (std::vector<bool>{true, false, false, true, false, false}));

    // Back from (1,2) is (0,2); from (0,0) there is nowhere to go.
    survey.ResetCursor();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(survey.Advance());
    }
    ASSERT_TRUE(survey.StepBack());
    EXPECT_EQ(survey.CurrentProfile(), 0);
    EXPECT_EQ(survey.CurrentStation(), 2);
    survey.ResetCursor();
    EXPECT_FALSE(survey.StepBack());

    // The arrow keys wrap within the grid.
    survey.PreviousStation();
    EXPECT_EQ(survey.CurrentStation(), 2);
    survey.NextStation();
    EXPECT_EQ(survey.CurrentStation(), 0);
    survey.PreviousProfile();
    EXPECT_EQ(survey.CurrentProfile(), 1);
    survey.NextProfile();
    EXPECT_EQ(survey.CurrentProfile(), 0);

    // Every slot maps back to its station.
    for (int i = 0; i < 6; ++i) {
        int p = -1;
        int s = -1;
        ASSERT_TRUE(survey.StationOf(i, p, s));
        EXPECT_EQ(survey.IndexOf(p, s), i);
    }
}

TEST_F(SurveyTest, MeasurementsLandInWalkingOrderAndTheLastStationIsReplaced)
{
    Grid(work_type::kMap, 3, 2);
    GridSurvey survey(m_config);
    for (uint32_t n = 1; n <= 7; ++n) {
        ASSERT_TRUE(survey.StoreMeasurement(Measurement(n)));
    }
    EXPECT_EQ(survey.Modified(), 1);
    EXPECT_EQ(survey.Slots().Count(), 6);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(NumberOf(survey.Slots()[i]), uint32_t(i + 1));
    }
    EXPECT_EQ(NumberOf(survey.Slots()[5]), 7u);  // the full grid's last slot was replaced
}

TEST_F(SurveyTest, LineIsOpenEndedAndGrowsOneStationAtATime)
{
    Grid(work_type::kLine, 7, 5);
    GridSurvey survey(m_config);
    EXPECT_EQ(survey.Stations(), 0);
    EXPECT_EQ(survey.Profiles(), 1);
    EXPECT_EQ(survey.YStep(), 0.0f);
    EXPECT_EQ(survey.Slots().Count(), 20);
    EXPECT_EQ(survey.ValidCount(), 0);
    for (uint32_t n = 1; n <= 21; ++n) {
        ASSERT_TRUE(survey.StoreMeasurement(Measurement(n)));
    }
    EXPECT_EQ(survey.Slots().Count(), 21);
    EXPECT_EQ(NumberOf(survey.Slots()[20]), 21u);
    EXPECT_EQ(survey.CurrentStation(), 21);
    // Left from station 0 goes to the station after the last.
    survey.ResetCursor();
    survey.PreviousStation();
    EXPECT_EQ(survey.CurrentStation(), 21);
}

TEST_F(SurveyTest, TracerSeriesFillsFourteenStationsInWalkingOrder)
{
    Grid(work_type::kMap, 5, 4);
    GridSurvey survey(m_config);
    std::array<MeasurementSlot, kFrequencyCount> series;
    for (uint32_t i = 0; i < series.size(); ++i) {
        series[i] = Measurement(100 + i, 0x0001);
    }
    ASSERT_TRUE(survey.StoreSeries(series));
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(NumberOf(survey.Slots()[i]), uint32_t(100 + i));
    }
    EXPECT_EQ(survey.CurrentIndex(), 14);
    EXPECT_EQ(survey.CurrentProfile(), 2);
    EXPECT_EQ(survey.CurrentStation(), 4);
}

TEST_F(SurveyTest, TrackPositionsFollowTheirMeasurementsByTickStamp)
{
    m_config.WorkType = work_type::kGpsTrack;
    TrackSurvey track(m_config);
    for (uint32_t n = 1; n <= 4; ++n) {
        ASSERT_TRUE(track.StoreMeasurement(Measurement(n, 0x3FFF, 9, 5000 + n * 1000)));
    }
    ASSERT_EQ(track.Positions().Count(), 4);
    EXPECT_EQ(track.PositionAt(2).tickStamp, 8000u);
    EXPECT_EQ(track.PositionAt(2).latitude, 0.0);

    // Until the matcher answers a station has no position, only its own time: never the last
    // known position.
    track.SetCurrentPosition({51.5, -0.2, 99});
    EXPECT_FALSE(track.HasPosition(3));
    EXPECT_EQ(track.UnpositionedStations(), (std::vector<int>{0, 1, 2, 3}));

    // An answer for station 3 carrying station 1's time goes to station 1.
    ASSERT_TRUE(track.AssignPosition(3, {10.0, 20.0, 7000}));
    EXPECT_EQ(track.PositionAt(1).latitude, 10.0);
    EXPECT_EQ(track.PositionAt(3).latitude, 0.0);
    EXPECT_FALSE(track.AssignPosition(3, {1.0, 2.0, 12345}));   // no such time
    EXPECT_FALSE(track.AssignPosition(40, {1.0, 2.0, 12345}));  // beyond the track: no read
    EXPECT_TRUE(track.AssignPosition(40, {1.0, 2.0, 9000}));    // searched from the last one
    EXPECT_EQ(track.PositionAt(3).latitude, 1.0);
    EXPECT_EQ(track.UnpositionedStations(), (std::vector<int>{0, 2}));
}

TEST_F(SurveyTest, MeasuringAnUnpositionedStationAgainReturnsToTheEndOfTheTrack)
{
    m_config.WorkType = work_type::kGpsTrack;
    TrackSurvey track(m_config);
    for (uint32_t n = 1; n <= 4; ++n) {
        ASSERT_TRUE(track.StoreMeasurement(Measurement(n, 0x3FFF, 9, 1000 * n)));
        EXPECT_EQ(Stored(track), (std::vector<int>{int(n) - 1}));
    }
    for (const int i : {0, 2, 3}) {
        ASSERT_TRUE(track.AssignPosition(i, {60.0, 30.0 + i * 0.001, 1000u * uint32_t(i + 1)}));
    }
    // Station 1 got no position: the operator goes back to it and measures again. The new
    // measurement replaces it, and the walk goes on at the end.
    track.StepBack();
    track.StepBack();
    track.StepBack();
    ASSERT_EQ(track.CurrentIndex(), 1);
    ASSERT_TRUE(track.StoreMeasurement(Measurement(5, 0x3FFF, 9, 9000)));
    EXPECT_EQ(Stored(track), (std::vector<int>{1}));
    EXPECT_EQ(NumberOf(track.Slots()[1]), 5u);
    EXPECT_EQ(track.PositionAt(1).tickStamp, 9000u);
    EXPECT_EQ(track.Slots().Count(), 4);
    EXPECT_EQ(track.CurrentIndex(), 4);

    // A positioned station measured again is replaced as on the handheld: the cursor moves on
    // to the next station.
    track.StepBack();
    track.StepBack();
    ASSERT_EQ(track.CurrentIndex(), 2);
    ASSERT_TRUE(track.StoreMeasurement(Measurement(6, 0x3FFF, 9, 10000)));
    EXPECT_EQ(track.CurrentIndex(), 3);
}

TEST_F(SurveyTest, TrackLocalCoordinatesAreMetresFromTheFirstStation)
{
    m_config.WorkType = work_type::kGpsTrack;
    TrackSurvey track(m_config);

    track.UpdateLocalCoordinates();
    EXPECT_EQ(track.LocalCoordinates().Count(), 0);

    ASSERT_TRUE(track.StoreMeasurement(Measurement(1, 0x3FFF, 9, 2000)));
    ASSERT_TRUE(track.AssignPosition(0, {60.0, 30.0, 2000}));
    track.UpdateLocalCoordinates();
    ASSERT_EQ(track.LocalCoordinates().Count(), 2);
    EXPECT_EQ(track.LocalCoordinates()[0].x, 0.0f);
    EXPECT_EQ(track.LocalCoordinates()[1].y, 0.0f);  // no fix yet: a copy of the last station
    EXPECT_FALSE(track.HaveCurrentPosition());

    ASSERT_TRUE(track.StoreMeasurement(Measurement(2, 0x3FFF, 9, 3000)));
    // 0.001 degree north is 111.195 m; 0.002 degree east at 60 degrees north is half of twice.
    ASSERT_TRUE(track.AssignPosition(1, {60.001, 30.002, 3000}));
    track.SetCurrentPosition({60.0, 30.001, 4000});
    track.UpdateLocalCoordinates();
    ASSERT_EQ(track.LocalCoordinates().Count(), 3);
    EXPECT_NEAR(track.LocalCoordinates()[1].y, 111.195, 0.001);
    EXPECT_NEAR(track.LocalCoordinates()[1].x, 111.195, 0.001);
    EXPECT_NEAR(track.LocalCoordinates()[2].x, 55.597, 0.001);  // the current fix
    EXPECT_NEAR(track.LocalCoordinates()[2].y, 0.0, 1e-6);

    const TrackSurveyData data = track.Data();
    EXPECT_EQ(data.Count(), 2);
    EXPECT_NEAR(data.CurrentPosition().x, 55.597, 0.001);

    // A GPS reset forgets the current fix: the entry copies the last station again, never a
    // position of an earlier session.
    track.ForgetCurrentPosition();
    track.UpdateLocalCoordinates();
    EXPECT_EQ(track.LocalCoordinates()[2].x, track.LocalCoordinates()[1].x);
}

TEST_F(SurveyTest, UnpositionedStationsAreLeftOutOfTheLocalCoordinates)
{
    m_config.WorkType = work_type::kGpsTrack;
    TrackSurvey track(m_config);
    for (uint32_t n = 1; n <= 5; ++n) {
        ASSERT_TRUE(track.StoreMeasurement(Measurement(n, 0x3FFF, 9, 1000 * n)));
    }
    // Stations 0 and 3 have no position. The origin is station 1; 0.001 degree north is
    // 111.195 m.
    ASSERT_TRUE(track.AssignPosition(1, {60.0, 30.0, 2000}));
    ASSERT_TRUE(track.AssignPosition(2, {60.001, 30.0, 3000}));
    ASSERT_TRUE(track.AssignPosition(4, {60.002, 30.0, 5000}));
    track.UpdateLocalCoordinates();
    const auto& local = track.LocalCoordinates();
    ASSERT_EQ(local.Count(), 6);
    EXPECT_EQ(track.PositionedFlags().View().size(), 5u);
    const uint8_t flags[] = {0, 1, 1, 0, 1};
    const float ys[] = {0.0f, 0.0f, 111.195f, 111.195f, 222.390f, 222.390f};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        if (i < 5) {
            EXPECT_EQ(track.PositionedFlags()[i], flags[i]);
        }
        EXPECT_NEAR(local[i].y, ys[i], 0.001);
        EXPECT_EQ(local[i].x, 0.0f);
    }

    // The session file keeps the handheld's layout: an unpositioned station is stored at
    // latitude 0, longitude 0, and reads back unpositioned.
    std::string error;
    const std::string path = m_dir.File("gaps.orv");
    ASSERT_TRUE(SaveSession(track, path, error)) << error;
    auto reopened = OpenSession(path, m_config, error);
    ASSERT_TRUE(reopened) << error;
    const auto& again = static_cast<const TrackSurvey&>(*reopened);
    EXPECT_EQ(again.UnpositionedStations(), (std::vector<int>{0, 3}));
    EXPECT_NEAR(again.LocalCoordinates()[4].y, 222.390f, 0.001);
}

}  // namespace

namespace orv {
namespace {

// A survey's arrays grow in small blocks and in pages of their own beyond a megabyte; every
// growth keeps what was there and makes the new elements empty.
TEST(GrowableArray, KeepsItsElementsAcrossEveryGrowth)
{
    struct Marked
    {
        uint32_t number = 0;
        double weight = -1.0;  // an element made empty is value-initialised, not zeroed
    };
    GrowableArray<Marked> array;
    EXPECT_FALSE(array.SetCount(-1));
    EXPECT_TRUE(array.Empty());
    constexpr int kMany = 300000;  // 4.8 MB: through the small block into pages, then grown there
    for (int n = 0; n < kMany; ++n) {
        ASSERT_TRUE(array.SetCount(n + 1));
        ASSERT_EQ(array[n].weight, -1.0);
        array[n].number = uint32_t(n);
        // The automatic step: an eighth of the count, 4 to 1024.
        ASSERT_LE(array.Capacity(), std::max(n + 1, (n + 1) + std::clamp(n / 8, 4, 1024)));
    }
    for (int n = 0; n < kMany; n += 997) {
        ASSERT_EQ(array[n].number, uint32_t(n));
    }
    // Shrinking keeps the capacity; growing again makes empty elements.
    const int capacity = array.Capacity();
    ASSERT_TRUE(array.SetCount(10));
    EXPECT_EQ(array.Capacity(), capacity);
    ASSERT_TRUE(array.SetCount(12));
    EXPECT_EQ(array[11].weight, -1.0);
    EXPECT_EQ(array[9].number, 9u);
    ASSERT_TRUE(array.SetCountWith(kMany, [](int i) { return Marked{uint32_t(i) * 2, 1.0}; }));
    EXPECT_EQ(array[kMany - 1].number, uint32_t(kMany - 1) * 2);

    GrowableArray<Marked> copy = array;
    array[5].number = 77;
    EXPECT_EQ(copy[5].number, 5u);
    EXPECT_EQ(copy.Count(), kMany);
    GrowableArray<Marked> moved = std::move(copy);
    EXPECT_EQ(moved[kMany - 1].number, uint32_t(kMany - 1) * 2);
    copy = moved;
    EXPECT_EQ(copy.View().size(), size_t(kMany));
    GrowableArray<Marked> small(3);
    ASSERT_TRUE(small.SetCount(1));
    EXPECT_EQ(small.Capacity(), 3);
    small = moved;
    EXPECT_EQ(small.Count(), kMany);
}

}  // namespace
}  // namespace orv
