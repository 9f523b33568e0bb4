// orvsim instrument: an ORV instrument on a pseudo-terminal, linked where the port pattern says
// port N lives, until interrupted.

#include "sim/InstrumentSimulator.h"
#include "SimCommand.h"
#include "base/PortNamer.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace orv::sim {

namespace {

constexpr const char* kHelp =
    "Usage: orvsim instrument --port N [OPTIONS]\n"
    "Plays an ORV instrument on a pseudo-terminal linked at the path of port N\n"
    "(ORVCONTROL_PORT_PATTERN, default /dev/rfcomm%u), until interrupted.\n"
    "It walks a grid of profiles in a snake, one station per measurement.\n\n"
    "Options:\n"
    "  --port N               port number (required)\n"
    "  --serial S             instrument serial number, 1..255 (default 9, the built-in\n"
    "                         calibration's instrument)\n"
    "  --battery CV           battery voltage in hundredths of a volt (default 1250)\n"
    "  --ground MODEL         halfspace:SIGMA | layers:TOP,BOTTOM,THICKNESS |\n"
    "                         body:BACKGROUND,BODY,X,Y,DEPTH,RADIUS (mS/m and metres;\n"
    "                         default halfspace:20)\n"
    "  --grid NxM             stations per profile and profiles walked (default 20x10)\n"
    "  --step DX[,DY]         station and profile spacing in metres (default 1)\n"
    "  --verbose              one line per command on stderr\n\n"
    "Faults (each hits every reply unless --fault-replies says how many):\n"
    "  --delay MS             answer MS milliseconds late\n"
    "  --split K[,MS]         send each reply in K pieces, MS ms apart (default 200)\n"
    "  --drop N               leave N bytes out of each reply\n"
    "  --corrupt N            garble the first byte of N frequency blocks\n"
    "  --empty-mask           report no frequency\n"
    "  --switch-serial S[@K]  report serial S from measurement K+1 on (default K 0)\n"
    "  --close-after N        close the port after N bytes of a reply; it comes back at once\n"
    "  --never-answer         read commands and never reply\n"
    "  --fault-replies K      the faults hit only the next K replies\n";

std::atomic<bool> g_interrupted{false};

extern "C" void OnSignal(int) { g_interrupted = true; }

bool ParseInt(const std::string& text, long min, long max, long& out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < min || v > max) {
        return false;
    }
    out = v;
    return true;
}

bool ParseDouble(const std::string& text, double& out)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(v > 0) || v > 1e6) {
        return false;
    }
    out = v;
    return true;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "orvsim instrument: %s\n", message.c_str());
    return 1;
}

int Run(const std::vector<std::string>& args)
{
    InstrumentOptions options;
    InstrumentFaults& faults = options.faults;
    long port = -1;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (a == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (a == "--empty-mask") {
            faults.emptyMask = true;
            continue;
        }
        if (a == "--never-answer") {
            faults.neverAnswer = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            return Fail(a + " needs a value (see --help)");
        }
        const std::string value = args[++i];
        long n = 0;
        const auto bad = [&] { return Fail("bad value '" + value + "' for " + a); };
        if (a == "--port") {
            if (!ParseInt(value, 0, 65535, port)) {
                return bad();
            }
        } else if (a == "--serial") {
            if (!ParseInt(value, 1, 255, n)) {
                return bad();
            }
            options.serial = uint8_t(n);
        } else if (a == "--battery") {
            if (!ParseInt(value, 0, 65535, n)) {
                return bad();
            }
            options.batteryCentivolts = uint32_t(n);
        } else if (a == "--ground") {
            std::string error;
            if (!GroundModel::Parse(value, options.ground, error)) {
                return Fail(error);
            }
        } else if (a == "--grid") {
            const size_t x = value.find('x');
            long stations = 0;
            long profiles = 0;
            if (x == std::string::npos || !ParseInt(value.substr(0, x), 1, 100000, stations) ||
                !ParseInt(value.substr(x + 1), 1, 100000, profiles)) {
                return bad();
            }
            options.stations = int(stations);
            options.profiles = int(profiles);
        } else if (a == "--step") {
            const size_t comma = value.find(',');
            if (!ParseDouble(value.substr(0, comma), options.xStep)) {
                return bad();
            }
            options.yStep = options.xStep;
            if (comma != std::string::npos &&
                !ParseDouble(value.substr(comma + 1), options.yStep)) {
                return bad();
            }
        } else if (a == "--delay") {
            if (!ParseInt(value, 0, 3600000, n)) {
                return bad();
            }
            faults.replyDelayMs = uint32_t(n);
        } else if (a == "--split") {
            const size_t comma = value.find(',');
            long pause = 200;
            if (!ParseInt(value.substr(0, comma), 1, 176, n) ||
                (comma != std::string::npos &&
                 !ParseInt(value.substr(comma + 1), 0, 3600000, pause))) {
                return bad();
            }
            faults.pieces = int(n);
            faults.piecePauseMs = uint32_t(pause);
        } else if (a == "--drop") {
            if (!ParseInt(value, 0, 176, n)) {
                return bad();
            }
            faults.dropBytes = int(n);
        } else if (a == "--corrupt") {
            if (!ParseInt(value, 0, 14, n)) {
                return bad();
            }
            faults.corruptBytes = int(n);
        } else if (a == "--switch-serial") {
            const size_t at = value.find('@');
            long after = 0;
            if (!ParseInt(value.substr(0, at), 1, 255, n) ||
                (at != std::string::npos && !ParseInt(value.substr(at + 1), 0, 1000000, after))) {
                return bad();
            }
            options.switchSerialTo = uint8_t(n);
            options.switchSerialAfter = int(after);
        } else if (a == "--close-after") {
            if (!ParseInt(value, 0, 176, n)) {
                return bad();
            }
            faults.closeAfterBytes = int(n);
        } else if (a == "--fault-replies") {
            if (!ParseInt(value, 0, 1000000, n)) {
                return bad();
            }
            faults.replies = int(n);
        } else {
            return Fail("unknown option '" + a + "' (see --help)");
        }
    }
    if (port < 0) {
        return Fail("say which port to play with --port N (see --help)");
    }
    options.linkPath = DevicePathForPort(unsigned(port));

    InstrumentSimulator simulator(options);
    std::string error;
    if (!simulator.Start(error)) {
        return Fail(error);
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::fprintf(stderr, "orvsim instrument: serial %u on %s (%s), %s; Ctrl+C ends\n",
                 unsigned(options.serial), options.linkPath.c_str(),
                 HandheldPortName(unsigned(port)).c_str(), options.ground.Describe().c_str());
    while (!g_interrupted) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    simulator.Stop();
    std::fprintf(stderr, "orvsim instrument: %d commands received, link removed\n",
                 simulator.Commands());
    return 0;
}

const bool kRegistered =
    RegisterCommand({"instrument", "play an ORV instrument on a pseudo-terminal", &Run});

}  // namespace

}  // namespace orv::sim
