// orvsim instrument: an ORV instrument on a pseudo-terminal, linked where the port pattern says
// port N lives, until interrupted.

#include "SimCommand.h"
#include "base/PortNamer.h"
#include "sim/InstrumentSimulator.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace orv::sim {

// Named rather than anonymous: the commands are compiled together in batches.
namespace instrument_command {

constexpr const char* kName = "instrument";

constexpr const char* kAbout =
    "Plays an ORV instrument on a pseudo-terminal linked at the path of port N\n"
    "(ORVCONTROL_PORT_PATTERN, default /dev/rfcomm%u), until interrupted.\n"
    "It walks a grid of profiles in a snake, one station per measurement.\n";

constexpr const char* kFaults =
    "Faults (each hits every reply unless --fault-replies or --fault-every says otherwise)";

std::atomic<bool> g_interrupted{false};

extern "C" void OnSignal(int) { g_interrupted = true; }

using cmdline::BadValue;
using cmdline::ParseReal;
using cmdline::ParseWhole;
using cmdline::SplitPair;
using cmdline::Whole;

struct Settings
{
    InstrumentOptions options;
    int port = 0;
    int serial = 9;  // the instrument's uint8_t would read as a character
};

int Run(const Settings& settings)
{
    InstrumentOptions options = settings.options;
    options.serial = uint8_t(settings.serial);
    options.linkPath = DevicePathForPort(unsigned(settings.port));

    InstrumentSimulator simulator(options);
    std::string error;
    if (!simulator.Start(error)) {
        return Fail(kName, error);
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::fprintf(stderr, "orvsim instrument: serial %u on %s (%s), %s; Ctrl+C ends\n",
                 unsigned(options.serial), options.linkPath.c_str(),
                 HandheldPortName(unsigned(settings.port)).c_str(),
                 options.ground.Describe().c_str());
    while (!g_interrupted) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    simulator.Stop();
    std::fprintf(stderr, "orvsim instrument: %d commands received, link removed\n",
                 simulator.Commands());
    return 0;
}

std::function<int()> Define(CLI::App& command)
{
    auto settings = std::make_shared<Settings>();
    InstrumentOptions& options = settings->options;
    InstrumentFaults& faults = options.faults;
    command.footer(kAbout);
    command.add_option("--port", settings->port, "port number")
        ->type_name("N")
        ->required()
        ->transform(Whole(0, 65535));
    command
        .add_option("--serial", settings->serial,
                    "instrument serial number, 1..255 (default 9, the built-in\n"
                    "calibration's instrument)")
        ->type_name("S")
        ->transform(Whole(1, 255));
    command
        .add_option("--battery", options.batteryCentivolts,
                    "battery voltage in hundredths of a volt (default 1250)")
        ->type_name("CV")
        ->transform(Whole(0, 65535));
    command
        .add_option_function<std::string>(
            "--ground",
            [&options](const std::string& value) {
                std::string error;
                if (!GroundModel::Parse(value, options.ground, error)) {
                    throw CLI::ValidationError("--ground", error);
                }
            },
            "halfspace:SIGMA | layers:TOP,BOTTOM,THICKNESS |\n"
            "body:BACKGROUND,BODY,X,Y,DEPTH,RADIUS (mS/m and metres;\n"
            "default halfspace:20)")
        ->type_name("MODEL");
    command
        .add_option_function<std::string>(
            "--grid",
            [&options](const std::string& value) {
                const auto [stations, profiles] = SplitPair(value, "x");
                long long x = 0;
                long long y = 0;
                if (!profiles || !ParseWhole(stations, 1, 100000, x) ||
                    !ParseWhole(*profiles, 1, 100000, y)) {
                    BadValue("--grid", value, "STATIONSxPROFILES (1 to 100000 each)");
                }
                options.stations = int(x);
                options.profiles = int(y);
            },
            "stations per profile and profiles walked (default 20x10)")
        ->type_name("NxM");
    command
        .add_option_function<std::string>(
            "--step",
            [&options](const std::string& value) {
                const auto [dx, dy] = SplitPair(value, ",");
                double x = 0.0;
                double y = 0.0;
                if (!ParseReal(dx, 0.0, 1e6, x) || x == 0.0 ||
                    (dy && (!ParseReal(*dy, 0.0, 1e6, y) || y == 0.0))) {
                    BadValue("--step", value, "DX[,DY] in metres (above 0, up to 1000000)");
                }
                options.xStep = x;
                options.yStep = dy ? y : x;
            },
            "station and profile spacing in metres (default 1)")
        ->type_name("DX[,DY]");
    command.add_flag("--verbose", options.verbose, "one line per command on stderr");

    command.add_option("--delay", faults.replyDelayMs, "answer MS milliseconds late")
        ->type_name("MS")
        ->group(kFaults)
        ->transform(Whole(0, 3600000));
    command
        .add_option_function<std::string>(
            "--split",
            [&faults](const std::string& value) {
                const auto [pieces, pause] = SplitPair(value, ",");
                long long k = 0;
                long long ms = 200;
                if (!ParseWhole(pieces, 1, 176, k) ||
                    (pause && !ParseWhole(*pause, 0, 3600000, ms))) {
                    BadValue("--split", value, "K[,MS] (K 1 to 176, MS 0 to 3600000)");
                }
                faults.pieces = int(k);
                faults.piecePauseMs = uint32_t(ms);
            },
            "send each reply in K pieces, MS ms apart (default 200)")
        ->type_name("K[,MS]")
        ->group(kFaults);
    command.add_option("--drop", faults.dropBytes, "leave N bytes out of each reply")
        ->type_name("N")
        ->group(kFaults)
        ->transform(Whole(0, 176));
    command
        .add_option("--corrupt", faults.corruptBytes, "garble the first byte of N frequency blocks")
        ->type_name("N")
        ->group(kFaults)
        ->transform(Whole(0, 14));
    command.add_flag("--empty-mask", faults.emptyMask, "report no frequency")->group(kFaults);
    command
        .add_option_function<std::string>(
            "--switch-serial",
            [&options](const std::string& value) {
                const auto [serial, after] = SplitPair(value, "@");
                long long s = 0;
                long long k = 0;
                if (!ParseWhole(serial, 1, 255, s) ||
                    (after && !ParseWhole(*after, 0, 1000000, k))) {
                    BadValue("--switch-serial", value, "S[@K] (S 1 to 255, K 0 to 1000000)");
                }
                options.switchSerialTo = uint8_t(s);
                options.switchSerialAfter = int(k);
            },
            "report serial S from measurement K+1 on (default K 0)")
        ->type_name("S[@K]")
        ->group(kFaults);
    command
        .add_option("--close-after", faults.closeAfterBytes,
                    "close the port after N bytes of a reply; it comes back at once")
        ->type_name("N")
        ->group(kFaults)
        ->transform(Whole(0, 176));
    command.add_flag("--never-answer", faults.neverAnswer, "read commands and never reply")
        ->group(kFaults);
    command.add_option("--fault-replies", faults.replies, "the faults hit only the next K replies")
        ->type_name("K")
        ->group(kFaults)
        ->transform(Whole(0, 1000000));
    command
        .add_option("--fault-every", faults.every,
                    "only one measurement reply in N is spoiled, by one of the faults\n"
                    "given at a time, in turn (a long run with faults now and then)")
        ->type_name("N")
        ->group(kFaults)
        ->transform(Whole(1, 1000000));
    return [settings] { return Run(*settings); };
}

const bool kRegistered =
    RegisterCommand({kName, "play an ORV instrument on a pseudo-terminal", &Define});

}  // namespace instrument_command

}  // namespace orv::sim
