// orvsim gps: a GPS receiver on a pseudo-terminal, replaying a capture or walking.

#include "SimCommand.h"
#include "sim/GpsSimulator.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>

namespace orv::sim {

// Named rather than anonymous: the commands are compiled together in batches.
namespace gps_command {

constexpr const char* kName = "gps";

constexpr const char* kAbout =
    "Plays a GPS receiver on a pseudo-terminal, linked where ORVCONTROL_PORT_PATTERN (default\n"
    "/dev/rfcomm%u) puts port N, or at --link PATH, until the replay ends or Ctrl-C. It either\n"
    "replays a capture (--replay FILE.nmea [--rate HZ | --as-fast-as-possible] [--loop]) or\n"
    "walks (--walk and the walk options).\n";

constexpr const char* kWalk = "Walk options (with --walk)";

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

using cmdline::Real;
using cmdline::Whole;

struct Settings
{
    GpsSimulatorOptions options;
    bool walk = false;
};

int Run(const CLI::App& command, const Settings& settings)
{
    const GpsSimulatorOptions& options = settings.options;
    const bool walk = settings.walk;
    if (command.count("--port") == 0 && options.linkPath.empty()) {
        return Fail(kName, "--port N is required (see --help)");
    }
    if (walk == !options.replayFile.empty()) {
        return Fail(kName, "give either --replay FILE.nmea or --walk (see --help)");
    }

    GpsSimulator gps;
    std::string error;
    if (!gps.Start(options, error)) {
        return Fail(kName, error);
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::fprintf(stderr, "orvsim gps: receiver on %s%s%s; Ctrl-C ends\n",
                 gps.LinkPath().empty() ? "" : (gps.LinkPath() + " -> ").c_str(),
                 gps.SlavePath().c_str(), walk ? " (walking)" : "");
    uint64_t reported = 0;
    auto lastReport = std::chrono::steady_clock::now();
    while (gps.Running() && g_stop == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto now = std::chrono::steady_clock::now();
        if (now - lastReport >= std::chrono::seconds(10) && gps.EpochsSent() != reported) {
            reported = gps.EpochsSent();
            lastReport = now;
            if (walk) {
                std::fprintf(stderr, "orvsim gps: %llu epochs sent\n",
                             static_cast<unsigned long long>(reported));
            } else {
                std::fprintf(stderr, "orvsim gps: %llu epochs sent (capture has %zu)\n",
                             static_cast<unsigned long long>(reported), gps.EpochsInCapture());
            }
        }
    }
    gps.Stop();
    std::fprintf(stderr, "orvsim gps: done, %llu epochs sent, %llu dropped (nobody reading)\n",
                 static_cast<unsigned long long>(gps.EpochsSent()),
                 static_cast<unsigned long long>(gps.EpochsDropped()));
    return 0;
}

std::function<int()> Define(CLI::App& command)
{
    auto settings = std::make_shared<Settings>();
    GpsSimulatorOptions& options = settings->options;
    GpsWalk& walk = options.walk;
    command.footer(kAbout);
    command.add_option("--port", options.port, "port number the link is made for")
        ->type_name("N")
        ->transform(Whole(0, 255));
    command
        .add_option("--replay", options.replayFile,
                    "send a capture at the receiver's own pace (from its fix times);\n"
                    "lines starting with '#' are notes and are not sent")
        ->type_name("FILE.nmea");
    command
        .add_option("--rate", options.rate,
                    "epochs (fixes) per second instead of the capture's pace; for a\n"
                    "walk, its fix rate (default 1)")
        ->type_name("HZ")
        ->check(Real(0.0, 1000.0, true));
    command.add_flag("--as-fast-as-possible", options.asFastAsPossible, "no pauses at all");
    command.add_flag("--loop", options.loop, "start the capture again at its end");
    command.add_flag("--walk", settings->walk, "synthesise a walk (GGA, GSA, GSV, RMC each epoch)");
    command
        .add_option("--baud", options.baud,
                    "line speed the output is paced at (default 9600; 0: none)")
        ->type_name("B")
        ->transform(Whole(0, 4000000));
    command
        .add_option("--link", options.linkPath, "put the link at PATH instead of the port's path")
        ->type_name("PATH");

    command
        .add_option_function<std::string>(
            "--start",
            [&walk](const std::string& value) {
                const auto [latitude, longitude] = cmdline::SplitPair(value, ",");
                double lat = 0.0;
                double lon = 0.0;
                if (!longitude || !cmdline::ParseReal(latitude, -89.9, 89.9, lat) ||
                    !cmdline::ParseReal(*longitude, -180.0, 180.0, lon)) {
                    cmdline::BadValue("--start", value, "LAT,LON in degrees");
                }
                walk.latitude = lat;
                walk.longitude = lon;
            },
            "start position in degrees (default 59.9127,10.7461)")
        ->type_name("LAT,LON")
        ->group(kWalk);
    command.add_option("--speed", walk.speed, "walking speed (default 1.2)")
        ->type_name("M/S")
        ->group(kWalk)
        ->check(Real(0.0, 1000.0));
    command.add_option("--heading", walk.heading, "initial heading from true north (default 0)")
        ->type_name("DEG")
        ->group(kWalk)
        ->check(Real(-360.0, 360.0));
    command
        .add_option("--turn-every", walk.turnEvery,
                    "seconds between turns (default 0: straight on)")
        ->type_name("S")
        ->group(kWalk)
        ->check(Real(0.0, std::numeric_limits<double>::max()));
    command.add_option("--turn", walk.turnBy, "degrees added at each turn (default 90)")
        ->type_name("DEG")
        ->group(kWalk)
        ->check(Real(-360.0, 360.0));
    command.add_option("--quality", walk.quality, "GGA fix quality; 0 sends no fix (default 1)")
        ->type_name("Q")
        ->group(kWalk)
        ->transform(Whole(0, 8));
    command.add_option("--satellites", walk.satellites, "satellites used, 4..12 (default 8)")
        ->type_name("N")
        ->group(kWalk)
        ->transform(Whole(4, 12));
    command.add_option("--hdop", walk.hdop, "(default 0.9)")
        ->type_name("X")
        ->group(kWalk)
        ->check(Real(0.0, 99.0));
    command.add_option("--altitude", walk.altitude, "(default 120)")
        ->type_name("M")
        ->group(kWalk)
        ->check(Real(-100000.0, 100000.0));
    command.add_option("--talker", walk.talker, "talker of GGA, GSA and RMC (default GP)")
        ->type_name("GP|GN")
        ->group(kWalk)
        ->check(CLI::IsMember({"GP", "GN"}).description(""));
    command.add_option("--epochs", options.epochs, "stop after N epochs (default: until Ctrl-C)")
        ->type_name("N")
        ->group(kWalk)
        ->transform(Whole(0, std::numeric_limits<long long>::max()));
    return [settings, &command] { return Run(command, *settings); };
}

const bool kRegistered =
    RegisterCommand({kName, "a GPS receiver: replay a capture or walk", &Define});

}  // namespace gps_command

}  // namespace orv::sim
