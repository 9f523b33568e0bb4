#include "app/Application.h"

#include "sim/GpsSimulator.h"
#include "sim/InstrumentSimulator.h"
#include "app/COrvControlSheet.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "config/ProgramPaths.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"
#include "gps/ProgramGps.h"
#include "instrument/InstrumentDevice.h"
#include "base/PortNamer.h"
#include "instrument/ProgramPorts.h"
#include "platform/PosixSystemClock.h"
#include "platform/PowerStatusLinux.h"
#include "platform/QtBluetoothRadio.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "ui/QtFileChooser.h"
#include "ui/QtPrompt.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#ifndef ORV_VERSION
#define ORV_VERSION "0"
#endif

namespace orv {

namespace {

QString Text(int id) { return QString::fromUtf8(ResourceString(id)); }

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

private:
    QTemporaryDir m_folder;
    std::unique_ptr<sim::InstrumentSimulator> m_instrument;
    std::unique_ptr<sim::GpsSimulator> m_gps;
};

void SetNames()
{
    // The organisation and application names select the settings' place.
    QCoreApplication::setOrganizationName(Text(string_id::kRegistryKey));
    QCoreApplication::setApplicationName(Text(string_id::kProfileName));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORV_VERSION));
}

struct CommandLine
{
    QCommandLineParser parser;
    QCommandLineOption simulate{
        QStringLiteral("simulate"),
        QStringLiteral("Start an instrument simulator and a walking GPS receiver on "
                       "pseudo-terminals at the configured port numbers, and use them.")};

    CommandLine()
    {
        parser.setApplicationDescription(
            QStringLiteral("Field controller of the ORV frequency-domain electromagnetic "
                           "sounding instrument.\n\nSettings: %1\nCalibrations: %2\n"
                           "Unsaved measurements: %3\nPorts: %4 (ORVCONTROL_PORT_PATTERN)")
                .arg(QString::fromStdString(SettingsFilePath()),
                     QString::fromStdString(DefaultCalibrationPath()),
                     QString::fromStdString(DataDirectory()),
                     QString::fromStdString(PortPattern())));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(simulate);
    }
};

std::atomic<bool> g_stopRequested{false};

void RequestStop(int) { g_stopRequested = true; }

bool AsksForHelp(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help" || a == "--help-all" || a == "-?" || a == "-v" ||
            a == "--version") {
            return true;
        }
    }
    return false;
}

}  // namespace

int RunOrvControl(int argc, char** argv)
{
    if (AsksForHelp(argc, argv)) {
        // Help needs no screen.
        QCoreApplication core(argc, argv);
        SetNames();
        CommandLine help;
        help.parser.process(core);
        return 0;
    }
    QApplication app(argc, argv);
    SetNames();
    QApplication::setApplicationDisplayName(Text(string_id::kAppTitle));
    CommandLine commandLine;
    commandLine.parser.process(app);
    const bool simulate = commandLine.parser.isSet(commandLine.simulate);

    QtSettingsStore store(SettingsFilePath(),
                          std::string(ResourceString(string_id::kRegistrySection)));
    QtPrompt prompt;
    InstallConfigurationEnvironment(store, DefaultCalibrationPath(), prompt);

    Simulators simulators;
    if (simulate) {
        std::string error;
        if (!simulators.Start(GetConfiguration(), error)) {
            std::fprintf(stderr, "orvcontrol: the simulators did not start: %s\n", error.c_str());
            return 1;
        }
    }

    QtSerialPort instrumentPort;
    QtSerialPort gpsPort;
    InstallProgramPorts(instrumentPort, gpsPort);
    TickClock& tickClock = SteadyTickClock();
    PosixSystemClock systemClock;
    NmeaParser& nmeaParser = ProgramNmeaParser();
    GpsMatcher& gpsMatcher = ProgramGpsMatcher();
    NmeaReader nmeaReader(nmeaParser, gpsMatcher, systemClock, tickClock, prompt);
    QtBluetoothRadio radio;
    InstrumentEnvironment instrument;
    instrument.clock = &tickClock;
    instrument.prompt = &prompt;
    instrument.radio = &radio;
    instrument.gpsReader = &nmeaReader;
    InstallInstrumentEnvironment(instrument);

    QtFileChooser files(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    SheetEnvironment environment;
    environment.prompt = &prompt;
    environment.files = &files;
    environment.nmeaParser = &nmeaParser;
    environment.gpsMatcher = &gpsMatcher;
    environment.dataDirectory = DataDirectory();
    PowerStatusLinux power;
    environment.power = &power;

    int status = 0;
    {
        COrvControlSheet sheet(environment);
        QObject::connect(&sheet, &COrvControlSheet::RunFinished, &app, &QApplication::quit);
        sheet.show();
        // A session that ends (SIGTERM at power-off, Ctrl+C in a terminal) shuts down in order:
        // the settings are saved and unsaved measurements stay in their journal for the next
        // start.
        std::signal(SIGTERM, RequestStop);
        std::signal(SIGINT, RequestStop);
        QTimer stopWatch;
        QObject::connect(&stopWatch, &QTimer::timeout, &app, [] {
            if (g_stopRequested) {
                QApplication::quit();
            }
        });
        stopWatch.start(200);
        QTimer::singleShot(0, &sheet, [&sheet, &prompt] {
            // A calibration file that could not be read is never overwritten; say so once.
            const std::string& loadError = GetConfiguration().Calibrations().LoadError();
            if (!loadError.empty()) {
                prompt.Tell(loadError, std::string(ResourceString(string_id::kAppTitle)),
                            Icon::Warning);
            }
            sheet.OfferRecovery();
        });
        status = QApplication::exec();
    }
    return status;
}

}  // namespace orv
