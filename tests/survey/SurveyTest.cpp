// The datasets: walking order and cursor of grid surveys, storing measurements, positions and
// local coordinates of tracks.

#include "survey/Survey.h"

#include "SurveyFixture.h"
#include "survey/GridSurvey.h"
#include "survey/TrackSurvey.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

namespace {

using namespace orv;
using orv::test::Measurement;
using orv::test::NumberOf;

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

    // Until the matcher answers a station has the last known position and its own time.
    track.SetCurrentPosition({51.5, -0.2, 99});
    ASSERT_TRUE(track.GiveLastKnownPosition(3));
    EXPECT_EQ(track.PositionAt(3).latitude, 51.5);
    EXPECT_EQ(track.PositionAt(3).tickStamp, 9000u);

    // An answer for station 3 carrying station 1's time goes to station 1.
    ASSERT_TRUE(track.AssignPosition(3, {10.0, 20.0, 7000}));
    EXPECT_EQ(track.PositionAt(1).latitude, 10.0);
    EXPECT_EQ(track.PositionAt(3).latitude, 51.5);
    EXPECT_FALSE(track.AssignPosition(3, {1.0, 2.0, 12345}));   // no such time
    EXPECT_FALSE(track.AssignPosition(40, {1.0, 2.0, 12345}));  // beyond the track: no read
    EXPECT_TRUE(track.AssignPosition(40, {1.0, 2.0, 9000}));    // searched from the last one
    EXPECT_EQ(track.PositionAt(3).latitude, 1.0);
    EXPECT_FALSE(track.GiveLastKnownPosition(4));
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

}  // namespace
