#include "sim/GpsSimulator.h"

#include "FakeMessagePoster.h"
#include "FakePrompt.h"
#include "FakeSystemClock.h"
#include "FakeTickClock.h"
#include "TempDir.h"
#include "base/MessagePoster.h"
#include "base/TickClock.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"
#include "platform/QtSerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace orv {
namespace {

using namespace std::chrono_literals;
using sim::GpsWalk;
using sim::WalkModel;

// Metres per degree of latitude on a sphere of radius 6371 km.
constexpr double kMetresPerDegree = 111194.93;

GpsStatus ParseEpoch(const WalkModel& walk, const UtcTime& time)
{
    FakeTickClock clock;
    NmeaParser parser(clock);
    for (const std::string& s : walk.Epoch(time)) {
        parser.Feed({reinterpret_cast<const uint8_t*>(s.data()), s.size()});
    }
    return parser.Snapshot();
}

TEST(GpsSimulator, WalkSentencesReadBackAsTheWalk)
{
    const UtcTime time{2024, 6, 30, 23, 59, 58, 500};
    GpsWalk north;
    north.latitude = 51.5;
    north.longitude = -0.2;
    north.speed = 10.0;
    WalkModel walk(north);
    walk.Advance(100.0);  // 1000 m north
    GpsStatus s = ParseEpoch(walk, time);
    EXPECT_EQ(s.rmcStatus, 'A');
    EXPECT_NEAR(s.rmcLatitude, 51.5 + 1000.0 / kMetresPerDegree, 1e-6);
    EXPECT_NEAR(s.rmcLongitude, -0.2, 1e-6);
    EXPECT_NEAR(s.ggaLatitude, s.rmcLatitude, 1e-9);
    EXPECT_NEAR(s.speedKnots, 10.0 * 3600.0 / 1852.0, 0.01);
    EXPECT_EQ(s.rmcHour, 23);
    EXPECT_EQ(s.rmcMillis, 500);
    EXPECT_EQ(s.day, 30);
    EXPECT_EQ(s.year, 2024);
    EXPECT_EQ(s.fixType, 3);
    EXPECT_EQ(s.satellitesUsed, 8);
    EXPECT_EQ(s.satellitesInView, 12);
    EXPECT_EQ(s.satellites[0].used, 1u);
    EXPECT_EQ(s.satellites[11].used, 0u);
    EXPECT_EQ(s.sentenceCount, 6u);  // GGA, GSA, three GSV, RMC: all checksums good

    // South-west of the origin, combined talker, a square walk of 10 m sides, no fix.
    GpsWalk square;
    square.latitude = -33.9;
    square.longitude = -70.6;
    square.speed = 1.0;
    square.turnEvery = 10.0;
    square.turnBy = 90.0;
    square.talker = "GN";
    WalkModel around(square);
    around.Advance(20.0);  // 10 m north, then 10 m east
    s = ParseEpoch(around, time);
    EXPECT_NEAR(s.rmcLatitude, -33.9 + 10.0 / kMetresPerDegree, 1e-6);
    EXPECT_NEAR(s.rmcLongitude,
                -70.6 + 10.0 / (kMetresPerDegree * std::cos(-33.9 * 3.14159265358979 / 180)), 1e-6);
    EXPECT_DOUBLE_EQ(around.Heading(), 180.0);
    square.quality = 0;
    s = ParseEpoch(WalkModel(square), time);
    EXPECT_EQ(s.rmcStatus, 'V');
    EXPECT_EQ(s.fixType, 1);
    EXPECT_EQ(s.fixQuality, 0);

    // Minutes that round up carry into the degrees.
    EXPECT_EQ(sim::FormatAngle(10.9999999999, 2), "1100.00000");
    EXPECT_EQ(sim::FormatAngle(2.5, 3), "00230.00000");
}

TEST(GpsSimulator, CutsACaptureIntoTimedEpochs)
{
    const auto bytes =
        ReadFileBytes(std::string(ORV_SOURCE_DIR) + "/tests/data/nmea/sirf2-haicom-305n.nmea");
    const auto epochs = sim::SplitIntoEpochs(bytes);
    ASSERT_GT(epochs.size(), 60u);
    // The notes at the head of the capture are not sent.
    EXPECT_EQ(epochs.front().bytes.front(), '$');
    // 095257.809 to 095258.809, as the receiver sent them.
    const std::string first(epochs[1].bytes.begin(), epochs[1].bytes.end());
    EXPECT_TRUE(first.starts_with("$GPGGA,095257.809")) << first;
    EXPECT_EQ(sim::EpochDelay(epochs[1], epochs[2]), 1000);

    // Every receiver byte is kept, in order.
    size_t sent = 0;
    for (const auto& e : epochs) {
        sent += e.bytes.size();
    }
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(sent, text.size() - text.find('$'));

    const std::string midnight = "$GPRMC,235959.50,A\r\n$GPGSA,A,3\r\n$GPRMC,000000.50,A\r\n";
    const auto two =
        sim::SplitIntoEpochs({reinterpret_cast<const uint8_t*>(midnight.data()), midnight.size()});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(sim::EpochDelay(two[0], two[1]), 1000);
}

// The whole GPS side: simulator on a pseudo-terminal, the real serial port, the reader thread,
// the parser and the matcher answering a measurement's request.
class GpsLinkTest : public ::testing::Test
{
protected:
    GpsLinkTest() { m_matcher.Reset(); }

