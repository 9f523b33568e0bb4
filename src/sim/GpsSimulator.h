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
    // Waits until `deadline` or a stop request; false on the stop request.
    bool WaitUntil(const std::stop_token& stop, std::chrono::steady_clock::time_point deadline);

    GpsSimulatorOptions m_options;
    std::vector<ReplayEpoch> m_capture;
    PseudoTerminal m_pty;
    std::string m_slavePath;
    std::string m_linkPath;
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_epochsSent{0};
    std::atomic<uint64_t> m_epochsDropped{0};
    std::mutex m_waitMutex;
    std::condition_variable_any m_wait;
    std::jthread m_thread;
};

}  // namespace orv::sim
