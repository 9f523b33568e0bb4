// orvtool: session files, calibration files, settings and instrument exchanges from the
// command line. Output goes to stdout as JSON or CSV, errors to stderr with a non-zero status.

#include "Command.h"

int main(int argc, char** argv)
{
    return orv::cmdline::Run("orvtool", "Field controller tools for the ORV sounding instrument.",
                             argc, argv);
}
