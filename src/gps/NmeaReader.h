#pragma once
// The link to the GPS receiver: one thread that owns the GPS port while the GPS is wanted. It
// opens the port, reads it in chunks, feeds the parser, sets the system clock once from GPS time
// and hands every new valid RMC position to the matcher.
//
// InstrumentDevice starts it through GpsReaderLauncher with the port's path and speed. A port
// that cannot be opened, a failed read or a device that goes away does not end the thread: it
// closes the port, says so in the link state (LinkState) and opens the port again every
// Options::retryInterval until the receiver is back. The operator is told once per outage, in
// a box captioned "GPS Error" with the port's own words for the fault ("Failed to read NMEA
// data" when it has none); the outage ends when bytes arrive again.
//
// Whatever waits in the port when it is opened is dropped unread: sentences a receiver sent
// while nobody listened are old, and stamped with the time they are read they would position a
// new station where the operator stood long ago.
//
// While it runs, the thread also lets the matcher give up the position requests that are older
// than their stale bound (GpsMatcher::Expire), so a station measured while no fix comes is
// reported unpositioned within a read slice of its bound.
//
// The thread runs until its stop token is set; it reads and waits in slices of at most
// Options::stopLatency, so it ends that soon after being asked (an open that blocks, as a
// Bluetooth port paging its device does, delays it). On its way out it closes the port. The
// object joins its thread when destroyed.
//
// The thread touches only the parser, the matcher and the link state (each behind its own lock,
// never two at once), the port, the clocks and the prompt. The prompt's Tell is called on the
// reader thread: the program's prompt must be safe to call from any thread (the window queues
// the box to itself).

#include "base/GpsReaderLauncher.h"
#include "gps/GpsLinkState.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace orv {

class GpsMatcher;
class NmeaParser;
class Prompt;
class SerialPort;
class SystemClock;
class TickClock;

class NmeaReader final : public GpsReaderLauncher
{
public:
    struct Options
    {
        size_t readSize = 256;
        // The port's read time-out for readSize bytes: 10 ms per byte + 1000 ms.
        std::chrono::milliseconds readTimeout{10 * 256 + 1000};
        // A read or a wait never lasts longer than this, so a stop request is seen soon.
        std::chrono::milliseconds stopLatency{200};
        // Pause between attempts to open a port that failed or could not be opened.
        std::chrono::milliseconds retryInterval{1000};
    };

    NmeaReader(NmeaParser& parser, GpsMatcher& matcher, SystemClock& systemClock,
               TickClock& tickClock, Prompt& prompt);
    NmeaReader(NmeaParser& parser, GpsMatcher& matcher, SystemClock& systemClock,
               TickClock& tickClock, Prompt& prompt, Options options);
    // Asks the thread to stop and waits for it (at most one read slice or one open).
    ~NmeaReader() override;
    NmeaReader(const NmeaReader&) = delete;
    NmeaReader& operator=(const NmeaReader&) = delete;

    // Starts the link: the thread opens `port` at `settings`. A thread of an earlier link is
    // stopped and joined first, so two threads never read one port. False when the thread
    // could not be started.
    [[nodiscard]] bool StartReader(SerialPort& port, const GpsPortSettings& settings) override;
    void StopReader(bool wait) override;
    [[nodiscard]] bool ReaderRunning() const override { return m_running.load(); }

    // A copy of the link state; any thread. Off once the thread has ended.
    [[nodiscard]] GpsLinkState LinkState() const;

    static constexpr const char* kErrorCaption = "GPS Error";
    static constexpr const char* kReadFailedText = "Failed to read NMEA data";

private:
    void Run(const std::stop_token& stop, SerialPort& port, const GpsPortSettings& settings);
    // Opens the port and drops what waits in it; false, with the outage noted, when it fails.
    bool OpenPort(SerialPort& port, const GpsPortSettings& settings, bool& told);
    // Notes an outage in the link state and tells the operator once per outage.
    void NoteOutage(GpsLinkState::Kind kind, const std::string& reason, bool& told);
    // Waits one retry interval in slices, giving the matcher its expiry; false on stop.
    bool WaitToRetry(const std::stop_token& stop);
    template <typename Change>
    void UpdateState(Change change);

    NmeaParser& m_parser;
    GpsMatcher& m_matcher;
    SystemClock& m_systemClock;
    TickClock& m_tickClock;
    Prompt& m_prompt;
    Options m_options;
    mutable std::mutex m_stateMutex;
    GpsLinkState m_state;
    std::atomic<bool> m_running{false};
    std::jthread m_thread;  // last member: joined before the others go
};

}  // namespace orv
