#pragma once
// The composition root of the window: every object the program runs on, made in one visible
// order and handed down by reference.
//
//   the settings store ("Quarn"/"OrvControl", or ORVCONTROL_SETTINGS), the prompt, the two
//   serial ports, the clocks, the Bluetooth radio
//   → ProgramCore: the configuration (which reads the settings and "OrvCalibration.ini"), the
//     NMEA parser, the GPS matcher, the NMEA reader, the InstrumentDevice
//   → the handheld's battery, the file dialogs, and with --simulate the simulators
//
// The main sheet borrows them; its destruction runs the shutdown of the core (the link, then
// the settings, then the calibration file), and the Program goes after it.
//
//     QApplication app(argc, argv);
//     Program program;
//     if (simulate && !program.StartSimulators(error)) { ... }
//     COrvControlSheet sheet(program.SheetParts());

#include "app/COrvControlSheet.h"

#include <memory>
#include <string>

namespace orv {

class FileChooser;
class PowerStatus;
class ProgramCore;
class Prompt;

class Program
{
public:
    // Made after the QApplication, which names where the settings live.
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // An instrument simulator and a walking GPS receiver on pseudo-terminals, linked where the
    // configured port numbers point (ORVCONTROL_PORT_PATTERN is set to a temporary folder).
    [[nodiscard]] bool StartSimulators(std::string& error);
    // The simulators' faults for trying the program as a crew meets them: the instrument goes
    // away for a while (switched off, out of range), the GPS receiver stalls (connected, sends
    // nothing) or goes away. False without simulators.
    bool DropInstrument(int seconds);
    bool StallGps(int seconds);
    bool DropGps(int seconds);

    [[nodiscard]] ProgramCore& Core();
    [[nodiscard]] Prompt& ProgramPrompt();
    // What the main sheet is made with.
    [[nodiscard]] SheetEnvironment SheetParts();

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace orv
