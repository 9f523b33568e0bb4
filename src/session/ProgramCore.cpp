#include "session/ProgramCore.h"

#include "config/Configuration.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"

namespace orv {

ProgramCore::ProgramCore(const PlatformParts& parts) : m_parts(parts)
{
    m_config =
        std::make_unique<Configuration>(m_parts.settings, m_parts.calibrationPath, m_parts.prompt);
    m_parser = std::make_unique<NmeaParser>(m_parts.tickClock);
    m_matcher = std::make_unique<GpsMatcher>(m_parts.tickClock);
    m_reader = std::make_unique<NmeaReader>(*m_parser, *m_matcher, m_parts.systemClock,
                                            m_parts.tickClock, m_parts.prompt);
    m_device = std::make_unique<InstrumentDevice>(
        *m_config, m_parts.instrumentPort, m_parts.gpsPort, m_parts.tickClock, m_parts.prompt,
        m_parts.radio, m_reader.get(), m_parts.timings);
}

ProgramCore::~ProgramCore() { ReleaseInstrumentDevice(); }

GpsLinkState ProgramCore::GpsState() const { return m_reader->LinkState(); }

void ProgramCore::ReleaseInstrumentDevice()
{
    if (m_reader) {
        m_reader->StopReader(true);
    }
    m_device.reset();
}

bool ProgramCore::ReleaseConfiguration(std::string& error)
{
    if (m_configurationReleased) {
        return true;
    }
    m_configurationReleased = true;
    return m_config->SaveAndClose(error);
}

bool ProgramCore::Shutdown(std::string& error)
{
    ReleaseInstrumentDevice();
    return ReleaseConfiguration(error);
}

}  // namespace orv
