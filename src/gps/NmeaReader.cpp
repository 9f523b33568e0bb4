#include "gps/NmeaReader.h"

#include "base/Prompt.h"
#include "base/SerialPort.h"
#include "base/SystemClock.h"
#include "base/TickClock.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaStream.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <string>
#include <vector>

namespace orv {

NmeaReader::NmeaReader(NmeaParser& parser, GpsMatcher& matcher, SystemClock& systemClock,
                       TickClock& tickClock, Prompt& prompt)
    : NmeaReader(parser, matcher, systemClock, tickClock, prompt, Options{})
{}

NmeaReader::NmeaReader(NmeaParser& parser, GpsMatcher& matcher, SystemClock& systemClock,
                       TickClock& tickClock, Prompt& prompt, Options options)
    : m_parser(parser),
      m_matcher(matcher),
      m_systemClock(systemClock),
      m_tickClock(tickClock),
      m_prompt(prompt),
      m_options(options)
{
    if (m_options.readSize == 0) {
        m_options.readSize = 1;
    }
    m_options.stopLatency = std::max(m_options.stopLatency, std::chrono::milliseconds(1));
}

NmeaReader::~NmeaReader()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

bool NmeaReader::StartReader(SerialPort& port, const GpsPortSettings& settings)
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
    UpdateState([&settings](GpsLinkState& s) {
        s = GpsLinkState{};
        s.kind = GpsLinkState::Kind::Opening;
        s.port = settings.path;
    });
    m_running = true;
    try {
        m_thread = std::jthread(
            [this, &port, settings](std::stop_token stop) { Run(stop, port, settings); });
    } catch (const std::exception&) {
        m_running = false;
        UpdateState([](GpsLinkState& s) { s.kind = GpsLinkState::Kind::Off; });
        return false;
    }
    return true;
}

void NmeaReader::StopReader(bool wait)
{
    if (!m_thread.joinable()) {
        return;
    }
    m_thread.request_stop();
    if (wait) {
        m_thread.join();
    }
}

GpsLinkState NmeaReader::LinkState() const
{
    std::scoped_lock lock(m_stateMutex);
    return m_state;
}

template <typename Change>
void NmeaReader::UpdateState(Change change)
{
    std::scoped_lock lock(m_stateMutex);
    change(m_state);
}

void NmeaReader::NoteOutage(GpsLinkState::Kind kind, const std::string& reason, bool& outage)
{
    const bool begins = !outage;
    outage = true;
    UpdateState([&](GpsLinkState& s) {
        s.kind = kind;
        s.reason = reason;
        if (begins) {
            ++s.outages;
        }
    });
    if (begins) {
        m_prompt.Tell(reason.empty() ? kReadFailedText : reason, kErrorCaption, Icon::Error);
    }
}

bool NmeaReader::OpenPort(SerialPort& port, const GpsPortSettings& settings, bool& outage)
{
    if (!port.Open(settings.path, settings.baud)) {
        std::string reason = port.ErrorText();
        if (reason.empty()) {
            reason = "cannot open the GPS port " + settings.path;
        }
        const bool wasOpen = LinkState().opens > 0;
        NoteOutage(wasOpen ? GpsLinkState::Kind::Lost : GpsLinkState::Kind::NoPort, reason, outage);
        return false;
    }
    // What the receiver sent while nobody read is old: a fix read now would be stamped with
    // the time of reading, not of its position.
    port.Purge();
    m_parser.DropPartialSentence();
    UpdateState([](GpsLinkState& s) {
        s.kind = GpsLinkState::Kind::Open;
        ++s.opens;
    });
    return true;
}

bool NmeaReader::WaitToRetry(const std::stop_token& stop)
{
    std::mutex mutex;
    std::condition_variable_any wake;
    const auto until = std::chrono::steady_clock::now() + m_options.retryInterval;
    std::unique_lock lock(mutex);
    while (!stop.stop_requested()) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return true;
        }
        const auto slice =
            std::min<std::chrono::steady_clock::duration>(left, m_options.stopLatency);
        // Wakes at once on a stop request.
        wake.wait_for(lock, stop, slice, [] { return false; });
        m_matcher.Expire(m_tickClock.Now());
    }
    return false;
}

void NmeaReader::Run(const std::stop_token& stop, SerialPort& port, const GpsPortSettings& settings)
{
    NmeaStream stream;
    std::vector<uint8_t> buffer(m_options.readSize);
    const auto wait = std::min(m_options.readTimeout, m_options.stopLatency);
    // An outage runs from the first failure to the first bytes read after it; the operator
    // hears of it once.
    bool outage = false;
    while (!stop.stop_requested()) {
        m_matcher.Expire(m_tickClock.Now());
        if (!port.IsOpen() && !OpenPort(port, settings, outage)) {
            if (!WaitToRetry(stop)) {
                break;
            }
            continue;
        }
        size_t received = 0;
        if (!port.Read(buffer, wait, received)) {
            if (stop.stop_requested()) {
                break;
            }
            const std::string reason = port.ErrorText();
            port.Close();
            NoteOutage(GpsLinkState::Kind::Lost, reason, outage);
            if (!WaitToRetry(stop)) {
                break;
            }
            continue;
        }
        if (received == 0) {
            continue;
        }
        outage = false;
        const NmeaStream::Step step = stream.Process(
            m_parser, std::span<const uint8_t>(buffer.data(), received), m_tickClock.Now());
        if (step.clockTime) {
            // A refusal is normal for a user without the right; the run goes on.
            (void)m_systemClock.Set(*step.clockTime);
        }
        const GpsStatus& status = stream.Status();
        UpdateState([&](GpsLinkState& s) {
            s.kind = GpsLinkState::Kind::Open;
            s.reason.clear();
            s.fixQuality = status.fixQuality;
            s.satellites = status.satellitesUsed;
            s.hdop = status.ggaHdop;
            if (step.fix) {
                s.haveFix = true;
                s.lastFixTick = step.fix->tickStamp;
            }
        });
        if (step.fix) {
            m_matcher.AddFix(*step.fix);
        }
    }
    port.Close();
    UpdateState([](GpsLinkState& s) {
        s.kind = GpsLinkState::Kind::Off;
        s.reason.clear();
    });
    m_running = false;
}

}  // namespace orv
