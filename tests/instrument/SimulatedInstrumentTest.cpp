// The link end to end: InstrumentDevice on the real serial port, the instrument simulator on a
// pseudo-terminal behind the port's link. Time-outs are short here, so faults fail fast.

#include "FakePrompt.h"
#include "FakeSettingsStore.h"
#include "QtApplication.h"
#include "ReplyBuilder.h"
#include "TempDir.h"
#include "base/PortNamer.h"
#include "base/TickClock.h"
#include "calibration/DefaultCalibration.h"
#include "config/Configuration.h"
#include "instrument/InstrumentDevice.h"
#include "platform/QtBluetoothRadio.h"
#include "platform/QtSerialPort.h"
#include "sim/InstrumentSimulator.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <thread>

namespace {

using namespace orv;
using sim::InstrumentFaults;
using sim::InstrumentOptions;
using sim::InstrumentSimulator;
using test::ReplyOf;

constexpr unsigned kPort = 7;
constexpr uint32_t kTimeoutMs = 500;  // generous for a loaded machine, short for a test

uint32_t ReplyNumber(const MeasurementSlot& slot)
{
    return little_endian::Load32(&slot.bytes[170]);
}

InstrumentOptions OptionsIn(const TempDir& dir)
{
    setenv("ORVCONTROL_PORT_PATTERN", (dir.Path() / "port%u").c_str(), 1);
    InstrumentOptions options;
    options.linkPath = DevicePathForPort(kPort);
    return options;
}

class SimulatedInstrumentTest : public ::testing::Test
{
protected:
    SimulatedInstrumentTest()
    {
        test::EnsureQtApplication();
        m_config.BluetoothInboundPort = int(kPort);
        m_config.UsedFrequencies.fill(1);
        std::string error;
        EXPECT_TRUE(m_sim.Start(error)) << error;
    }

    // Measures into a fresh slot and checks that it holds the simulator's latest reply.
    MeasurementSlot MeasureFresh()
    {
        MeasurementSlot slot;
        EXPECT_TRUE(m_device.IsReady() || m_device.Connect()) << m_device.LastError();
        EXPECT_TRUE(m_device.Measure(slot)) << m_device.LastError();
        EXPECT_EQ(ReplyNumber(slot), uint32_t(m_sim.Measurements()));
        return slot;
    }

