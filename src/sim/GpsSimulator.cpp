#include "sim/GpsSimulator.h"

#include "base/PortNamer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <fstream>
#include <iterator>

namespace orv::sim {

namespace {

using Clock = std::chrono::steady_clock;

Clock::duration Seconds(double seconds)
{
    const double s = std::isfinite(seconds) ? std::clamp(seconds, 0.0, 1e6) : 0.0;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

UtcTime UtcNow()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return FromUnixMilliseconds(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace

GpsSimulator::~GpsSimulator() { Stop(); }

bool GpsSimulator::Start(const GpsSimulatorOptions& options, std::string& error)
{
    Stop();
    m_options = options;
    m_capture.clear();
    if (!options.replayFile.empty()) {
        std::ifstream in(options.replayFile, std::ios::binary);
        if (!in) {
            error = "cannot open the capture '" + options.replayFile + "'";
            return false;
        }
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        m_capture = SplitIntoEpochs(bytes);
        if (m_capture.empty()) {
            error = "the capture '" + options.replayFile + "' holds no receiver output";
            return false;
        }
    }
    if (!(options.rate >= 0.0) || options.rate > 1000.0) {
        error = "the rate must be between 0 and 1000 epochs per second";
        return false;
    }
    if (!m_pty.Open(error)) {
        return false;
    }
    const std::string link =
        options.linkPath.empty() ? DevicePathForPort(options.port) : options.linkPath;
    if (link != "-" && !m_pty.LinkAt(link, error)) {
        m_pty.Close();
        return false;
    }
    {
        std::scoped_lock lock(m_waitMutex);
        m_slavePath = m_pty.SlavePath();
        m_stallUntil = Clock::now() + Seconds(options.silentFor);
        m_stallVoid = false;
        m_goneUntil = {};
        m_faultChanged = false;
    }
    m_linkPath = link == "-" ? std::string() : m_pty.LinkPath();
    m_away = false;
    m_gone = false;
    m_returns = 0;
    m_epochsSent = 0;
    m_epochsDropped = 0;
    m_running = true;
    try {
        m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
    } catch (const std::exception&) {
        m_running = false;
        m_pty.Close();
        error = "cannot start the simulator thread";
        return false;
    }
    return true;
}

void GpsSimulator::Stop()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_wait.notify_all();
        m_thread.join();
    }
    m_running = false;
    m_pty.Close();
}

std::string GpsSimulator::SlavePath() const
{
    std::scoped_lock lock(m_waitMutex);
    return m_slavePath;
}

void GpsSimulator::Stall(double seconds, bool voidFixes)
{
    std::scoped_lock lock(m_waitMutex);
    m_stallUntil = Clock::now() + Seconds(seconds);
    m_stallVoid = voidFixes;
}

void GpsSimulator::Disappear(double seconds)
{
    {
        std::scoped_lock lock(m_waitMutex);
        m_goneUntil = Clock::now() + Seconds(seconds);
        m_faultChanged = true;
        m_gone = true;
    }
    m_wait.notify_all();
}

bool GpsSimulator::Stalled() const
{
    std::scoped_lock lock(m_waitMutex);
    return Clock::now() < m_stallUntil;
}

bool GpsSimulator::Gone() const { return m_gone; }

bool GpsSimulator::ApplyPresence()
{
    bool away = false;
    {
        std::scoped_lock lock(m_waitMutex);
        away = Clock::now() < m_goneUntil;
    }
    if (away && !m_away) {
        // The client's reads see the hang-up; the link goes, so an open finds no port.
        m_pty.Close();
        m_away = true;
        return true;
    }
    if (!away && m_away) {
        std::string error;
        if (!m_pty.Open(error) || (!m_linkPath.empty() && !m_pty.LinkAt(m_linkPath, error))) {
            m_pty.Close();
            return false;
        }
        {
            std::scoped_lock lock(m_waitMutex);
            m_slavePath = m_pty.SlavePath();
        }
        m_away = false;
        ++m_returns;
    }
    if (!away) {
        m_gone = false;
    }
    return true;
}

GpsSimulator::Output GpsSimulator::CurrentOutput() const
{
    std::scoped_lock lock(m_waitMutex);
    const auto now = Clock::now();
    if (m_away || now < m_goneUntil) {
        return Output::Nothing;
    }
    if (now < m_stallUntil) {
        return m_stallVoid ? Output::NoFix : Output::Nothing;
    }
    return Output::Normal;
}

std::string GpsSimulator::LinkPath() const { return m_linkPath; }

bool GpsSimulator::WaitUntil(const std::stop_token& stop, Clock::time_point deadline)
{
    for (;;) {
        {
            std::unique_lock lock(m_waitMutex);
            // A disappearance ends on time, not at the next epoch.
            const auto until = m_away ? std::min(deadline, m_goneUntil) : deadline;
            m_wait.wait_until(lock, stop, until, [this] { return m_faultChanged; });
            if (stop.stop_requested()) {
                return false;
            }
            m_faultChanged = false;
        }
        if (!ApplyPresence()) {
            return false;
        }
        if (Clock::now() >= deadline) {
            return true;
        }
    }
}

bool GpsSimulator::Send(const std::stop_token& stop, std::span<const uint8_t> bytes)
{
    if (m_options.asFastAsPossible || m_options.baud == 0) {
        if (!m_pty.Write(bytes, std::chrono::milliseconds(200))) {
            ++m_epochsDropped;
        }
        return m_pty.IsOpen() || m_away;
    }
    // Ten bits a byte on the line; written in slices of about 20 ms.
    const double bytesPerSecond = m_options.baud / 10.0;
    const size_t slice = std::max<size_t>(1, size_t(bytesPerSecond / 50.0));
    auto next = Clock::now();
    for (size_t done = 0; done < bytes.size(); done += slice) {
        const size_t n = std::min(slice, bytes.size() - done);
        if (!m_pty.Write(bytes.subspan(done, n), std::chrono::milliseconds(200))) {
            ++m_epochsDropped;
            break;
        }
        next += std::chrono::microseconds(int64_t(double(n) * 1e6 / bytesPerSecond));
        if (!WaitUntil(stop, next)) {
            break;
        }
    }
    return m_pty.IsOpen() || m_away;
}

void GpsSimulator::Run(const std::stop_token& stop)
{
    const bool replay = !m_capture.empty();
    const double rate = m_options.rate > 0.0 ? m_options.rate : 0.0;
    WalkModel walk(m_options.walk);
    // The walk's clock starts at the real UTC time and moves by the epoch period, so sentence
    // times, dates and positions agree even when sent as fast as possible.
    int64_t walkTime = ToUnixMilliseconds(UtcNow());
    const double walkPeriod = 1.0 / (rate > 0.0 ? rate : 1.0);
    size_t index = 0;
    auto epochStart = Clock::now();
    while (!stop.stop_requested()) {
        if (!ApplyPresence()) {
            break;
        }
        const Output output = CurrentOutput();
        int64_t delayMs = 0;
        if (replay) {
            // A capture has no void version of its epochs: a stall without fixes sends nothing.
            // It waits where it is meanwhile, so every epoch is sent once.
            if (output != Output::Normal) {
                if (!WaitUntil(stop, Clock::now() + std::chrono::milliseconds(20))) {
                    break;
                }
                epochStart = Clock::now();
                continue;
            }
            if (!Send(stop, m_capture[index].bytes)) {
                break;
            }
            ++m_epochsSent;
            const size_t next = index + 1 < m_capture.size() ? index + 1 : 0;
            delayMs = rate > 0.0 ? int64_t(std::lround(1000.0 / rate))
                                 : EpochDelay(m_capture[index], m_capture[next]);
            if (next == 0 && !m_options.loop) {
                break;
            }
            index = next;
        } else {
            std::vector<uint8_t> bytes;
            const bool lostFix = output == Output::NoFix;
            for (const std::string& s : walk.Epoch(FromUnixMilliseconds(walkTime), lostFix)) {
                bytes.insert(bytes.end(), s.begin(), s.end());
            }
            if (output != Output::Nothing) {
                if (!Send(stop, bytes)) {
                    break;
                }
                ++m_epochsSent;
            }
            if (m_options.epochs != 0 && m_epochsSent >= m_options.epochs) {
                break;
            }
            walk.Advance(walkPeriod);
            walkTime += int64_t(std::llround(walkPeriod * 1000.0));
            delayMs = int64_t(std::llround(walkPeriod * 1000.0));
        }
        if (m_options.asFastAsPossible) {
            continue;
        }
        epochStart += std::chrono::milliseconds(delayMs);
        // Behind (a slow line, a client that stalled): start the next epoch now, no catching up.
        epochStart = std::max(epochStart, Clock::now());
        if (!WaitUntil(stop, epochStart)) {
            break;
        }
    }
    m_running = false;
}

}  // namespace orv::sim
