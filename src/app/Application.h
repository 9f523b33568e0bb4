#pragma once
// Start-up and shutdown of orvcontrol.
//
// Start-up: the application's names ("Quarn", "OrvControl") select where the settings live; the
// Program (Program.h) makes every object in one order (the configuration is loaded there);
// with --simulate the simulators start; then the main sheet is constructed (it shows the setup
// pages) and shown, an orphaned measurement journal is offered for recovery, and the event loop
// runs until the sheet's Close. Destroying the sheet is the shutdown (COrvControlSheet.h).
// Everything the sheet borrows outlives it.

namespace orv {

// The program: parses the command line, runs the window, returns the exit status.
int RunOrvControl(int argc, char** argv);

}  // namespace orv
