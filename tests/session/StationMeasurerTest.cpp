// Whole surveys against the simulators, end to end: the instrument simulator and the GPS walk on
// pseudo-terminals, the real serial ports, the NMEA reader and the matcher. Each survey is saved,
// reopened and must show the same values.

#include "session/StationMeasurer.h"

#include "FakeMessagePoster.h"
#include "FakeSerialPort.h"
#include "FakeTickClock.h"
#include "FakeSystemClock.h"
#include "sim/GpsSimulator.h"
#include "sim/InstrumentSimulator.h"
#include "SurveyFixture.h"
#include "base/TickClock.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"
#include "instrument/InstrumentDevice.h"
#include "base/PortNamer.h"
#include "platform/QtSerialPort.h"
#include "signal/SignalComputation.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using namespace orv;

constexpr unsigned kInstrumentPort = 7;
constexpr unsigned kGpsPort = 8;

void EnsureQtApplication()
{
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "test_session";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
}

sim::InstrumentOptions InstrumentIn(const TempDir& dir)
{
    setenv("ORVCONTROL_PORT_PATTERN", (dir.Path() / "port%u").c_str(), 1);
    sim::InstrumentOptions options;
    options.linkPath = DevicePathForPort(kInstrumentPort);
    options.ground = sim::GroundModel::HalfSpace(25.0);
    return options;
}

class StationMeasurerTest : public orv::test::SurveyFixture
{
protected:
    StationMeasurerTest()
    {
        EnsureQtApplication();
        m_config.BluetoothInboundPort = int(kInstrumentPort);
        m_config.BluetoothOutboundPort = int(kGpsPort);
        m_config.UsedFrequencies.fill(1);
        m_config.UnitMeasure = unit_measure::kApparent;
        m_config.ApparentValueKind = apparent_kind::kConductivity;
        std::string error;
        EXPECT_TRUE(m_instrumentSim.Start(error)) << error;
    }

    // Hands the matcher's messages to the measurer until no station waits for its position.
    void PumpPositions(StationMeasurer& measurer)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto messages = m_window.Messages();
            for (; m_handled < messages.size(); ++m_handled) {
                measurer.OnMessage(messages[m_handled]);
            }
            if (measurer.PendingPositions() == 0) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    std::vector<float> Values(const Survey& survey)
    {
        std::vector<float> values;
        for (const MeasurementSlot& slot : survey.Slots().View()) {
            for (int f = 0; f < kFrequencyCount; ++f) {
                values.push_back(ValueAt(m_config, slot, f));
            }
        }
        return values;
    }

    sim::InstrumentSimulator m_instrumentSim{InstrumentIn(m_dir)};
    QtSerialPort m_instrument;
    QtSerialPort m_gps;
    FakeSystemClock m_systemClock;
    NmeaParser m_parser{SteadyTickClock()};
    GpsMatcher m_matcher{SteadyTickClock()};
    NmeaReader m_reader{m_parser, m_matcher, m_systemClock, SteadyTickClock(), m_prompt};
    InstrumentDevice m_device{m_config, m_instrument, m_gps,     SteadyTickClock(),
                              m_prompt, nullptr,      &m_reader, LinkTimings{3000, 10}};
    FakeMessagePoster m_window;
    size_t m_handled = 0;
};

TEST_F(StationMeasurerTest, GridSurveysSaveAndReopenWithTheirValues)
{
    for (const int workType : {work_type::kMap, work_type::kProfile, work_type::kLine}) {
        SCOPED_TRACE(workType);
        Grid(workType, 3, 2);
        GridSurvey survey(m_config);
        StationMeasurer measurer(survey, m_device, nullptr, nullptr);
        std::string error;
        const int count = workType == work_type::kMap ? 6 : workType == work_type::kProfile ? 3 : 5;
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(measurer.Measure(error)) << error;
        }
        EXPECT_EQ(measurer.SurveyComplete(), workType != work_type::kLine);
        EXPECT_EQ(survey.ValidCount(), count);
        const std::vector<float> before = Values(survey);
        EXPECT_NEAR(before[0], 25.0f, 0.5f);  // the ground's conductivity, mS/m

        const std::string path = m_dir.File("grid.orv");
        ASSERT_TRUE(SaveSession(survey, path, error)) << error;
        auto reopened = OpenSession(path, m_config, error);
        ASSERT_TRUE(reopened) << error;
        EXPECT_EQ(m_config.WorkType, workType);
        ASSERT_EQ(reopened->Slots().Count(), survey.Slots().Count());
        EXPECT_EQ(Values(*reopened), before);
    }
}

