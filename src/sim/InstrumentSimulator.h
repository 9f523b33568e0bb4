#pragma once
// An ORV instrument on a pseudo-terminal. It answers the wire protocol (instrument/WireProtocol.h)
// from its own thread: a measurement reply of 176 bytes with readings made from a ground model
// through the inverse of the signal computation under the built-in calibration, so the program
// shows the model's conductivity back; a tracer series of 14 samples of the first frequency; the
// battery voltage.
//
//     InstrumentSimulator sim({.linkPath = DevicePathForPort(5)});
//     std::string error;
//     if (!sim.Start(error)) { report(error); }
//     sim.SetStation(3.0, 0.0);                       // or let it walk its grid
//     sim.SetFaults({.neverAnswer = true, .replies = 1});
//
// Stations: by default the simulator walks a grid of profiles in a snake, as a grid survey does
// (even profiles from station 0 up, odd ones down), one station per measurement and 14 per
// tracer series; SetStation pins it to one place instead.
//
// Bytes 170..173 of each measurement reply (reserved, never interpreted by the program) carry
// the number of the reply, little-endian, so a test can tell which reply was stored.
//
// Faults hit the next `replies` replies (all replies when negative) and then stop: slow or split
// replies, dropped or garbled bytes, an empty frequency mask, a port that closes in the middle of
// a reply (the terminal then comes back at once behind the same link, as a Bluetooth port does
// when the instrument is switched on again), or no answer at all.
// With `every` set, the faults hit only one measurement reply in `every` and take turns, one
// kind per faulty reply, so a long run meets each of them again and again between good replies.

#include "base/MeasurementSlot.h"
#include "calibration/CalibrationRecord.h"
#include "sim/GroundModel.h"
#include "sim/PseudoTerminal.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace orv::sim {

struct InstrumentFaults
{
    uint32_t replyDelayMs = 0;  // wait this long before answering
    int pieces = 1;             // send each reply in this many pieces ...
    uint32_t piecePauseMs = 0;  // ... with this pause between them
    int dropBytes = 0;          // leave this many bytes out of the middle of each reply
    int corruptBytes = 0;       // invert the first byte of this many frequency blocks
    bool emptyMask = false;     // report no frequency at all
    int closeAfterBytes = -1;   // close the terminal after this many bytes of a reply
    bool neverAnswer = false;
    int replies = -1;  // how many replies the faults hit; negative: all of them
    int every = 0;     // > 0: only every `every`-th measurement reply, one fault kind in turn
};

struct InstrumentOptions
{
    std::string linkPath;  // where the symbolic link goes; empty: none (use DevicePath)
    uint8_t serial = 9;    // the built-in calibration's instrument
    uint32_t batteryCentivolts = 1250;
    GroundModel ground = GroundModel::HalfSpace(20.0);
    int stations = 20;   // the walked grid: stations per profile ...
    int profiles = 10;   // ... profiles ...
    double xStep = 1.0;  // ... and their spacing in metres
    double yStep = 1.0;
    double depthScale = 10.0;  // depth in metres seen by the first frequency
    InstrumentFaults faults;
    // After this many measurement replies the instrument reports `switchSerialTo`; negative:
    // never. Stands for an operator who changes instruments in the middle of a survey.
    int switchSerialAfter = -1;
    uint8_t switchSerialTo = 0;
    bool verbose = false;  // one line per command on stderr
};

class InstrumentSimulator
{
public:
    explicit InstrumentSimulator(InstrumentOptions options = {});
    ~InstrumentSimulator();
    InstrumentSimulator(const InstrumentSimulator&) = delete;
    InstrumentSimulator& operator=(const InstrumentSimulator&) = delete;

    // Opens the terminal, puts the link and starts answering. False with a reason.
    [[nodiscard]] bool Start(std::string& error);
    // Stops answering, closes the terminal and removes the link.
    void Stop();
    // The path a client opens: the link when there is one, else the terminal itself.
    [[nodiscard]] std::string DevicePath() const;

    void SetFaults(const InstrumentFaults& faults);
    // The instrument goes away for `ms`: the terminal closes and its link is removed, as when
    // the instrument is switched off or walks out of radio range; then a new terminal comes back
    // behind the same link. Callable from any thread while the simulator runs.
    void DropFor(uint32_t ms);
    // True while dropped.
    [[nodiscard]] bool Dropped() const { return m_dropped.load(); }
    void SetSerial(uint8_t serial);
    void SetBattery(uint32_t centivolts);
    // Pins the station to (x, y) metres; the walk resumes with ResumeWalk().
    void SetStation(double x, double y);
    void ResumeWalk();

    // Frames understood, replies begun (complete or not), and measurement replies built.
    [[nodiscard]] int Commands() const { return m_commands.load(); }
    [[nodiscard]] int RepliesSent() const { return m_replies.load(); }
    [[nodiscard]] int Measurements() const { return m_measurements.load(); }
    // Replies whose sending is over: written whole, cut short by a fault, or withheld.
    [[nodiscard]] int RepliesFinished() const { return m_finished.load(); }
    // The last reply as the instrument meant to send it (after garbling, before drops, splits
    // or a closed port).
    [[nodiscard]] std::vector<uint8_t> LastReply() const;
    // Waits at most `timeoutMs` until RepliesFinished() reaches `count`.
    bool WaitForReplies(int count, uint32_t timeoutMs) const;

    // The measurement reply at (x, y) for a command mask; no serial, counter or fault. Public so
    // tools and tests can build replies without a terminal.
    [[nodiscard]] std::array<uint8_t, kReplySize> ReadingsAt(double x, double y,
                                                             uint16_t mask) const;

private:
    void Serve();
    void HandleFrame(const std::vector<uint8_t>& frame);
    void SendReply(std::vector<uint8_t> reply, bool isMeasurement);
    void DeliverReply(std::vector<uint8_t> reply, bool isMeasurement);
    // Sleeps up to `ms`; false when asked to stop meanwhile.
    bool Pause(uint32_t ms);
    // A new terminal behind the same link (the old one's client sees a hang-up).
    bool Reopen();
    // Serves a DropFor: away, then back; false when asked to stop meanwhile or on failure.
    bool Drop(uint32_t ms);
    std::pair<double, double> StationPosition(int walkIndex) const;

    InstrumentOptions m_options;
    CalibrationRecord m_calibration;
    PseudoTerminal m_terminal;
    std::thread m_thread;

    mutable std::mutex m_mutex;  // guards the options, the station and the last reply
    std::optional<std::pair<double, double>> m_pinnedStation;
    int m_walkIndex = 0;
    int m_sinceFault = 0;  // measurement replies since the last fault of an `every` run
    int m_faultTurn = 0;   // the fault kind the next one takes
    std::vector<uint8_t> m_lastReply;
    std::string m_slavePath;
    bool m_stop = false;
    mutable std::condition_variable m_wake;

    std::atomic<int> m_commands{0};
    std::atomic<int> m_replies{0};
    std::atomic<int> m_measurements{0};
    std::atomic<int> m_finished{0};
    std::atomic<uint32_t> m_dropRequest{0};
    std::atomic<bool> m_dropped{false};
};

}  // namespace orv::sim