    TempDir m_dir;
    FakeSettingsStore m_store;
    FakePrompt m_prompt;
    Configuration m_config{m_store, m_dir.File("OrvCalibration.ini"), m_prompt};
    InstrumentSimulator m_sim{OptionsIn(m_dir)};
    QtSerialPort m_instrument;
    QtSerialPort m_gps;
    InstrumentDevice m_device{m_config, m_instrument, m_gps,   SteadyTickClock(),
                              m_prompt, nullptr,      nullptr, LinkTimings{kTimeoutMs, 10}};
};

TEST_F(SimulatedInstrumentTest, MeasuresASeriesAndTheBattery)
{
    ASSERT_TRUE(m_device.Connect()) << m_device.LastError();
    m_config.UsedFrequencies.fill(0);
    m_config.UsedFrequencies[0] = m_config.UsedFrequencies[13] = 1;
    const uint32_t before = SteadyTickClock().Now();
    MeasurementSlot slot = MeasureFresh();
    const uint32_t after = SteadyTickClock().Now();
    EXPECT_EQ(ReplyOf(slot), m_sim.LastReply());
    EXPECT_EQ(slot.PresentMask(), 0x2001);
    EXPECT_EQ(slot.SerialNumber(), 9);
    EXPECT_GE(slot.TickStamp() - before, 0u);
    EXPECT_LE(slot.TickStamp() - before, after - before);

    std::array<MeasurementSlot, kFrequencyCount> series;
    ASSERT_TRUE(m_device.MeasureSeries(series)) << m_device.LastError();
    const auto reply = m_sim.LastReply();
    for (size_t i = 0; i < series.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(series[i].PresentMask(), 1);
        EXPECT_TRUE(std::equal(series[i].bytes.begin(), series[i].bytes.begin() + 12,
                               reply.begin() + long(12 * i)));
    }

    m_sim.SetBattery(1175);
    uint32_t centivolts = 0;
    ASSERT_TRUE(m_device.ReadBattery(centivolts)) << m_device.LastError();
    EXPECT_EQ(centivolts, 1175u);
}

TEST_F(SimulatedInstrumentTest, RepliesThatArriveWhole)
{
    struct Case
    {
        const char* legend;
        InstrumentFaults faults;
    };
    const Case cases[] = {
        {"in four pieces", {.pieces = 4, .piecePauseMs = 30, .replies = 1}},
        // No checksum: garbled readings cannot be told from good ones and are kept as sent.
        {"garbled readings", {.corruptBytes = 3, .replies = 1}},
        {"a little late", {.replyDelayMs = 100, .replies = 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        m_sim.SetFaults(c.faults);
        const MeasurementSlot slot = MeasureFresh();
        EXPECT_EQ(ReplyOf(slot), m_sim.LastReply());
    }
}

TEST_F(SimulatedInstrumentTest, EveryFaultFailsTheExchangeAndTheLinkComesBack)
{
    struct Case
    {
        const char* legend;
        InstrumentFaults faults;
    };
    const Case cases[] = {
        {"reply later than the time-out", {.replyDelayMs = 2 * kTimeoutMs, .replies = 1}},
        {"pieces too far apart", {.pieces = 2, .piecePauseMs = 2 * kTimeoutMs, .replies = 1}},
        {"dropped bytes", {.dropBytes = 3, .replies = 1}},
        {"empty frequency mask", {.emptyMask = true, .replies = 1}},
        {"port closes in the middle of the reply", {.closeAfterBytes = 60, .replies = 1}},
        {"no answer", {.neverAnswer = true, .replies = 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const MeasurementSlot measured = MeasureFresh();
        MeasurementSlot slot = measured;  // the station is measured again

        m_sim.SetFaults(c.faults);
        EXPECT_FALSE(m_device.Measure(slot));
        EXPECT_FALSE(m_device.LastError().empty());
        EXPECT_EQ(slot.bytes, measured.bytes);

        // As the Main page does: close the link, and connect again on the next Start. A late
        // reply must not be taken for the answer to the next command.
        m_device.CloseLink();
        ASSERT_TRUE(m_sim.WaitForReplies(m_sim.RepliesSent(), 5000));
        MeasureFresh();
    }
}

// A long run's faults: one measurement in three fails, dropped bytes and an empty mask in turn,
// and the measurements between them arrive whole.
TEST_F(SimulatedInstrumentTest, FaultsEveryFewRepliesTakeTurns)
{
    m_sim.SetFaults({.dropBytes = 3, .emptyMask = true, .every = 3});
    std::string outcomes;
    for (int n = 0; n < 9; ++n) {
        if (!m_device.IsReady()) {
            ASSERT_TRUE(m_device.Connect()) << m_device.LastError();
        }
        MeasurementSlot slot;
        const bool ok = m_device.Measure(slot);
        outcomes += ok ? '.' : 'x';
        if (!ok) {
            m_device.CloseLink();
            ASSERT_TRUE(m_sim.WaitForReplies(m_sim.RepliesSent(), 5000));
        } else {
            EXPECT_EQ(ReplyOf(slot), m_sim.LastReply());
        }
    }
    EXPECT_EQ(outcomes, "..x..x..x");
    // Battery replies stay whole: only measurements count.
    uint32_t centivolts = 0;
    ASSERT_TRUE(m_device.IsReady() || m_device.Connect());
    EXPECT_TRUE(m_device.ReadBattery(centivolts)) << m_device.LastError();
}

TEST_F(SimulatedInstrumentTest, AChangedInstrumentBringsItsCalibration)
{
    CalibrationRecord record;
    CalibrationId id;
    DefaultCalibration(record, id);
    record.Comment = "ORV 12, June 2011";
    ASSERT_TRUE(m_config.Calibrations().Merge({12, 2011, 6, 1}, record));
    record.Comment = "ORV 9, February 2007";
    ASSERT_TRUE(m_config.Calibrations().Merge({9, 2007, 2, 28}, record));
    m_config.SelectCalibration({9, 2007, 2, 28});

    MeasureFresh();
    EXPECT_EQ(m_config.ActiveCalibration.Comment, "ORV 9, February 2007");
    m_sim.SetSerial(12);
    MeasureFresh();
    EXPECT_EQ(m_config.ConnectedSerial, 12);
    EXPECT_EQ(m_config.CalibrationKey, (CalibrationId{12, 2011, 6, 1}));
    EXPECT_EQ(m_config.ActiveCalibration.Comment, "ORV 12, June 2011");
}

TEST(QtSerialPort, CloseFromAnotherThreadEndsAPendingRead)
{
    test::EnsureQtApplication();
    TempDir dir;
    InstrumentSimulator sim(OptionsIn(dir));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    QtSerialPort port;
    ASSERT_TRUE(port.Open(sim.DevicePath(), 4800)) << port.ErrorText();
    bool readOk = true;
    std::thread reader([&] {
        std::array<uint8_t, 100> buffer{};
        size_t got = 0;
        // As the NMEA reader waits on its port; the answer never comes.
        readOk = port.Read(buffer, std::chrono::milliseconds(20000), got);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(port.Close());
    reader.join();
    EXPECT_FALSE(readOk);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.Open(dir.File("port99"), 9600));
    EXPECT_NE(port.ErrorText().find("port99"), std::string::npos) << port.ErrorText();
}

TEST(QtBluetoothRadio, WithoutAnAdapterNothingIsSwitched)
{
    test::EnsureQtApplication();
    QtBluetoothRadio radio;
    if (radio.IsOn() != -1) {
        GTEST_SKIP() << "this machine has a Bluetooth adapter; not switching it";
    }
    EXPECT_EQ(radio.TurnOn(), -1);
    EXPECT_EQ(radio.TurnOff(), -1);
    EXPECT_EQ(radio.IsOn(), -1);
}

}  // namespace
