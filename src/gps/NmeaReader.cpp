#include "gps/NmeaReader.h"

#include "base/Prompt.h"
#include "base/SystemClock.h"
#include "base/TickClock.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaStream.h"
#include "base/SerialPort.h"

#include <algorithm>
#include <array>
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
}

NmeaReader::~NmeaReader()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

bool NmeaReader::StartReader(SerialPort& port)
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
    m_running = true;
    try {
        m_thread = std::jthread([this, &port](std::stop_token stop) { Run(stop, port); });
    } catch (const std::exception&) {
        m_running = false;
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

void NmeaReader::Run(const std::stop_token& stop, SerialPort& port)
{
    NmeaStream stream;
    std::vector<uint8_t> buffer(m_options.readSize);
    const auto wait = std::min(m_options.readTimeout, m_options.stopLatency);
    while (!stop.stop_requested() && port.IsOpen()) {
        size_t received = 0;
        if (!port.Read(buffer, wait, received)) {
            if (!stop.stop_requested()) {
                const std::string text = port.ErrorText();
                m_prompt.Tell(text.empty() ? kReadFailedText : text, kErrorCaption, Icon::Error);
            }
            break;
        }
        if (received == 0) {
            continue;
        }
        const NmeaStream::Step step = stream.Process(
            m_parser, std::span<const uint8_t>(buffer.data(), received), m_tickClock.Now());
        if (step.clockTime) {
            // A refusal is normal for a user without the right; the run goes on.
            (void)m_systemClock.Set(*step.clockTime);
        }
        if (step.fix) {
            m_matcher.AddFix(*step.fix);
        }
    }
    port.Close();
    m_running = false;
}

}  // namespace orv
