#include "app/Program.h"

#include "base/PortNamer.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "config/ProgramPaths.h"
#include "platform/PosixSystemClock.h"
#include "platform/PowerStatusLinux.h"
#include "platform/QtBluetoothRadio.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "platform/SleepInhibitor.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "session/ProgramCore.h"
#include "sim/GpsSimulator.h"
#include "sim/InstrumentSimulator.h"
#include "ui/QtFileChooser.h"
#include "ui/QtPrompt.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

namespace orv {

namespace {

// The instrument and a walking GPS receiver on pseudo-terminals, linked where the configured
// port numbers point, for trying the program without hardware.
class Simulators
{
public:
    bool Start(const Configuration& config, std::string& error)
    {
        if (!m_folder.isValid()) {
            error = "no folder for the simulated ports";
            return false;
        }
        const std::string pattern = m_folder.path().toStdString() + "/port%u";
        ::setenv("ORVCONTROL_PORT_PATTERN", pattern.c_str(), 1);
        sim::InstrumentOptions instrument;
        instrument.linkPath = DevicePathForPort(static_cast<unsigned>(config.BluetoothInboundPort));
        m_instrument = std::make_unique<sim::InstrumentSimulator>(instrument);
        if (!m_instrument->Start(error)) {
            return false;
        }
        sim::GpsSimulatorOptions gps;
        gps.port = static_cast<unsigned>(config.BluetoothOutboundPort);
        gps.baud = config.GpsBaudRate();
        m_gps = std::make_unique<sim::GpsSimulator>();
        return m_gps->Start(gps, error);
    }

    sim::InstrumentSimulator* Instrument() { return m_instrument.get(); }
    sim::GpsSimulator* Gps() { return m_gps.get(); }

private:
    QTemporaryDir m_folder;
    std::unique_ptr<sim::InstrumentSimulator> m_instrument;
    std::unique_ptr<sim::GpsSimulator> m_gps;
};

}  // namespace

// In the order of construction; destroyed in reverse, the simulators last.
struct Program::Parts
{
    Simulators simulators;
    QtSettingsStore store{SettingsFilePath(),
                          std::string(ResourceString(string_id::kRegistrySection))};
    QtPrompt prompt;
    QtSerialPort instrumentPort;
    QtSerialPort gpsPort;
    PosixSystemClock systemClock;
    QtBluetoothRadio radio;
    ProgramCore core{PlatformParts{store,
                                   DefaultCalibrationPath(),
                                   prompt,
                                   instrumentPort,
                                   gpsPort,
                                   SteadyTickClock(),
                                   systemClock,
                                   &radio,
                                   {}}};
    PowerStatusLinux power;
    SleepInhibitor awake;
    QtFileChooser files{QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)};
};

Program::Program() : m_parts(std::make_unique<Parts>()) {}

Program::~Program() = default;

bool Program::StartSimulators(std::string& error)
{
    return m_parts->simulators.Start(m_parts->core.Config(), error);
}

bool Program::DropInstrument(int seconds)
{
    sim::InstrumentSimulator* instrument = m_parts->simulators.Instrument();
    if (instrument == nullptr) {
        return false;
    }
    instrument->DropFor(uint32_t(seconds) * 1000u);
    return true;
}

bool Program::StallGps(int seconds)
{
    sim::GpsSimulator* gps = m_parts->simulators.Gps();
    if (gps == nullptr) {
        return false;
    }
    gps->Stall(double(seconds));
    return true;
}

bool Program::DropGps(int seconds)
{
    sim::GpsSimulator* gps = m_parts->simulators.Gps();
    if (gps == nullptr) {
        return false;
    }
    gps->Disappear(double(seconds));
    return true;
}

ProgramCore& Program::Core() { return m_parts->core; }

Prompt& Program::ProgramPrompt() { return m_parts->prompt; }

SheetEnvironment Program::SheetParts()
{
    SheetEnvironment environment;
    environment.core = &m_parts->core;
    environment.files = &m_parts->files;
    environment.power = &m_parts->power;
    environment.dataDirectory = DataDirectory();
    environment.stayAwake = [this](bool hold) {
        if (hold) {
            m_parts->awake.Hold(
                QStringLiteral("A survey is open: the instrument and the GPS "
                               "receiver are connected over Bluetooth"));
        } else {
            m_parts->awake.Release();
        }
    };
    return environment;
}

}  // namespace orv
