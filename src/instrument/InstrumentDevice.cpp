#include "instrument/InstrumentDevice.h"

#include "base/GpsReaderLauncher.h"
#include "base/PortNamer.h"
#include "base/Prompt.h"
#include "base/SerialPort.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "instrument/BluetoothRadio.h"
#include "instrument/WireProtocol.h"

#include <algorithm>
#include <array>

namespace orv {

namespace {

constexpr uint32_t kInstrumentBaud = 9600;
constexpr const char* kCaption = "Orv Control";
constexpr const char* kReaderFailed = "Failed to read NMEA data";

std::string PortDescription(int number, const std::string& path)
{
    return path + " (" + HandheldPortName(unsigned(number)) + ")";
}

// A failed open: the port's own words when it has them (they name the device), with the
// handheld's name of the port; else what was tried.
std::string OpenFailure(const std::string& which, const std::string& description,
                        const SerialPort& port)
{
    const std::string reason = port.ErrorText();
    if (reason.empty()) {
        return "cannot open the " + which + " port " + description;
    }
    const size_t open = description.find(" (");
    const std::string name = open == std::string::npos
                                 ? description
                                 : description.substr(open + 2, description.size() - open - 3);
    return reason + " (the " + which + " port " + name + ")";
}

std::string WithReason(std::string text, const SerialPort& port)
{
    const std::string reason = port.ErrorText();
    if (!reason.empty()) {
        text += ": " + reason;
    }
    return text;
}

}  // namespace

InstrumentDevice::InstrumentDevice(Configuration& config, SerialPort& instrument, SerialPort& gps,
                                   TickClock& clock, Prompt& prompt, BluetoothRadio* radio,
                                   GpsReaderLauncher* gpsReader, LinkTimings timings)
    : m_config(config),
      m_instrument(instrument),
      m_gps(gps),
      m_clock(clock),
      m_prompt(prompt),
      m_radio(radio),
      m_gpsReader(gpsReader),
      m_timings(timings)
{
    if (m_radio != nullptr) {
        m_radioWasOn = m_radio->IsOn() == 1;
        if (!m_radioWasOn) {
            m_radio->TurnOn();
        }
    }
}

InstrumentDevice::~InstrumentDevice()
{
    CloseLink();
    if (m_radio != nullptr && !m_radioWasOn) {
        m_radio->TurnOff();
    }
}

bool InstrumentDevice::Fail(std::string reason)
{
    m_lastError = std::move(reason);
    return false;
}

ConnectPlan InstrumentDevice::PrepareConnect() const
{
    ConnectPlan plan;
    const int number = m_config.BluetoothInboundPort;
    if (number < 0) {
        plan.error = "the instrument port number " + std::to_string(number) + " is not valid";
        return plan;
    }
    plan.valid = true;
    plan.path = DevicePathForPort(unsigned(number));
    plan.description = PortDescription(number, plan.path);
    return plan;
}

std::string InstrumentDevice::InstrumentPortDescription() const
{
    const ConnectPlan plan = PrepareConnect();
    return plan.valid ? plan.description : plan.error;
}

std::string InstrumentDevice::GpsPortDescription() const
{
    const int number = m_config.BluetoothOutboundPort;
    if (number < 0) {
        return "the GPS port number " + std::to_string(number) + " is not valid";
    }
    return PortDescription(number, DevicePathForPort(unsigned(number)));
}

bool InstrumentDevice::OpenInstrument(const ConnectPlan& plan, std::string& error)
{
    if (!plan.valid) {
        error = plan.error;
        return false;
    }
    if (!m_instrument.Open(plan.path, kInstrumentBaud)) {
        error = OpenFailure("instrument", plan.description, m_instrument);
        return false;
    }
    return true;
}

bool InstrumentDevice::Connect()
{
    m_lastError.clear();
    std::string error;
    if (!OpenInstrument(PrepareConnect(), error)) {
        return Fail(error);
    }
    // The GPS link opens and reopens its port by itself: a receiver that is away does not keep
    // the instrument from measuring.
    if (m_gpsWanted) {
        (void)ConnectGps();
        m_lastError.clear();
    }
    return true;
}

bool InstrumentDevice::ConnectGps()
{
    m_lastError.clear();
    const int number = m_config.BluetoothOutboundPort;
    if (number < 0) {
        return Fail("the GPS port number " + std::to_string(number) + " is not valid");
    }
    const GpsPortSettings settings{DevicePathForPort(unsigned(number)), m_config.GpsBaudRate()};
    if (GpsLinkRunning() && settings == m_gpsSettings) {
        return true;
    }
    if (m_gpsReader == nullptr) {
        m_prompt.Tell(kReaderFailed, kCaption, Icon::Error);
        return Fail("no GPS reader");
    }
    // A link to another port ends first: the reader is stopped and joined before it restarts.
    m_gpsSettings = settings;
    if (!m_gpsReader->StartReader(m_gps, settings)) {
        m_prompt.Tell(kReaderFailed, kCaption, Icon::Error);
        return Fail("the GPS reader could not be started");
    }
    return true;
}

bool InstrumentDevice::CloseLink()
{
    const bool instrumentClosed = m_instrument.Close();
    const bool gpsClosed = CloseGps();
    return instrumentClosed && gpsClosed;
}

bool InstrumentDevice::CloseInstrument() { return m_instrument.Close(); }

bool InstrumentDevice::InstrumentOpen() { return m_instrument.CheckAlive(); }

bool InstrumentDevice::CloseGps()
{
    // The reader closes the port itself when it ends; closing it here too would pull the port
    // from under a read in progress.
    if (!GpsLinkRunning()) {
        return m_gps.Close();
    }
    m_gpsReader->StopReader(false);
    return true;
}

bool InstrumentDevice::SetGpsWanted(bool wanted)
{
    const bool old = m_gpsWanted;
    m_gpsWanted = wanted;
    if (wanted) {
        (void)ConnectGps();
    } else {
        CloseGps();
    }
    return old;
}

bool InstrumentDevice::GpsLinkRunning() const
{
    return m_gpsReader != nullptr && m_gpsReader->ReaderRunning();
}

bool InstrumentDevice::IsReady() const
{
    // While the GPS link runs, its port may be closed or reopening: that is the link's own
    // business, and the instrument measures meanwhile. A link that is not running makes the
    // next Start connect, which starts it again; without a reader there is nothing to start.
    return m_instrument.IsOpen() && (!m_gpsWanted || m_gpsReader == nullptr || GpsLinkRunning());
}

bool InstrumentDevice::Measure(MeasurementSlot& slot)
{
    PendingExchange x = PrepareMeasure(false);
    Transfer(x);
    return FinishMeasure(x, slot);
}

bool InstrumentDevice::MeasureSeries(std::span<MeasurementSlot, kFrequencyCount> slots)
{
    PendingExchange x = PrepareMeasure(true);
    Transfer(x);
    return FinishSeries(x, slots);
}

bool InstrumentDevice::ReadBattery(uint32_t& centivolts)
{
    PendingExchange x = PrepareBattery();
    Transfer(x);
    return FinishBattery(x, centivolts);
}

PendingExchange InstrumentDevice::Prepare(PendingExchange::Kind kind,
                                          std::span<const uint8_t> frame, size_t replySize) const
{
    PendingExchange x;
    x.kind = kind;
    x.frameSize = std::min(frame.size(), x.frame.size());
    std::copy_n(frame.begin(), x.frameSize, x.frame.begin());
    x.replySize = std::min(replySize, x.reply.size());
    // The exchange needs the instrument port alone; the GPS link runs beside it.
    x.ready = m_instrument.IsOpen();
    x.port = InstrumentPortDescription();
    if (!x.ready) {
        x.error = "the instrument is not connected";
    }
    m_cancel = false;
    return x;
}

PendingExchange InstrumentDevice::PrepareMeasure(bool series) const
{
    if (series) {
        return Prepare(PendingExchange::Kind::Series, wire::SeriesCommand(), kReplySize);
    }
    const uint16_t mask = wire::FrequencyMask(m_config.UsedFrequencies);
    return Prepare(PendingExchange::Kind::Measure, wire::MeasureCommand(mask), kReplySize);
}

PendingExchange InstrumentDevice::PrepareBattery() const
{
    return Prepare(PendingExchange::Kind::Battery, wire::BatteryCommand(), wire::kBatteryReplySize);
}

bool InstrumentDevice::Transfer(PendingExchange& x)
{
    x.transferred = false;
    const auto fail = [&x](std::string reason) {
        x.error = std::move(reason);
        return false;
    };
    if (!x.ready) {
        return false;
    }
    x.error.clear();
    const std::span<uint8_t> reply(x.reply.data(), x.replySize);
    m_instrument.Purge();
    if (!m_instrument.Write(std::span<const uint8_t>(x.frame.data(), x.frameSize))) {
        return fail(WithReason("cannot send the command to the instrument", m_instrument));
    }
    const uint32_t timeout = x.timeoutMs != 0 ? x.timeoutMs : m_timings.replyTimeoutMs;
    const uint32_t sent = m_clock.Now();
    x.sent = sent;
    x.firstByte = sent;
    size_t received = 0;
    // The instrument may answer in pieces; keep reading until the whole reply or the deadline.
    // Reads are cut into short slices so that a cancel request is seen soon.
    constexpr auto kSlice = std::chrono::milliseconds(100);
    while (received < reply.size()) {
        if (m_cancel.load()) {
            return fail("the measurement was cancelled after " + std::to_string(received) + " of " +
                        std::to_string(reply.size()) + " reply bytes");
        }
        const uint32_t elapsed = m_clock.Now() - sent;
        const uint32_t left = elapsed < timeout ? timeout - elapsed : 0;
        // A read never waits past the deadline by more than a tick.
        const auto wait =
            std::min({ReadTimeoutFor(reply.size() - received), std::chrono::milliseconds(left + 1),
                      std::chrono::milliseconds(kSlice)});
        size_t got = 0;
        const bool ok = m_instrument.Read(reply.subspan(received), wait, got);
        if (ok && got > 0) {
            if (received == 0) {
                x.firstByte = m_clock.Now();
            }
            received += std::min(got, reply.size() - received);
            if (received == reply.size()) {
                break;
            }
        } else if (!ok && !m_instrument.IsOpen()) {
            // The port closed itself: the device went away. Waiting out the time-out cannot
            // bring the reply back.
            return fail(WithReason("the link to the instrument was lost after " +
                                       std::to_string(received) + " of " +
                                       std::to_string(reply.size()) + " reply bytes",
                                   m_instrument));
        } else {
            m_clock.Sleep(m_timings.idleSleepMs);
        }
        if (m_clock.Now() - sent > timeout) {
            return fail("no complete reply from the instrument within " + std::to_string(timeout) +
                        " ms (" + std::to_string(received) + " of " + std::to_string(reply.size()) +
                        " bytes)");
        }
    }
    x.transferred = true;
    return true;
}

bool InstrumentDevice::Settle(const PendingExchange& x, PendingExchange::Kind kind)
{
    m_lastError.clear();
    if (x.kind != kind) {
        return Fail("the exchange answers another command");
    }
    if (!x.transferred) {
        const std::string why =
            x.error.empty() ? std::string("the exchange did not take place") : x.error;
        return Fail(x.port.empty() ? why : why + " on " + x.port);
    }
    return true;
}

bool InstrumentDevice::FinishMeasure(const PendingExchange& x, MeasurementSlot& slot)
{
    if (!Settle(x, PendingExchange::Kind::Measure)) {
        return false;
    }
    MeasurementSlot result;
    result.SetTickStamp(x.sent + ((x.firstByte - x.sent) >> 1));
    const bool filled = result.AssignReply(x.reply);
    m_config.NoteInstrumentSerial(result.SerialNumber());
    if (!filled) {
        return Fail("the instrument's reply holds no frequency (empty present mask)");
    }
    slot = result;
    return true;
}

bool InstrumentDevice::FinishSeries(const PendingExchange& x,
                                    std::span<MeasurementSlot, kFrequencyCount> slots)
{
    if (!Settle(x, PendingExchange::Kind::Series)) {
        return false;
    }
    std::array<MeasurementSlot, kFrequencyCount> result{};
    const uint32_t span = x.firstByte - x.sent;
    for (int i = 0; i < kFrequencyCount; ++i) {
        MeasurementSlot& sample = result[size_t(i)];
        sample.SetTickStamp(x.sent + (uint32_t(i) * span) / 13u);
        sample.AssignSingle(x.reply, i);
    }
    // Slot 0 carries serial 0, so this selects nothing; the series keeps the calibration in use.
    m_config.NoteInstrumentSerial(result[0].SerialNumber());
    std::copy(result.begin(), result.end(), slots.begin());
    return true;
}

bool InstrumentDevice::FinishBattery(const PendingExchange& x, uint32_t& centivolts)
{
    if (!Settle(x, PendingExchange::Kind::Battery)) {
        return false;
    }
    centivolts = wire::BatteryCentivolts(
        std::span<const uint8_t, wire::kBatteryReplySize>(x.reply.data(), wire::kBatteryReplySize));
    return true;
}

}  // namespace orv
