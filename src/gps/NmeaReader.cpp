#include "gps/NmeaReader.h"

#include "base/Prompt.h"
#include "base/SystemClock.h"
#include "base/TickClock.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaStream.h"
#include "base/SerialPort.h"

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

bool NmeaReader::StartReader(SerialPort& port, std::atomic<bool>& running)
{
    if (m_thread.joinable()) {
        m_handingOver = true;
        m_thread.request_stop();
        m_thread.join();
        m_handingOver = false;
    }
    try {
        m_thread = std::jthread(
            [this, &port, &running](std::stop_token stop) { Run(stop, port, running); });
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void NmeaReader::Run(const std::stop_token& stop, SerialPort& port, std::atomic<bool>& running)
{
    NmeaStream stream;
    std::vector<uint8_t> buffer(m_options.readSize);
    while (running && !stop.stop_requested() && port.IsOpen()) {
        size_t received = 0;
        if (!port.Read(buffer, m_options.readTimeout, received)) {
            if (running && !stop.stop_requested()) {
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
    if (m_handingOver) {
        // A new connection takes over the port and the flag.
        return;
    }
    running = false;
    port.Close();
}

}  // namespace orv
