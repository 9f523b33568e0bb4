#pragma once
// The one object that owns the link to the instrument and its exchanges. It opens the instrument
// port ("COM%u:" of BluetoothInboundPort, 9600 baud) and, when the GPS is wanted, the GPS port
// with the NMEA reader thread; it sends the command frames of instrument/WireProtocol.h and waits
// for the replies, blocking the calling (user-interface) thread for at most the reply time-out, 40
// 000 ms on the instrument.
//
//     InstrumentDevice device(config, instrumentPort, gpsPort, clock, prompt, &radio, &reader);
//     MeasurementSlot slot;
//     if ((device.IsReady() || device.Connect()) && device.Measure(slot)) { store(slot); }
//     else { device.CloseLink(); report(device.LastError()); }
//
// A failed exchange leaves its output untouched, so a slot that already held a measurement keeps
// it. A reply is judged by its length and, for Measure, a non-empty present mask, nothing else:
// no framing, no checksum, no comparison of the mask with the request, so any reply the
// instrument completes is kept. Each exchange purges the port first, so bytes of an earlier,
// timed-out reply never reach the next one.

#include "base/Frequencies.h"
#include "base/MeasurementSlot.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

namespace orv {

class BluetoothRadio;
class Configuration;
class GpsReaderLauncher;
class Prompt;
class SerialPort;
class TickClock;

// One exchange taken in three steps, so that the port work can run on another thread than the
// one that owns the configuration (which has no lock):
//
//     PendingExchange x = device.PrepareMeasure(config.TrasserMode != 0);  // owner's thread
//     device.Transfer(x);                  // worker thread: the port and the clock only
//     device.FinishMeasure(x, slot);       // owner's thread: decoding, NoteInstrumentSerial
//
// Measure, MeasureSeries and ReadBattery are the three steps in a row. Prepare and Finish must
// not overlap a Transfer on another thread; CancelTransfer may be called from anywhere.
struct PendingExchange
{
    enum class Kind { Measure, Series, Battery };
    Kind kind = Kind::Measure;
    std::array<uint8_t, 9> frame{};
    size_t frameSize = 0;
    std::array<uint8_t, kReplySize> reply{};
    size_t replySize = 0;
    uint32_t sent = 0;       // tick right after the command was written
    uint32_t firstByte = 0;  // tick of the first reply data
    bool ready = false;      // the link was ready when the exchange was prepared
    bool transferred = false;
    std::string error;  // why the transfer failed
    std::string port;   // the instrument port, for the operator
    // The reply time-out of this exchange; 0: the link's (LinkTimings::replyTimeoutMs).
    uint32_t timeoutMs = 0;
};

// Opening the instrument port in two steps, so that the open (which may wait on a Bluetooth
// connection) runs off the thread that owns the configuration:
//
//     const ConnectPlan plan = device.PrepareConnect();   // owner's thread
//     std::string error;
//     device.OpenInstrument(plan, error);                 // any thread: the port only
struct ConnectPlan
{
    bool valid = false;       // the port number makes a device path
    std::string path;         // the device, e.g. "/dev/rfcomm5"
    std::string description;  // for the operator, e.g. "/dev/rfcomm5 (COM5:)"
    std::string error;        // why the plan is not valid
};

struct LinkTimings
{
    // A reply not complete this long after the command was sent fails the exchange.
    uint32_t replyTimeoutMs = 40000;
    // Pause after a read that returned nothing.
    uint32_t idleSleepMs = 10;
};

class InstrumentDevice
{
public:
    // Asks the radio whether it is on and switches it on when it is not (the result is not
    // checked: a radio that stays off shows as a port that cannot be opened). `radio` and
    // `gpsReader` may be null; both are borrowed and must outlive the device.
    InstrumentDevice(Configuration& config, SerialPort& instrument, SerialPort& gps,
                     TickClock& clock, Prompt& prompt, BluetoothRadio* radio,
                     GpsReaderLauncher* gpsReader, LinkTimings timings = {});
    // Closes the link; switches the radio off again only when it was off at creation.
    ~InstrumentDevice();
    InstrumentDevice(const InstrumentDevice&) = delete;
    InstrumentDevice& operator=(const InstrumentDevice&) = delete;

