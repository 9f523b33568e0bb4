// Whole surveys against the simulators, end to end: the instrument simulator and the GPS walk on
// pseudo-terminals, the real serial ports, the NMEA reader and the matcher. Each survey is saved,
// reopened and must show the same values.

#include "session/StationMeasurer.h"

#include "FakeMessagePoster.h"
#include "FakeSerialPort.h"
#include "FakeSystemClock.h"
#include "FakeTickClock.h"
#include "ReplyBuilder.h"
#include "SurveyFixture.h"
#include "base/PortNamer.h"
#include "base/TickClock.h"
#include "gps/GpsLinkState.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"
#include "instrument/InstrumentDevice.h"
#include "platform/QtSerialPort.h"
#include "signal/SignalComputation.h"
#include "sim/GpsSimulator.h"
#include "sim/InstrumentSimulator.h"
#include "survey/GridSurvey.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
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

    static bool WaitFor(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
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
    // Outlives the reader thread, which posts to it until it is joined.
    FakeMessagePoster m_window;
    size_t m_handled = 0;
    NmeaParser m_parser{SteadyTickClock()};
    GpsMatcher m_matcher{SteadyTickClock()};
    NmeaReader m_reader{m_parser, m_matcher, m_systemClock, SteadyTickClock(), m_prompt};
    InstrumentDevice m_device{m_config, m_instrument, m_gps,     SteadyTickClock(),
                              m_prompt, nullptr,      &m_reader, LinkTimings{3000, 10}};
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

// A GPS that goes away, stays connected but silent, or sends only void fixes, in the middle of a
// track: the instrument keeps measuring, the stations taken meanwhile stay unpositioned (never
// the last known position) and are told as they turn out so, the link comes back by itself,
// and the stations after it are positioned again. An unpositioned station measured again gets
// its position, and the walk goes on at the end of the track.
TEST_F(StationMeasurerTest, StationsTakenWhileTheGpsIsOutStayUnpositioned)
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
    m_config.GpsStaleSeconds = 1;
    m_matcher.Reset();
    TrackSurvey track(m_config);
    StationMeasurer measurer(track, m_device, &m_matcher, &m_window);
    std::vector<int> told;
    measurer.SetUnpositionedListener([&](int station) { told.push_back(station); });
    m_device.SetGpsWanted(true);  // as the session begins: the link opens before any Start
    const auto fixAge = [&] { return m_reader.LinkState().FixAgeSeconds(SteadyTickClock().Now()); };
    ASSERT_TRUE(WaitFor([&] { return fixAge() < 1.0; }));

    const auto measure = [&] {
        ASSERT_TRUE(measurer.Measure(error)) << error;
        PumpPositions(measurer);
        ASSERT_EQ(measurer.PendingPositions(), 0u);
    };
    struct Case
    {
        const char* legend;
        void (*outage)(sim::GpsSimulator&);
    };
    const Case cases[] = {
        {"gone", [](sim::GpsSimulator& g) { g.Disappear(3.0); }},
        {"connected but silent", [](sim::GpsSimulator& g) { g.Stall(3.0); }},
        {"void fixes only", [](sim::GpsSimulator& g) { g.Stall(3.0, true); }},
    };
    std::vector<int> outageStations;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        measure();
        const int before = track.Slots().Count() - 1;
        EXPECT_TRUE(track.HasPosition(before));
        c.outage(gpsSim);
        ASSERT_TRUE(WaitFor([&] { return fixAge() > 1.2; }));
        for (int i = 0; i < 2; ++i) {
            measure();
            const int station = track.Slots().Count() - 1;
            outageStations.push_back(station);
            EXPECT_FALSE(track.HasPosition(station));
            EXPECT_EQ(track.PositionAt(station).tickStamp, track.Slots()[station].TickStamp());
        }
        EXPECT_EQ(told, outageStations);
        ASSERT_TRUE(WaitFor([&] { return !gpsSim.Gone() && !gpsSim.Stalled(); }));
        ASSERT_TRUE(WaitFor([&] { return fixAge() < 0.5; }));
        measure();
        EXPECT_TRUE(track.HasPosition(track.Slots().Count() - 1));
    }
    EXPECT_EQ(measurer.UnpositionedStations(), outageStations);
    EXPECT_EQ(measurer.UnpositionedCount(), 6u);
    EXPECT_EQ(m_reader.LinkState().outages, 1u);
    EXPECT_EQ(m_prompt.Told().size(), 1u);  // "GPS Error", once for the port that went away

    // Back to the first unpositioned station, Start: measured again and positioned; the cursor
    // returns to the end of the track.
    const int count = track.Slots().Count();
    while (track.CurrentIndex() > outageStations[0]) {
        track.StepBack();
    }
    measure();
    EXPECT_TRUE(track.HasPosition(outageStations[0]));
    EXPECT_EQ(track.Slots().Count(), count);
    EXPECT_EQ(track.CurrentIndex(), count);
    EXPECT_EQ(measurer.UnpositionedCount(), 5u);
    m_device.CloseLink();

    // The file keeps an unpositioned station at latitude 0, longitude 0.
    const std::string path = m_dir.File("outages.orv");
    ASSERT_TRUE(SaveSession(track, path, error)) << error;
    auto reopened = OpenSession(path, m_config, error);
    ASSERT_TRUE(reopened) << error;
    auto& again = static_cast<TrackSurvey&>(*reopened);
    const std::vector<int> left(outageStations.begin() + 1, outageStations.end());
    EXPECT_EQ(again.UnpositionedStations(), left);
    EXPECT_EQ(again.PositionAt(left[0]).latitude, 0.0);
    EXPECT_EQ(again.PositionAt(left[0]).longitude, 0.0);
}

