#include "app/Application.h"

#include "app/COrvControlSheet.h"
#include "app/Program.h"
#include "base/PortNamer.h"
#include "base/Prompt.h"
#include "config/Configuration.h"
#include "config/ProgramPaths.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "session/ProgramCore.h"
#include "ui/ResourceText.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
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

constexpr int kSimulatedFaultSeconds = 10;

// The Simulator menu of --simulate: the faults a crew meets, on command.
void AddSimulatorMenu(COrvControlSheet& sheet, Program& program)
{
    QMenu* menu = sheet.menuBar()->addMenu(ResourceText(string_id::kSimulatorMenu));
    menu->setObjectName(QStringLiteral("simulatorMenu"));
    const auto item = [&](int textId, const char* name, auto fault) {
        QAction* action = menu->addAction(ResourceText(textId));
        action->setObjectName(QString::fromLatin1(name));
        QObject::connect(action, &QAction::triggered, &sheet,
                         [&program, fault] { (program.*fault)(kSimulatedFaultSeconds); });
    };
    item(string_id::kSimulatorDropInstrument, "dropInstrument", &Program::DropInstrument);
    item(string_id::kSimulatorStallGps, "stallGps", &Program::StallGps);
    item(string_id::kSimulatorDropGps, "dropGps", &Program::DropGps);
}

void SetNames()
{
    // The organisation and application names select the settings' place.
    QCoreApplication::setOrganizationName(ResourceText(string_id::kRegistryKey));
    QCoreApplication::setApplicationName(ResourceText(string_id::kProfileName));
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
        parser.addPositionalArgument(
            QStringLiteral("FILE.orv"),
            QStringLiteral("A session file to open, as the Open command does (the file manager "
                           "passes the file double-clicked)."),
            QStringLiteral("[FILE.orv]"));
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
    QApplication::setApplicationDisplayName(ResourceText(string_id::kAppTitle));
    CommandLine commandLine;
    commandLine.parser.process(app);
    const bool simulate = commandLine.parser.isSet(commandLine.simulate);
    const QStringList files = commandLine.parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "orvcontrol: one session file at a time (see --help)\n");
        return 2;
    }
    const std::string file = files.isEmpty() ? std::string() : files.front().toStdString();

    Program program;
    if (simulate) {
        std::string error;
        if (!program.StartSimulators(error)) {
            std::fprintf(stderr, "orvcontrol: the simulators did not start: %s\n", error.c_str());
            return 1;
        }
    }
    Prompt& prompt = program.ProgramPrompt();
    Configuration& config = program.Core().Config();

    int status = 0;
    {
        COrvControlSheet sheet(program.SheetParts());
        if (simulate) {
            AddSimulatorMenu(sheet, program);
        }
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
        QTimer::singleShot(0, &sheet, [&sheet, &prompt, &config, &file] {
            // A calibration file that could not be read is never overwritten; say so once.
            const std::string& loadError = config.Calibrations().LoadError();
            if (!loadError.empty()) {
                prompt.Tell(loadError, std::string(ResourceString(string_id::kAppTitle)),
                            Icon::Warning);
            }
            sheet.OfferRecovery();
            if (!file.empty()) {
                sheet.Session().OpenFile(file);
            }
        });
        status = QApplication::exec();
    }
    return status;
}

}  // namespace orv
