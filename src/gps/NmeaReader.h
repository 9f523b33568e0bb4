#pragma once
// The NMEA reader thread: reads the GPS port in chunks, feeds the parser, sets the system clock
// once from GPS time and hands every new valid RMC position to the matcher.
//
// InstrumentDevice starts it through GpsReaderLauncher when the GPS port opens. The thread runs
// until its stop token is set or the port fails; it reads in slices of at most
// Options::stopLatency, so it ends that soon after being asked. On its way out it closes the
// port. A failed read is
// told to the operator in a box captioned "GPS Error" with the port's own words for the fault
// ("Failed to read NMEA data" when it has none), unless the thread was already asked to stop.
// The object joins its thread when destroyed.
//
// The thread touches only the parser and the matcher (each behind its own lock), the port, the
// clocks and the prompt. The prompt's Tell is called on the reader thread: the program's
// prompt must be safe to call from any thread (the window queues the box to itself).

#include "base/GpsReaderLauncher.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <stop_token>
#include <thread>

namespace orv {

class GpsMatcher;
class NmeaParser;
class Prompt;
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
        // A read never waits longer than this, so a stop request is seen soon.
        std::chrono::milliseconds stopLatency{200};
    };

    NmeaReader(NmeaParser& parser, GpsMatcher& matcher, SystemClock& systemClock,
               TickClock& tickClock, Prompt& prompt);
    NmeaReader(NmeaParser& parser, GpsMatcher& matcher, SystemClock& systemClock,
               TickClock& tickClock, Prompt& prompt, Options options);
    // Asks the thread to stop and waits for it (at most one read time-out).
    ~NmeaReader() override;
    NmeaReader(const NmeaReader&) = delete;
    NmeaReader& operator=(const NmeaReader&) = delete;

    // Starts the thread on an open port. A thread of an earlier connection that has not
    // finished yet is stopped and joined first, so two threads never read one port. False when
    // the thread could not be started.
    [[nodiscard]] bool StartReader(SerialPort& port) override;
    void StopReader(bool wait) override;
    [[nodiscard]] bool ReaderRunning() const override { return m_running.load(); }

    static constexpr const char* kErrorCaption = "GPS Error";
    static constexpr const char* kReadFailedText = "Failed to read NMEA data";

private:
    void Run(const std::stop_token& stop, SerialPort& port);

    NmeaParser& m_parser;
    GpsMatcher& m_matcher;
    SystemClock& m_systemClock;
    TickClock& m_tickClock;
    Prompt& m_prompt;
    Options m_options;
    std::atomic<bool> m_running{false};
    std::jthread m_thread;  // last member: joined before the others go
};

}  // namespace orv
