#pragma once
// A GPS receiver on a pseudo-terminal: replays a capture at the receiver's pace, or walks. It
// runs its own thread, so it serves in-process (tests, `orvcontrol --simulate`) as well as in
// `orvsim gps`.
//
//     GpsSimulatorOptions options;
//     options.port = 4;  // linked where the port pattern puts port 4
//     options.walk.speed = 1.5;
//     GpsSimulator gps;
//     std::string error;
//     if (!gps.Start(options, error)) { report(error); }
//
// Output is paced at the line speed (`baud`), as a receiver on a 9600-baud link delivers it,
// unless `asFastAsPossible`. When the client does not read and the terminal's buffer is full,
// the epoch is dropped, as a receiver's output is lost when nobody listens.
//
// Two outages can be asked for at run time, from any thread, each for a number of seconds
// (`orvcontrol --simulate` offers them in its Simulator menu, `orvsim gps` as options):
//
//     gps.Stall(10.0);        // the port stays, nothing is sent (a receiver that hangs)
//     gps.Stall(10.0, true);  // a walk sends epochs without a fix (RMC void, GGA quality 0)
//     gps.Disappear(10.0);    // the terminal and its link go away, then come back on the
//                             // same path (a receiver switched off and on, a dropped link)
//
// The walk goes on meanwhile, so the positions after an outage are where the operator got to; a
// replay waits and goes on with the epoch it would have sent.

#include "sim/GpsSentences.h"
#include "sim/PseudoTerminal.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace orv::sim {

struct GpsSimulatorOptions
{
    unsigned port = 0;
    // Where to put the symbolic link to the terminal: empty for where the port pattern puts
    // `port`; "-" for no link (the client opens SlavePath()).
    std::string linkPath;
    // Capture to replay; empty walks instead.
    std::string replayFile;
    // Epochs per second; 0 takes the capture's own pace (replay) or 1 per second (walk).
    double rate = 0.0;
    bool asFastAsPossible = false;
    bool loop = false;     // start the capture again at its end
    uint32_t baud = 9600;  // line speed to pace the output at; 0 does not pace
    uint64_t epochs = 0;   // walk: stop after this many epochs; 0 walks until stopped
    // Seconds of silence after Start, as a receiver still starting up (a stall: Stall(0) ends
    // it early). The walk goes on meanwhile.
    double silentFor = 0.0;
    GpsWalk walk;
};

class GpsSimulator
{
public:
    GpsSimulator() = default;
    ~GpsSimulator();
    GpsSimulator(const GpsSimulator&) = delete;
    GpsSimulator& operator=(const GpsSimulator&) = delete;

    // Opens the terminal, links it and starts sending. False with a reason (capture missing or
    // empty, link not possible).
    [[nodiscard]] bool Start(const GpsSimulatorOptions& options, std::string& error);
    // Stops sending and ends the terminal; the client's reads then fail. Safe to call twice.
    void Stop();

    // The receiver sends nothing for `seconds` from now, its port staying open; with
    // `voidFixes` a walk sends epochs without a fix instead (a replay sends nothing). A call
    // replaces a stall under way; 0 seconds ends it.
    void Stall(double seconds, bool voidFixes = false);
    // The terminal and its link go away now and come back after `seconds` on the same link
    // path, with a new terminal behind it. A call during a disappearance sets its end anew.
    void Disappear(double seconds);
    [[nodiscard]] bool Stalled() const;
    // True from Disappear until the terminal is back behind its link.
    [[nodiscard]] bool Gone() const;
    // How often the terminal came back after a Disappear.
    [[nodiscard]] uint64_t Returns() const { return m_returns; }

    // False once a replay without loop or a counted walk is done, or after Stop.
    [[nodiscard]] bool Running() const { return m_running; }
    [[nodiscard]] std::string SlavePath() const;
    [[nodiscard]] std::string LinkPath() const;
    [[nodiscard]] uint64_t EpochsSent() const { return m_epochsSent; }
    [[nodiscard]] uint64_t EpochsDropped() const { return m_epochsDropped; }
    [[nodiscard]] size_t EpochsInCapture() const { return m_capture.size(); }

private:
    void Run(const std::stop_token& stop);
    // Sends one epoch, paced at the line speed. False when the terminal is gone.
    bool Send(const std::stop_token& stop, std::span<const uint8_t> bytes);
    // Waits until `deadline` or a stop request, taking the terminal away and back as the
    // faults ask meanwhile; false on the stop request.
    bool WaitUntil(const std::stop_token& stop, std::chrono::steady_clock::time_point deadline);
    // Closes or reopens the terminal as a disappearance asks, on the simulator's thread. False
    // when the terminal cannot come back.
    bool ApplyPresence();
    // What this epoch sends, as the faults have it now.
    enum class Output { Normal, Nothing, NoFix };
    [[nodiscard]] Output CurrentOutput() const;

    GpsSimulatorOptions m_options;
    std::vector<ReplayEpoch> m_capture;
    PseudoTerminal m_pty;
    std::string m_slavePath;
    std::string m_linkPath;
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_epochsSent{0};
    std::atomic<uint64_t> m_epochsDropped{0};
    // Guards the faults and the slave path, which the thread changes when the terminal comes
    // back.
    mutable std::mutex m_waitMutex;
    std::condition_variable_any m_wait;
    std::chrono::steady_clock::time_point m_stallUntil{};
    bool m_stallVoid = false;
    std::chrono::steady_clock::time_point m_goneUntil{};
    bool m_faultChanged = false;
    bool m_away = false;  // the terminal is closed for a disappearance (the thread's own)
    std::atomic<bool> m_gone{false};
    std::atomic<uint64_t> m_returns{0};
    std::jthread m_thread;
};

}  // namespace orv::sim