    // Opens the instrument port and, when the GPS is wanted, the GPS side (ConnectGps). False
    // when a port could not be opened; the instrument port stays open when only the GPS failed.
    [[nodiscard]] bool Connect();
    // The instrument port of the configuration, as Connect would open it.
    [[nodiscard]] ConnectPlan PrepareConnect() const;
    // Opens the instrument port of a plan; touches the port only. False with the reason, which
    // names the port.
    bool OpenInstrument(const ConnectPlan& plan, std::string& error);
    // "/dev/rfcomm5 (COM5:)": the instrument port of the configuration, for the operator.
    [[nodiscard]] std::string InstrumentPortDescription() const;
    // The same for the GPS port.
    [[nodiscard]] std::string GpsPortDescription() const;
    // Opens the GPS port at the configured speed and starts the reader thread unless one runs.
    // The result is whether the port opened: a reader that cannot start is reported to the
    // operator ("Failed to read NMEA data") and leaves the port open.
    [[nodiscard]] bool ConnectGps();
    // Closes the instrument port, then the GPS side; true when both succeeded.
    bool CloseLink();
    // Closes the instrument port only: the instrument failed, the GPS goes on.
    bool CloseInstrument();
    // The instrument port is open (whatever the GPS); a port whose device went away is closed
    // on the way.
    [[nodiscard]] bool InstrumentOpen();
    // With no reader running, closes the GPS port. Otherwise asks the reader to stop and returns
    // at once: the thread closes the port when its current read returns.
    bool CloseGps();
    // Stores whether the GPS receiver belongs to the link and returns the old value; false also
    // closes the GPS side.
    bool SetGpsWanted(bool wanted);
    [[nodiscard]] bool GpsWanted() const { return m_gpsWanted; }
    // The instrument port is open and, when the GPS is wanted, the GPS port too.
    [[nodiscard]] bool IsReady() const;

    // One measurement at the active frequencies (UsedFrequencies). True when a complete reply
    // arrived and its present mask is not empty; `slot` then holds the reply and the tick stamp
    // halfway between the command and the first reply byte. The reply's serial number goes to
    // the configuration, which selects that instrument's calibration when it changed.
    [[nodiscard]] bool Measure(MeasurementSlot& slot);
    // A tracer series: the reply's 14 blocks are 14 successive samples, slot i holding sample i
    // as frequency 0, stamped from the command (sample 0) to the first reply byte (sample 13).
    [[nodiscard]] bool MeasureSeries(std::span<MeasurementSlot, kFrequencyCount> slots);
    // The battery voltage in hundredths of a volt.
    [[nodiscard]] bool ReadBattery(uint32_t& centivolts);

    // The steps of an exchange (PendingExchange). Prepare reads the configuration and whether
    // the link is ready, and clears an earlier cancel request.
    [[nodiscard]] PendingExchange PrepareMeasure(bool series) const;
    [[nodiscard]] PendingExchange PrepareBattery() const;
    // Purges, sends the frame and reads the reply; touches only the instrument port, the clock
    // and the exchange. False with the reason in `exchange.error`.
    bool Transfer(PendingExchange& exchange);
    // Ends a Transfer in progress on another thread as a failure ("the measurement was
    // cancelled"); the port stays as it is.
    void CancelTransfer() { m_cancel = true; }
    // Decode a transferred exchange; the result of the three steps, with LastError set.
    [[nodiscard]] bool FinishMeasure(const PendingExchange& exchange, MeasurementSlot& slot);
    [[nodiscard]] bool FinishSeries(const PendingExchange& exchange,
                                    std::span<MeasurementSlot, kFrequencyCount> slots);
    [[nodiscard]] bool FinishBattery(const PendingExchange& exchange, uint32_t& centivolts);

    // Why the last operation failed, for the operator; empty after a success.
    [[nodiscard]] const std::string& LastError() const { return m_lastError; }
    [[nodiscard]] bool RadioWasOn() const { return m_radioWasOn; }

private:
    PendingExchange Prepare(PendingExchange::Kind kind, std::span<const uint8_t> frame,
                            size_t replySize) const;
    // Takes over the outcome of a transfer: false, with LastError, when it failed.
    bool Settle(const PendingExchange& exchange, PendingExchange::Kind kind);
    bool Fail(std::string reason);

    Configuration& m_config;
    SerialPort& m_instrument;
    SerialPort& m_gps;
    TickClock& m_clock;
    Prompt& m_prompt;
    BluetoothRadio* m_radio;
    GpsReaderLauncher* m_gpsReader;
    LinkTimings m_timings;
    bool m_radioWasOn = false;
    bool m_gpsWanted = false;
    std::string m_lastError;
    mutable std::atomic<bool> m_cancel{false};
};

}  // namespace orv
