#pragma once
// The program's objects without a screen, made in one visible order and handed down by
// reference: the configuration (which reads the settings and the calibration file), the NMEA
// parser, the GPS matcher, the NMEA reader thread and the InstrumentDevice. The window's
// Program (app/) and orvtool's headless commands each make one over their own platform parts.
//
//     ProgramCore core(parts);          // the configuration is loaded here
//     core.Config() ... core.Device().Connect() ...
//     std::string error;
//     if (!core.Shutdown(error)) { tell(error); }   // the link first, then the settings, then
//                                                   // the calibration file
//
// The platform parts are borrowed; they must outlive the core.

#include "instrument/InstrumentDevice.h"

#include <memory>
#include <string>

namespace orv {

class BluetoothRadio;
class Configuration;
class GpsMatcher;
class NmeaParser;
class NmeaReader;
class Prompt;
class SerialPort;
class SettingsStore;
class SystemClock;
class TickClock;

struct PlatformParts
{
    SettingsStore& settings;
    std::string calibrationPath;
    Prompt& prompt;
    SerialPort& instrumentPort;
    SerialPort& gpsPort;
    TickClock& tickClock;
    SystemClock& systemClock;
    BluetoothRadio* radio = nullptr;  // may be null: no radio is switched
    LinkTimings timings;
};

class ProgramCore
{
public:
    explicit ProgramCore(const PlatformParts& parts);
    // Releases the device (the reader stops, the ports close). The settings are saved only by
    // Shutdown or ReleaseConfiguration: the command-line tools read them and never write.
    ~ProgramCore();
    ProgramCore(const ProgramCore&) = delete;
    ProgramCore& operator=(const ProgramCore&) = delete;

    [[nodiscard]] Configuration& Config() { return *m_config; }
    [[nodiscard]] NmeaParser& Parser() { return *m_parser; }
    [[nodiscard]] GpsMatcher& Matcher() { return *m_matcher; }
    [[nodiscard]] NmeaReader& Reader() { return *m_reader; }
    [[nodiscard]] InstrumentDevice& Device() { return *m_device; }
    [[nodiscard]] Prompt& ProgramPrompt() { return m_parts.prompt; }
    [[nodiscard]] TickClock& Ticks() { return m_parts.tickClock; }

    // The end of the run, in the handheld's order: ReleaseInstrumentDevice, then
    // ReleaseConfiguration. False with the reasons when a file could not be written.
    [[nodiscard]] bool Shutdown(std::string& error);
    // The reader thread stops, then the device goes: its ports close and the radio is put back.
    void ReleaseInstrumentDevice();
    // The settings are saved, then the calibration file when a calibration changed; the
    // configuration stays readable until the core goes.
    [[nodiscard]] bool ReleaseConfiguration(std::string& error);

private:
    PlatformParts m_parts;
    std::unique_ptr<Configuration> m_config;
    std::unique_ptr<NmeaParser> m_parser;
    std::unique_ptr<GpsMatcher> m_matcher;
    std::unique_ptr<NmeaReader> m_reader;
    std::unique_ptr<InstrumentDevice> m_device;
    bool m_configurationReleased = false;
};

}  // namespace orv
