#include "sim/GpsSimulator.h"

#include "base/PortNamer.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <fstream>
#include <iterator>

namespace orv::sim {

namespace {

using Clock = std::chrono::steady_clock;

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
    m_slavePath = m_pty.SlavePath();
    m_linkPath = link == "-" ? std::string() : m_pty.LinkPath();
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

std::string GpsSimulator::SlavePath() const { return m_slavePath; }

std::string GpsSimulator::LinkPath() const { return m_linkPath; }

bool GpsSimulator::WaitUntil(const std::stop_token& stop, Clock::time_point deadline)
{
    std::unique_lock lock(m_waitMutex);
    return !m_wait.wait_until(lock, stop, deadline, [] { return false; }) && !stop.stop_requested();
}

bool GpsSimulator::Send(const std::stop_token& stop, std::span<const uint8_t> bytes)
{
    if (m_options.asFastAsPossible || m_options.baud == 0) {
        if (!m_pty.Write(bytes, std::chrono::milliseconds(200))) {
            ++m_epochsDropped;
        }
        return m_pty.IsOpen();
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
    return m_pty.IsOpen();
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
        int64_t delayMs = 0;
        if (replay) {
            if (!Send(stop, m_capture[index].bytes)) {
                break;
            }
            const size_t next = index + 1 < m_capture.size() ? index + 1 : 0;
            delayMs = rate > 0.0 ? int64_t(std::lround(1000.0 / rate))
                                 : EpochDelay(m_capture[index], m_capture[next]);
            ++m_epochsSent;
            if (next == 0 && !m_options.loop) {
                break;
            }
            index = next;
        } else {
            std::vector<uint8_t> bytes;
            for (const std::string& s : walk.Epoch(FromUnixMilliseconds(walkTime))) {
                bytes.insert(bytes.end(), s.begin(), s.end());
            }
            if (!Send(stop, bytes)) {
                break;
            }
            ++m_epochsSent;
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
