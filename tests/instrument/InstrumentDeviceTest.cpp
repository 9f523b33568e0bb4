#include "instrument/InstrumentDevice.h"

#include "FakePrompt.h"
#include "FakeSerialPort.h"
#include "FakeSettingsStore.h"
#include "FakeTickClock.h"
#include "ReplyBuilder.h"
#include "TempDir.h"
#include "calibration/DefaultCalibration.h"
#include "config/Configuration.h"
#include "base/GpsReaderLauncher.h"
#include "base/PortNamer.h"
#include "instrument/StackRadio.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

using namespace orv;
using test::Head;
using test::Reply;
using test::ReplyOf;
using test::Tail;

// Reads go nowhere; the thread only waits for its stop request and then closes the port, as
// the NMEA reader does.
class ThreadLauncher final : public GpsReaderLauncher
{
public:
    ~ThreadLauncher() override { StopReader(true); }
    bool StartReader(SerialPort& port) override
    {
        ++starts;
        StopReader(true);
        if (refuse) {
            return false;
        }
        m_running = true;
        m_thread = std::jthread([this, &port](std::stop_token stop) {
            while (!stop.stop_requested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            port.Close();
            m_running = false;
        });
        return true;
    }
    void StopReader(bool wait) override
    {
        m_thread.request_stop();
        if (wait && m_thread.joinable()) {
            m_thread.join();
        }
    }
    bool ReaderRunning() const override { return m_running; }
    void Join() { StopReader(true); }
    bool refuse = false;
    int starts = 0;

private:
    std::atomic<bool> m_running{false};
    std::jthread m_thread;
};

void DefaultCalibrationFor(CalibrationRecord& record, const std::string& comment)
{
    CalibrationId id;
    DefaultCalibration(record, id);
    record.Comment = comment;
}

class InstrumentDeviceTest : public ::testing::Test
{
public:  // the failure table's steps reach the fixture from outside
    InstrumentDeviceTest()
    {
        setenv("ORVCONTROL_PORT_PATTERN", "/dev/test-port%u", 1);
        m_config.UsedFrequencies.fill(1);
    }

