#include "gps/NmeaReader.h"

#include "FakeMessagePoster.h"
#include "FakePrompt.h"
#include "FakeSerialPort.h"
#include "FakeSystemClock.h"
#include "FakeTickClock.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace orv {
namespace {

using namespace std::chrono_literals;

// The fake port answers at once when nothing is queued; a real one waits for its time-out.
// This one waits a millisecond, can vanish like a Bluetooth link that drops, and can refuse to
// open like a receiver that is switched off.
class PacedPort final : public SerialPort
{
public:
    bool Open(const std::string& device, uint32_t baud) override
    {
        ++openAttempts;
        const bool opened = inner.Open(device, baud);
        if (failOpen) {
            inner.Close();
            return false;
        }
        return opened;
    }
    bool Close() override { return inner.Close(); }
    bool IsOpen() const override { return inner.IsOpen(); }
    bool Write(std::span<const uint8_t> bytes) override { return inner.Write(bytes); }
    bool Read(std::span<uint8_t> out, std::chrono::milliseconds timeout, size_t& received) override
    {
        if (vanish) {
            received = 0;
            return false;
        }
        const bool ok = inner.Read(out, timeout, received);
        if (ok && received == 0) {
            std::this_thread::sleep_for(1ms);
        }
        return ok;
    }
    void Purge() override { inner.Purge(); }
    std::string ErrorText() const override { return vanish ? "The device went away" : ""; }

    void Queue(const std::string& text) { inner.Queue({text.begin(), text.end()}); }

    FakeSerialPort inner;
    std::atomic<bool> vanish{false};
    std::atomic<bool> failOpen{false};
    std::atomic<int> openAttempts{0};
};

bool WaitFor(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class NmeaReaderTest : public ::testing::Test
{
protected:
    NmeaReaderTest() { m_matcher.Reset(); }

    void Start(const std::string& device = "/dev/rfcomm1")
    {
        if (!m_reader) {
            m_reader =
                std::make_unique<NmeaReader>(m_parser, m_matcher, m_systemClock, m_clock, m_prompt,
                                             NmeaReader::Options{256, 20ms, 20ms, 5ms});
        }
        ASSERT_TRUE(m_reader->StartReader(m_port, {device, 4800}));
    }
    // Asks the thread to stop as CloseGps does and waits for it.
    void Stop()
    {
        m_reader->StopReader(true);
        m_stillRunning = m_reader->ReaderRunning();
        m_finalState = m_reader->LinkState();
        m_reader.reset();
    }
    uint32_t RmcCount() const { return m_parser.Snapshot().rmcCount; }
    GpsLinkState State() const { return m_reader->LinkState(); }

    FakeTickClock m_clock{1000};
    NmeaParser m_parser{m_clock};
    GpsMatcher m_matcher{m_clock};
    FakeSystemClock m_systemClock;
    FakePrompt m_prompt;
    PacedPort m_port;
    bool m_stillRunning = true;
    GpsLinkState m_finalState;
    std::unique_ptr<NmeaReader> m_reader;
};

TEST_F(NmeaReaderTest, HandsValidFixesOnAndSetsTheClockOnce)
{
    FakeMessagePoster page;
    m_matcher.RequestPosition({&page, 42, 1000});
    // 2005 is before the receiver's dates can be trusted: no clock from it.
    m_port.Queue("$GPRMC,101010,A,4807.038,N,01131.000,E,0.0,0.0,010105,,*1B\r\n");
    m_port.Queue("$GNRMC,101010.000,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*16\r\n");
    m_port.Queue("$GPRMC,101011,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*17\r\n");
    // Void: the status moves, no fix.
    m_port.Queue("$GPRMC,000001,V,5130.1234,N,00012.3456,E,,,010106,,*09\r\n");
    Start();
    ASSERT_TRUE(WaitFor([&] { return RmcCount() == 4; }));
    EXPECT_EQ(m_port.inner.openedDevice, "/dev/rfcomm1");
    EXPECT_EQ(m_port.inner.openedBaud, 4800u);
    Stop();

    const auto sets = m_systemClock.Sets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].year, 2019);
    EXPECT_EQ(sets[0].month, 4);
    EXPECT_EQ(sets[0].day, 15);
    EXPECT_EQ(sets[0].hour, 10);
    EXPECT_EQ(sets[0].second, 10);

    // Three fixes: the first answers the request, each is streamed as 9035.
    const auto messages = page.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].wParam, 42u);
    EXPECT_NEAR(m_matcher.LastFix().latitude, 48.1173, 1e-12);
    EXPECT_TRUE(m_prompt.told.empty());
    EXPECT_FALSE(m_stillRunning);
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_EQ(m_finalState.kind, GpsLinkState::Kind::Off);
    EXPECT_TRUE(m_finalState.haveFix);
}

TEST_F(NmeaReaderTest, PassesOnlyTheLatestFixOfAChunk)
{
    m_port.Queue(
        "$GPRMC,101010,A,4807.038,N,01131.000,E,0.0,0.0,010105,,*1B\r\n"
        "$GPRMC,101011,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*17\r\n");
    FakeMessagePoster page;
    m_matcher.RequestPosition({&page, 1, 1000});
    Start();
    ASSERT_TRUE(WaitFor([&] { return RmcCount() == 2; }));
    Stop();
    EXPECT_EQ(page.Messages().size(), 2u);  // one answer, one 9035
}

