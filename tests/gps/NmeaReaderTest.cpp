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
// This one waits a millisecond, and can vanish like a Bluetooth link that drops.
class PacedPort final : public SerialPort
{
public:
    bool Open(const std::string& device, uint32_t baud) override
    {
        return inner.Open(device, baud);
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
    NmeaReaderTest()
    {
        m_matcher.Reset();
        EXPECT_TRUE(m_port.Open("/dev/rfcomm1", 9600));
    }

    void Start()
    {
        m_reader = std::make_unique<NmeaReader>(m_parser, m_matcher, m_systemClock, m_clock,
                                                m_prompt, NmeaReader::Options{256, 20ms});
        ASSERT_TRUE(m_reader->StartReader(m_port));
    }
    // Asks the thread to stop as CloseGps does and waits for it.
    void Stop()
    {
        m_reader->StopReader(true);
        m_stillRunning = m_reader->ReaderRunning();
        m_reader.reset();
    }
    uint32_t RmcCount() const { return m_parser.Snapshot().rmcCount; }

    FakeTickClock m_clock{1000};
    NmeaParser m_parser{m_clock};
    GpsMatcher m_matcher{m_clock};
    FakeSystemClock m_systemClock;
    FakePrompt m_prompt;
    PacedPort m_port;
    bool m_stillRunning = true;
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

TEST_F(NmeaReaderTest, ReportsALinkThatGoesAwayAndKeepsTheStatus)
{
    m_port.Queue("$GPRMC,101011,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*17\r\n");
    Start();
    ASSERT_TRUE(WaitFor([&] { return RmcCount() == 1; }));
    m_port.vanish = true;
    ASSERT_TRUE(WaitFor([&] { return !m_reader->ReaderRunning(); }));
    m_reader.reset();

    ASSERT_EQ(m_prompt.told.size(), 1u);
    EXPECT_EQ(m_prompt.told[0].caption, "GPS Error");
    EXPECT_EQ(m_prompt.told[0].text, "The device went away");
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_EQ(RmcCount(), 1u);
    EXPECT_TRUE(m_matcher.HaveFix());
}

TEST_F(NmeaReaderTest, StopsQuietlyWhenAskedEvenIfTheReadFails)
{
    Start();  // a receiver that sends nothing
    m_reader->StopReader(false);
    m_port.vanish = true;
    m_reader.reset();
    EXPECT_TRUE(m_prompt.told.empty());
    EXPECT_FALSE(m_port.IsOpen());
}

TEST_F(NmeaReaderTest, AReconnectWaitsForTheThreadStillFinishing)
{
    Start();
    // CloseGps asked the thread to stop; ConnectGps reconnects before it noticed: it waits for
    // the old thread (which closes the port on its way out), opens the port, starts anew.
    m_reader->StopReader(false);
    m_reader->StopReader(true);
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_FALSE(m_reader->ReaderRunning());
    ASSERT_TRUE(m_port.Open("/dev/rfcomm1", 9600));
    ASSERT_TRUE(m_reader->StartReader(m_port));
    EXPECT_TRUE(m_port.IsOpen());
    EXPECT_TRUE(m_reader->ReaderRunning());
    m_port.Queue("$GPRMC,101011,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*17\r\n");
    ASSERT_TRUE(WaitFor([&] { return RmcCount() == 1; }));
    Stop();
    EXPECT_FALSE(m_port.IsOpen());
}

}  // namespace
}  // namespace orv