// Every stored station gets its wall-clock time; a fix is kept with it only while it is fresh.
TEST(StationMeasurer, StoredStationsKeepTheirTimeAndAFreshFixsQuality)
{
    GpsLinkState gps;
    gps.kind = GpsLinkState::Kind::Open;
    gps.haveFix = true;
    gps.lastFixTick = 10000;
    gps.fixQuality = 2;
    gps.satellites = 9;
    gps.hdop = 0.8;
    const auto before = std::chrono::system_clock::now();
    const StationMeta fresh = StationMetaNow(&gps, 12000, 5);
    ASSERT_TRUE(fresh.unixTimeMs.has_value());
    EXPECT_GE(
        *fresh.unixTimeMs,
        std::chrono::duration_cast<std::chrono::milliseconds>(before.time_since_epoch()).count());
    EXPECT_EQ(fresh.fixQuality, 2);
    EXPECT_EQ(fresh.satellites, 9);
    EXPECT_EQ(fresh.hdop, 0.8);
    const StationMeta stale = StationMetaNow(&gps, 16000, 5);
    EXPECT_TRUE(stale.unixTimeMs.has_value());
    EXPECT_FALSE(stale.fixQuality || stale.satellites || stale.hdop);
    gps.haveFix = false;
    EXPECT_FALSE(StationMetaNow(&gps, 10000, 5).fixQuality.has_value());

    TempDir dir;
    FakeSettingsStore store;
    FakePrompt prompt;
    Configuration config(store, dir.File("OrvCalibration.ini"), prompt);
    config.WorkType = work_type::kProfile;
    config.XSize = 4;
    config.YSize = 1;
    FakeTickClock clock;
    FakeSerialPort instrument(&clock);
    FakeSerialPort port(&clock);
    InstrumentDevice device(config, instrument, port, clock, prompt, nullptr, nullptr);
    GridSurvey survey(config);
    StationMeasurer measurer(survey, device, nullptr, nullptr);
    measurer.SetMetaSource([] { return StationMeta{42, 1, 7, 1.5}; });
    std::string error;
    instrument.Queue(test::Reply(0x3FFF, 9));
    ASSERT_TRUE(measurer.Measure(error)) << error;
    ASSERT_EQ(survey.StationMetas().size(), 1u);
    EXPECT_EQ(survey.StationMetas()[0], (StationMeta{42, 1, 7, 1.5}));
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

// The answers of the matcher come late, through the window's queue: one meant for a measurement
// that was replaced since must not touch the new one.
TEST(StationMeasurer, AnswersForAReplacedMeasurementAreIgnored)
{
    TempDir dir;
    FakeSettingsStore store;
    FakePrompt prompt;
    Configuration config(store, dir.File("OrvCalibration.ini"), prompt);
    config.WorkType = work_type::kGpsTrack;
    config.GpsStaleSeconds = 2;
    FakeTickClock clock(100000);
    FakeSerialPort instrument(&clock);
    FakeSerialPort gps(&clock);
    InstrumentDevice device(config, instrument, gps, clock, prompt, nullptr, nullptr);
    GpsMatcher matcher(clock);
    FakeMessagePoster window;
    TrackSurvey track(config);
    StationMeasurer measurer(track, device, &matcher, &window);
    std::vector<int> told;
    measurer.SetUnpositionedListener([&](int station) { told.push_back(station); });
    size_t handled = 0;
    const auto pump = [&] {
        const auto messages = window.Messages();
        for (; handled < messages.size(); ++handled) {
            measurer.OnMessage(messages[handled]);
        }
    };
    std::string error;
    const auto measure = [&] {
        instrument.Queue(test::Reply(0x3FFF, 9));
        ASSERT_TRUE(measurer.Measure(error)) << error;
    };

    // Station 0 gets no fix within 2 s: given up, told, listed.
    measure();
    const uint32_t first = track.PositionAt(0).tickStamp;
    clock.Advance(2001);
    measurer.ExpirePositions();
    pump();
    EXPECT_EQ(told, (std::vector<int>{0}));
    EXPECT_EQ(measurer.UnpositionedStations(), (std::vector<int>{0}));

    // Measured again, half a second after a fix: it waits for its own answer, and the cursor
    // is back at the end.
    matcher.AddFix({60.0, 10.0, clock.Now() - 500});
    track.StepBack();
    measure();
    EXPECT_EQ(track.CurrentIndex(), 1);
    const uint32_t second = track.PositionAt(0).tickStamp;
    ASSERT_NE(second, first);
    EXPECT_EQ(measurer.PendingPositions(), 1u);
    EXPECT_TRUE(measurer.UnpositionedStations().empty());

    // Late news of the first measurement: a position, then a give-up. Neither counts.
    measurer.OnMessage(ProgramMessage{message::kMeasurementPosition, 0, 0, GpsFix{5, 6, first}});
    measurer.OnMessage(ProgramMessage{message::kMeasurementPosition, 0, first, std::nullopt});
    EXPECT_FALSE(track.HasPosition(0));
    EXPECT_EQ(measurer.PendingPositions(), 1u);
    EXPECT_EQ(told, (std::vector<int>{0}));

    // The next fix positions it, between the two.
    matcher.AddFix({60.001, 10.0, second + 500});
    pump();
    EXPECT_EQ(measurer.PendingPositions(), 0u);
    EXPECT_NEAR(track.PositionAt(0).latitude, 60.0005, 1e-9);
    EXPECT_EQ(track.PositionAt(0).tickStamp, second);
    EXPECT_TRUE(measurer.UnpositionedStations().empty());
    EXPECT_EQ(told, (std::vector<int>{0}));
}

}  // namespace
