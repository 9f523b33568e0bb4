#pragma once
// Start-up and shutdown of orvcontrol.
//
// Start-up: the application's names ("Quarn", "OrvControl") select where the settings live; the
// settings store, the prompt, the ports, the clocks, the GPS reader and the radio are made and
// installed for the configuration and the InstrumentDevice; then the main sheet is constructed
// (it creates the InstrumentDevice and shows the setup pages; the configuration is created and
// loaded on first use) and shown, an orphaned measurement journal is offered for recovery, and
// the event loop runs until the sheet's Close. Destroying the sheet is the shutdown
// (COrvControlSheet.h). Everything the sheet borrows outlives it.

namespace orv {

// The program: parses the command line, runs the window, returns the exit status.
int RunOrvControl(int argc, char** argv);

}  // namespace orv