    void OpenLink() { ASSERT_TRUE(m_device->Connect()); }
    // `silentReads` empty reads before the data: each costs the device a 10 ms pause, so the
    // first byte comes 10 * silentReads ms after the command.
    void QueueAfter(int silentReads, std::vector<uint8_t> bytes)
    {
        for (int i = 0; i < silentReads; ++i) {
            m_instrument.Queue({});
        }
        m_instrument.Queue(std::move(bytes));
    }

    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    FakeTickClock m_clock{1000};
    Configuration m_config{m_store, m_dir.File("OrvCalibration.ini"), m_prompt};
    FakeSerialPort m_instrument{&m_clock};
    FakeSerialPort m_gps{&m_clock};
    ThreadLauncher m_launcher;
    std::unique_ptr<InstrumentDevice> m_device = std::make_unique<InstrumentDevice>(
        m_config, m_instrument, m_gps, m_clock, m_prompt, nullptr, &m_launcher);
};

TEST_F(InstrumentDeviceTest, SendsTheFrameOfEachExchange)
{
    OpenLink();
    m_config.UsedFrequencies.fill(0);
    m_config.UsedFrequencies[0] = m_config.UsedFrequencies[1] = m_config.UsedFrequencies[13] = 1;
    m_instrument.Queue(Reply(0x2003, 9));
    MeasurementSlot slot;
    ASSERT_TRUE(m_device->Measure(slot));
    const std::vector<uint8_t> measure = {0x02, 0xF1, 0x02, 0x02, 0x00, 0xF5, 0x20, 0x03, 0x03};
    EXPECT_EQ(m_instrument.written, measure);
    EXPECT_EQ(m_instrument.purges, 1);

    m_instrument.written.clear();
    m_instrument.Queue({0x04, 0xE2});
    uint32_t centivolts = 0;
    ASSERT_TRUE(m_device->ReadBattery(centivolts));
    EXPECT_EQ(centivolts, 1250u);
    EXPECT_EQ(m_instrument.written,
              (std::vector<uint8_t>{0x02, 0xF1, 0x07, 0x01, 0x00, 0xF9, 0x00, 0x03}));
    EXPECT_EQ(m_instrument.purges, 2);
}

TEST_F(InstrumentDeviceTest, AssemblesAReplyInPiecesAndStampsTheMidpoint)
{
    OpenLink();
    const auto reply = Reply(0x3FFF, 9);
    QueueAfter(100, Head(reply, 100));  // first byte 1000 ms after the command
    QueueAfter(20, Tail(reply, 100));
    MeasurementSlot slot;
    ASSERT_TRUE(m_device->Measure(slot));
    EXPECT_EQ(ReplyOf(slot), reply);
    EXPECT_EQ(slot.TickStamp(), 1000u + 500u);
    EXPECT_EQ(m_config.ConnectedSerial, 9);
}

TEST_F(InstrumentDeviceTest, TickStampsSurviveTheCounterWrapping)
{
    m_clock.now = 0xFFFFFF00u;  // 256 ms before the counter wraps
    OpenLink();
    QueueAfter(50, Reply(1, 9));  // first byte at 0x000001F4 after the wrap
    MeasurementSlot slot;
    ASSERT_TRUE(m_device->Measure(slot));
    EXPECT_EQ(slot.TickStamp(), 0xFFFFFF00u + 250u);
}

TEST_F(InstrumentDeviceTest, SeriesSplitsTheReplyIntoFourteenStampedSamples)
{
    OpenLink();
    m_config.ConnectedSerial = 9;
    const auto reply = Reply(0x3FFF, 12);
    QueueAfter(130, reply);  // first byte 1300 ms after the command
    std::array<MeasurementSlot, kFrequencyCount> slots;
    ASSERT_TRUE(m_device->MeasureSeries(slots));
    EXPECT_EQ(m_instrument.written,
              (std::vector<uint8_t>{0x02, 0xF1, 0x0A, 0x02, 0x00, 0xF5, 0xFF, 0xFF, 0x03}));
    for (int i = 0; i < kFrequencyCount; ++i) {
        SCOPED_TRACE(i);
        const MeasurementSlot& s = slots[size_t(i)];
        EXPECT_EQ(s.TickStamp(), 1000u + 100u * uint32_t(i));
        EXPECT_EQ(s.PresentMask(), 1);
        EXPECT_EQ(s.SerialNumber(), 0);
        EXPECT_EQ(std::vector<uint8_t>(s.bytes.begin(), s.bytes.begin() + 12),
                  std::vector<uint8_t>(reply.begin() + 12 * i, reply.begin() + 12 * i + 12));
    }
    // The samples carry no serial number, so the series never changes the calibration.
    EXPECT_EQ(m_config.ConnectedSerial, 9);
}

TEST_F(InstrumentDeviceTest, AFailedExchangeLeavesTheMeasuredSlotsAlone)
{
    struct Case
    {
        const char* legend;
        void (*arrange)(InstrumentDeviceTest&);
        bool seriesFails;  // a complete reply is a valid series whatever its mask
    };
    const Case cases[] = {
        {"175 bytes, then silence",
         [](InstrumentDeviceTest& t) { t.m_instrument.Queue(Head(Reply(0x3FFF, 9), 175)); }, true},
        {"empty mask, bits 6 and 7 set",
         [](InstrumentDeviceTest& t) { t.m_instrument.Queue(Reply(0xC000, 9)); }, false},
        {"write refused", [](InstrumentDeviceTest& t) { t.m_instrument.failWrite = true; }, true},
        {"port fails every read but stays open",
         [](InstrumentDeviceTest& t) { t.m_instrument.failRead = true; }, true},
        {"port not open", [](InstrumentDeviceTest& t) { t.m_instrument.Close(); }, true},
        {"GPS wanted but not connected",
         [](InstrumentDeviceTest& t) { t.m_device->SetGpsWanted(true); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        m_instrument.failWrite = m_instrument.failRead = false;
        m_device->SetGpsWanted(false);
        OpenLink();
        MeasurementSlot slot;
        m_instrument.Queue(Reply(0x3FFF, 9, 0x40));
        ASSERT_TRUE(m_device->Measure(slot));
        const MeasurementSlot before = slot;

        c.arrange(*this);
        const uint32_t start = m_clock.Now();
        EXPECT_FALSE(m_device->Measure(slot));
        EXPECT_FALSE(m_device->LastError().empty());
        EXPECT_EQ(slot.bytes, before.bytes);
        EXPECT_LE(m_clock.Now() - start, 40000u + 2000u) << "waited past the deadline";

        if (c.seriesFails) {
            std::array<MeasurementSlot, kFrequencyCount> series;
            series.fill(before);
            c.arrange(*this);
            EXPECT_FALSE(m_device->MeasureSeries(series));
            for (const MeasurementSlot& s : series) {
                EXPECT_EQ(s.bytes, before.bytes);
            }
        }
    }
}

TEST_F(InstrumentDeviceTest, KeepsEveryCompleteReplyWithFrequencies)
{
    OpenLink();
    m_config.UsedFrequencies.fill(0);
    m_config.UsedFrequencies[0] = 1;
    m_config.ConnectedSerial = 9;
    struct Case
    {
        const char* legend;
        std::vector<uint8_t> bytes;
    };
    auto longer = Reply(0x0001, 9);
    longer.insert(longer.end(), {0x02, 0xF1, 0x55});
    const Case cases[] = {
        {"more frequencies than asked for", Reply(0x3FFF, 9)},
        {"other frequencies than asked for", Reply(0x0006, 9)},
        {"serial number 0", Reply(0x0001, 0)},
        {"bytes after the reply", longer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        m_instrument.Queue(c.bytes);
        MeasurementSlot slot;
        ASSERT_TRUE(m_device->Measure(slot));
        EXPECT_EQ(ReplyOf(slot), Head(c.bytes, kReplySize));
        EXPECT_EQ(m_config.ConnectedSerial, 9);
    }
}

TEST_F(InstrumentDeviceTest, ANewSerialSelectsThatInstrumentsCalibration)
{
    CalibrationRecord nine;
    CalibrationRecord twelve;
    DefaultCalibrationFor(nine, "ORV 9");
    DefaultCalibrationFor(twelve, "ORV 12");
    ASSERT_TRUE(m_config.Calibrations().Merge({9, 2007, 2, 28}, nine));
    ASSERT_TRUE(m_config.Calibrations().Merge({12, 2011, 6, 1}, twelve));
    m_config.SelectCalibration({9, 2007, 2, 28});
    ASSERT_EQ(m_config.ActiveCalibration.Comment, "ORV 9");
    OpenLink();

    struct Case
    {
        const char* legend;
        uint16_t mask;
        uint8_t serial;
        uint16_t expectedSerial;
    };
    const Case cases[] = {
        {"first reply names instrument 9", 1, 9, 9},
        {"the same instrument again", 1, 9, 9},
        {"serial 0 is not a change", 1, 0, 9},
        {"an empty reply names no instrument", 0, 12, 9},
        {"instrument 12 takes over", 1, 12, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        m_instrument.Queue(Reply(c.mask, c.serial));
        MeasurementSlot slot;
        EXPECT_EQ(m_device->Measure(slot), c.mask != 0);
        EXPECT_EQ(m_config.CalibrationKey.Serial, c.expectedSerial);
        EXPECT_EQ(m_config.ActiveCalibration.Comment, "ORV " + std::to_string(c.expectedSerial));
    }
}

TEST_F(InstrumentDeviceTest, ConnectOpensTheConfiguredPortsAtTheirSpeeds)
{
    m_config.BluetoothInboundPort = 5;
    m_config.BluetoothOutboundPort = 8;
    ASSERT_TRUE(m_device->Connect());
    EXPECT_EQ(m_instrument.openedDevice, "/dev/test-port5");
    EXPECT_EQ(m_instrument.openedBaud, 9600u);
    EXPECT_EQ(m_gps.opens, 0);

    const std::pair<int, uint32_t> speeds[] = {
        {79, 9600}, {85, 115200}, {73, 110}, {88, 9600}, {0, 9600}};
    for (const auto& [id, baud] : speeds) {
        SCOPED_TRACE(id);
        m_config.GpsBaudRateId = id;
        ASSERT_TRUE(m_device->ConnectGps());
        EXPECT_EQ(m_gps.openedDevice, "/dev/test-port8");
        EXPECT_EQ(m_gps.openedBaud, baud);
        m_device->CloseGps();
        m_launcher.Join();
    }

    m_config.BluetoothInboundPort = -1;
    EXPECT_FALSE(m_device->Connect());
    EXPECT_NE(m_device->LastError().find("not valid"), std::string::npos);
}

TEST_F(InstrumentDeviceTest, GpsPortThatWillNotOpenKeepsTheLinkNotReady)
{
    m_device->SetGpsWanted(true);
    m_gps.failOpen = true;
    EXPECT_FALSE(m_device->Connect());
    EXPECT_TRUE(m_instrument.IsOpen());
    EXPECT_FALSE(m_device->IsReady());
    EXPECT_EQ(m_launcher.starts, 0);

    m_gps.failOpen = false;
    ASSERT_TRUE(m_device->Connect());
    EXPECT_TRUE(m_device->IsReady());
    EXPECT_TRUE(m_launcher.ReaderRunning());
}

TEST_F(InstrumentDeviceTest, AReaderThatCannotStartIsReportedAndThePortStaysOpen)
{
    InstrumentDevice noReader(m_config, m_instrument, m_gps, m_clock, m_prompt, nullptr, nullptr);
    m_launcher.refuse = true;
    for (InstrumentDevice* device : {&noReader, m_device.get()}) {
        m_prompt.told.clear();
        m_gps.Close();
        EXPECT_TRUE(device->ConnectGps());
        EXPECT_TRUE(m_gps.IsOpen());
        EXPECT_FALSE(m_launcher.ReaderRunning());
        ASSERT_EQ(m_prompt.told.size(), 1u);
        EXPECT_EQ(m_prompt.told[0].text, "Failed to read NMEA data");
    }
}

TEST_F(InstrumentDeviceTest, StoppingTheGpsLetsTheReaderCloseItsPort)
{
    m_device->SetGpsWanted(true);
    ASSERT_TRUE(m_device->Connect());
    ASSERT_TRUE(m_launcher.ReaderRunning());
    // A second connect while the reader runs starts no second reader.
    ASSERT_TRUE(m_device->ConnectGps());
    EXPECT_EQ(m_launcher.starts, 1);

    EXPECT_TRUE(m_device->SetGpsWanted(false));
    m_launcher.Join();
    EXPECT_FALSE(m_launcher.ReaderRunning());
    EXPECT_FALSE(m_gps.IsOpen());
    EXPECT_TRUE(m_device->IsReady());  // the instrument alone is the link now

    EXPECT_TRUE(m_device->CloseLink());
    EXPECT_FALSE(m_instrument.IsOpen());
    EXPECT_FALSE(m_device->IsReady());
}

class FakeRadio final : public StackRadio
{
public:
    explicit FakeRadio(RadioMode start, bool switches = true) : mode(start), m_switches(switches) {}
    RadioMode mode;
    int writes = 0;

protected:
    RadioMode ReadMode() override { return mode; }
    void WriteMode(bool on) override
    {
        ++writes;
        if (m_switches) {
            mode = on ? RadioMode::On : RadioMode::Off;
        }
    }

private:
    bool m_switches;
};

TEST_F(InstrumentDeviceTest, TheRadioIsPutBackAsItWasFound)
{
    struct Case
    {
        const char* legend;
        RadioMode start;
        bool switches;
        RadioMode during;
        RadioMode after;
        int writes;
    };
    const Case cases[] = {
        {"on stays on", RadioMode::On, true, RadioMode::On, RadioMode::On, 0},
        {"off is switched on, then off", RadioMode::Off, true, RadioMode::On, RadioMode::Off, 2},
        {"no adapter: nothing switched", RadioMode::Unknown, true, RadioMode::Unknown,
         RadioMode::Unknown, 0},
        {"a radio that ignores the switch", RadioMode::Off, false, RadioMode::Off, RadioMode::Off,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        FakeRadio radio(c.start, c.switches);
        {
            InstrumentDevice device(m_config, m_instrument, m_gps, m_clock, m_prompt, &radio,
                                    nullptr);
            EXPECT_EQ(device.RadioWasOn(), c.start == RadioMode::On);
            EXPECT_EQ(radio.mode, c.during);
        }
        EXPECT_EQ(radio.mode, c.after);
        EXPECT_EQ(radio.writes, c.writes);
    }
    FakeRadio stuck(RadioMode::Off, false);
    EXPECT_EQ(stuck.TurnOn(), -1);
    FakeRadio none(RadioMode::Unknown);
    EXPECT_EQ(none.IsOn(), -1);
    EXPECT_EQ(none.TurnOff(), -1);
}

}  // namespace