TEST_F(StationMeasurerTest, DroppedLinkStoresNothingAndTheNextStationReconnects)
{
    Grid(work_type::kProfile, 4, 1);
    GridSurvey survey(m_config);
    StationMeasurer measurer(survey, m_device, nullptr, nullptr);
    std::string error;
    ASSERT_TRUE(measurer.Measure(error)) << error;
    m_instrumentSim.SetFaults({.closeAfterBytes = 100, .replies = 1});
    EXPECT_FALSE(measurer.Measure(error));
    EXPECT_NE(error.find("Failed to measure"), std::string::npos);
    EXPECT_EQ(survey.ValidCount(), 1);
    EXPECT_EQ(survey.CurrentIndex(), 1);
    ASSERT_TRUE(measurer.Measure(error)) << error;
    EXPECT_EQ(survey.ValidCount(), 2);
}

TEST_F(StationMeasurerTest, TrackStationsGetTheirGpsPositions)
{
    sim::GpsSimulatorOptions gpsOptions;
    gpsOptions.port = kGpsPort;
    gpsOptions.rate = 10.0;
    gpsOptions.baud = 0;
    gpsOptions.walk.speed = 20.0;
    sim::GpsSimulator gpsSim;
    std::string error;
    ASSERT_TRUE(gpsSim.Start(gpsOptions, error)) << error;

    m_config.WorkType = work_type::kGpsTrack;
    m_matcher.Reset();
    m_device.SetGpsWanted(true);
    TrackSurvey track(m_config);
    StationMeasurer measurer(track, m_device, &m_matcher, &m_window);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(measurer.Measure(error)) << error;
        PumpPositions(measurer);
        ASSERT_EQ(measurer.PendingPositions(), 0u);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    m_device.CloseLink();
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(track.PositionAt(i).latitude, gpsOptions.walk.latitude, 0.01);
        EXPECT_EQ(track.PositionAt(i).tickStamp, track.Slots()[i].TickStamp());
    }
    // Walking north: later stations lie further north.
    EXPECT_GT(track.PositionAt(3).latitude, track.PositionAt(0).latitude);

    const std::string path = m_dir.File("track.orv");
    ASSERT_TRUE(SaveSession(track, path, error)) << error;
    auto reopened = OpenSession(path, m_config, error);
    ASSERT_TRUE(reopened) << error;
    auto& again = static_cast<TrackSurvey&>(*reopened);
    ASSERT_EQ(again.Slots().Count(), 4);
    EXPECT_EQ(again.PositionAt(3).latitude, track.PositionAt(3).latitude);
    EXPECT_EQ(Values(again), Values(track));
    EXPECT_GT(again.LocalCoordinates()[3].y, 0.0f);
}

TEST(StationMeasurer, AFailedMeasurementChangesNothing)
{
    TempDir dir;
    FakeSettingsStore store;
    FakePrompt prompt;
    Configuration config(store, dir.File("OrvCalibration.ini"), prompt);
    FakeTickClock clock;
    FakeSerialPort instrument(&clock);
    FakeSerialPort gps(&clock);
    InstrumentDevice device(config, instrument, gps, clock, prompt, nullptr, nullptr);
    config.WorkType = work_type::kProfile;
    config.XSize = 4;
    config.YSize = 9;
    GridSurvey survey(config);
    EXPECT_EQ(survey.Profiles(), 1);
    std::string error;
    StationMeasurer gridMeasurer(survey, device, nullptr, nullptr);
    EXPECT_FALSE(gridMeasurer.Measure(error));  // the instrument never answers
    EXPECT_NE(error.find("Failed to measure"), std::string::npos);
    EXPECT_EQ(survey.Modified(), 0);
    EXPECT_EQ(survey.ValidCount(), 0);
    EXPECT_EQ(survey.CurrentIndex(), 0);

    config.WorkType = work_type::kGpsTrack;
    TrackSurvey track(config);
    StationMeasurer trackMeasurer(track, device, nullptr, nullptr);
    EXPECT_FALSE(trackMeasurer.Measure(error));
    EXPECT_EQ(track.Slots().Count(), 0);
    EXPECT_EQ(track.Positions().Count(), 0);
}


}  // namespace