TEST_F(NmeaReaderTest, DropsWhatWaitsInThePortWhenItOpens)
{
    // A sentence sent while nobody listened is dropped at the opening.
    m_port.inner.purgeDropsQueued = true;
    m_port.Queue("$GPRMC,101010,A,0100.000,N,00100.000,E,0.0,0.0,150419,,*14\r\n");
    Start();
    ASSERT_TRUE(WaitFor([&] { return State().kind == GpsLinkState::Kind::Open; }));
    m_port.Queue("$GPRMC,101012,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*14\r\n");
    ASSERT_TRUE(WaitFor([&] { return RmcCount() == 1; }));
    Stop();
    EXPECT_EQ(m_port.inner.purges, 1);
    EXPECT_NEAR(m_matcher.LastFix().latitude, 48.1173, 1e-12);
    EXPECT_EQ(m_parser.Snapshot().rmcSecond, 12);
}

TEST_F(NmeaReaderTest, AnOutageIsToldOnceAndThePortReopenedUntilTheReceiverIsBack)
{
    // The link drops in the middle of a sentence.
    m_port.Queue("$GPRMC,101011,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*17\r\n$GPRMC,1010");
    Start();
    ASSERT_TRUE(WaitFor([&] { return RmcCount() == 1; }));
    EXPECT_EQ(State().kind, GpsLinkState::Kind::Open);
    EXPECT_EQ(State().port, "/dev/rfcomm1");

    // The link drops: every reopened port fails again at once.
    m_port.vanish = true;
    ASSERT_TRUE(WaitFor([&] { return State().opens >= 4; }));
    GpsLinkState s = State();
    EXPECT_EQ(s.kind, GpsLinkState::Kind::Lost);
    EXPECT_EQ(s.reason, "The device went away");
    EXPECT_EQ(s.outages, 1u);
    EXPECT_TRUE(s.haveFix);
    auto told = m_prompt.Told();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].caption, "GPS Error");
    EXPECT_EQ(told[0].text, "The device went away");
    EXPECT_EQ(RmcCount(), 1u);
    EXPECT_TRUE(m_reader->ReaderRunning());

    // The receiver is back: the next sentence ends the outage. The bytes that happen to
    // complete the sentence cut short continue nothing.
    m_port.vanish = false;
    m_port.Queue("11,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*17\r\n");
    m_port.Queue("$GPRMC,101012,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*14\r\n");
    ASSERT_TRUE(WaitFor([&] { return RmcCount() == 2; }));
    EXPECT_EQ(m_parser.Snapshot().rmcSecond, 12);
    s = State();
    EXPECT_EQ(s.kind, GpsLinkState::Kind::Open);
    EXPECT_TRUE(s.reason.empty());
    // ... so the next one is told again.
    m_port.vanish = true;
    ASSERT_TRUE(WaitFor([&] { return State().outages == 2; }));
    Stop();
    EXPECT_EQ(m_prompt.told.size(), 2u);
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_EQ(m_finalState.kind, GpsLinkState::Kind::Off);
}

TEST_F(NmeaReaderTest, AReceiverThatIsNotThereYetIsWaitedFor)
{
    m_port.failOpen = true;
    Start();
    ASSERT_TRUE(WaitFor([&] { return m_port.openAttempts >= 3; }));
    GpsLinkState s = State();
    EXPECT_EQ(s.kind, GpsLinkState::Kind::NoPort);
    EXPECT_EQ(s.reason, "cannot open the GPS port /dev/rfcomm1");
    EXPECT_EQ(s.opens, 0u);
    EXPECT_FALSE(s.haveFix);
    EXPECT_EQ(m_prompt.Told().size(), 1u);

    m_port.failOpen = false;
    m_port.Queue("$GPRMC,101011,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*17\r\n");
    // The link's state is updated after the parser has the sentence: wait for both.
    ASSERT_TRUE(WaitFor([&] { return RmcCount() == 1 && State().haveFix; }));
    s = State();
    EXPECT_EQ(s.kind, GpsLinkState::Kind::Open);
    EXPECT_EQ(s.opens, 1u);
    EXPECT_TRUE(s.haveFix);
    Stop();
    EXPECT_EQ(m_prompt.told.size(), 1u);
}

TEST_F(NmeaReaderTest, StopsQuietlyWhenAskedEvenIfTheReadFails)
{
    Start();  // a receiver that sends nothing
    ASSERT_TRUE(WaitFor([&] { return m_port.IsOpen(); }));
    m_reader->StopReader(false);
    m_port.vanish = true;
    m_reader.reset();
    EXPECT_TRUE(m_prompt.told.empty());
    EXPECT_FALSE(m_port.IsOpen());
}

TEST_F(NmeaReaderTest, StartingAgainReplacesTheLinkThatRuns)
{
    Start();
    ASSERT_TRUE(WaitFor([&] { return m_port.IsOpen(); }));
    // Another port: the old thread ends (closing its port) before the new one opens.
    Start("/dev/rfcomm2");
    ASSERT_TRUE(WaitFor([&] { return State().kind == GpsLinkState::Kind::Open; }));
    EXPECT_EQ(m_port.inner.openedDevice, "/dev/rfcomm2");
    EXPECT_EQ(m_port.inner.opens, 2);
    EXPECT_EQ(State().port, "/dev/rfcomm2");
    m_port.Queue("$GPRMC,101011,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*17\r\n");
    ASSERT_TRUE(WaitFor([&] { return RmcCount() == 1; }));
    Stop();
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_TRUE(m_prompt.told.empty());
}

}  // namespace
}  // namespace orv