    void StartSimulator(sim::GpsSimulatorOptions options)
    {
        options.linkPath = m_dir.File("gps4");
        std::string error;
        ASSERT_TRUE(m_simulator.Start(options, error)) << error;
        ASSERT_TRUE(m_port.Open(m_simulator.LinkPath(), 9600)) << m_port.ErrorText();
        // A short read time-out, so the tail of a replay does not wait out the full 3.56 s.
        m_reader =
            std::make_unique<NmeaReader>(m_parser, m_matcher, m_systemClock, SteadyTickClock(),
                                         m_prompt, NmeaReader::Options{256, 300ms});
        ASSERT_TRUE(m_reader->StartReader(m_port));
    }
    bool WaitFor(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    TempDir m_dir;
    NmeaParser m_parser{SteadyTickClock()};
    GpsMatcher m_matcher{SteadyTickClock()};
    FakeSystemClock m_systemClock;
    FakePrompt m_prompt;
    FakeMessagePoster m_page;
    QtSerialPort m_port;
    sim::GpsSimulator m_simulator;
    std::unique_ptr<NmeaReader> m_reader;
};

TEST_F(GpsLinkTest, AWalkDeliversFixesAndInterpolatedPositions)
{
    sim::GpsSimulatorOptions options;
    options.rate = 10.0;
    options.baud = 115200;
    options.walk.latitude = 45.0;
    options.walk.longitude = 7.0;
    options.walk.speed = 50.0;  // 5 m an epoch
    StartSimulator(options);

    ASSERT_TRUE(WaitFor([&] { return m_matcher.HaveFix(); }));
    // A measurement a little after the first fix, so its position lies north of the start.
    std::this_thread::sleep_for(20ms);
    const uint32_t measured = SteadyTickClock().Now();
    m_matcher.RequestPosition({&m_page, 12, measured});
    ASSERT_TRUE(WaitFor([&] {
        for (const auto& m : m_page.Messages()) {
            if (m.message == message::kMeasurementPosition) {
                return true;
            }
        }
        return false;
    }));
    m_reader->StopReader(true);  // as CloseGps
    m_reader.reset();
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_TRUE(m_prompt.told.empty());

    const GpsStatus s = m_parser.Snapshot();
    EXPECT_EQ(s.rmcStatus, 'A');
    const auto messages = m_page.Messages();
    ASSERT_TRUE(messages.front().fix.has_value());
    const GpsFix answer = *messages.front().fix;
    EXPECT_EQ(messages.front().wParam, 12u);
    EXPECT_EQ(answer.tickStamp, measured);
    // North of the start, short of where the walk is now, on the start meridian.
    EXPECT_GT(answer.latitude, 45.0);
    EXPECT_LE(answer.latitude, s.rmcLatitude + 1e-9);
    EXPECT_NEAR(answer.longitude, 7.0, 1e-6);
    // The walk runs on today's date, so the clock was set, once.
    EXPECT_EQ(m_systemClock.Sets().size(), 1u);
}

TEST_F(GpsLinkTest, AReplayArrivesWholeAndAVanishingReceiverIsReported)
{
    sim::GpsSimulatorOptions options;
    options.replayFile = std::string(ORV_SOURCE_DIR) + "/tests/data/nmea/sirf2-haicom-305n.nmea";
    options.rate = 100.0;
    options.baud = 460800;
    StartSimulator(options);
    ASSERT_TRUE(WaitFor([&] { return !m_simulator.Running(); }));
    ASSERT_TRUE(WaitFor([&] { return m_parser.Snapshot().rmcCount == 74; }));
    EXPECT_EQ(m_simulator.EpochsDropped(), 0u);

    m_simulator.Stop();  // the receiver goes away while the link is wanted
    ASSERT_TRUE(WaitFor([&] { return !m_reader->ReaderRunning(); }));
    m_reader.reset();
    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].caption, "GPS Error");
    EXPECT_FALSE(m_prompt.told[0].text.empty());
    EXPECT_FALSE(m_port.IsOpen());
    // The last good status is kept.
    const GpsStatus s = m_parser.Snapshot();
    EXPECT_EQ(s.sentenceCount, 325u);
    EXPECT_NEAR(s.rmcLatitude, -(27.0 + 12.6404 / 60.0), 1e-9);
    EXPECT_EQ(m_systemClock.Sets().size(), 1u);
}

}  // namespace
}  // namespace orv
