// orvsim gps: a GPS receiver on a pseudo-terminal, replaying a capture or walking.

#include "sim/GpsSimulator.h"
#include "SimCommand.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace orv::sim {

namespace {

const char kHelp[] =
    "Usage: orvsim gps --port N (--replay FILE.nmea [--rate HZ | --as-fast-as-possible] [--loop]\n"
    "                            | --walk [WALK OPTIONS])  [--baud B] [--link PATH]\n"
    "Plays a GPS receiver on a pseudo-terminal, linked where ORVCONTROL_PORT_PATTERN (default\n"
    "/dev/rfcomm%u) puts port N, until the replay ends or Ctrl-C.\n"
    "\n"
    "  --port N               port number the link is made for\n"
    "  --replay FILE.nmea     send a capture at the receiver's own pace (from its fix times);\n"
    "                         lines starting with '#' are notes and are not sent\n"
    "  --rate HZ              epochs (fixes) per second instead of the capture's pace; for a\n"
    "                         walk, its fix rate (default 1)\n"
    "  --as-fast-as-possible  no pauses at all\n"
    "  --loop                 start the capture again at its end\n"
    "  --walk                 synthesise a walk (GGA, GSA, GSV, RMC each epoch)\n"
    "     --start LAT,LON     start position in degrees (default 59.9127,10.7461)\n"
    "     --speed M/S         walking speed (default 1.2)\n"
    "     --heading DEG       initial heading from true north (default 0)\n"
    "     --turn-every S      seconds between turns (default 0: straight on)\n"
    "     --turn DEG          degrees added at each turn (default 90)\n"
    "     --quality Q         GGA fix quality; 0 sends no fix (default 1)\n"
    "     --satellites N      satellites used, 4..12 (default 8)\n"
    "     --hdop X            (default 0.9)\n"
    "     --altitude M        (default 120)\n"
    "     --talker GP|GN      talker of GGA, GSA and RMC (default GP)\n"
    "     --epochs N          stop after N epochs (default: until Ctrl-C)\n"
    "  --stall AT,SECONDS     AT seconds after the start, send nothing for SECONDS (the port\n"
    "                         stays)\n"
    "  --void AT,SECONDS      the same, but a walk goes on sending epochs without a fix\n"
    "  --gone AT,SECONDS      the terminal and its link go away for SECONDS, then come back\n"
    "                         on the same path\n"
    "  --baud B               line speed the output is paced at (default 9600; 0: none)\n"
    "  --link PATH            put the link at PATH instead of the port's path\n"
    "  -h, --help             show this help\n";

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

int Fail(const std::string& message)
{
    std::fprintf(stderr, "orvsim gps: %s\n", message.c_str());
    return 1;
}

bool ToDouble(const std::string& text, double& out)
{
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0' && std::isfinite(out);
}

bool ToUnsigned(const std::string& text, uint64_t& out)
{
    char* end = nullptr;
    if (text.empty() || text[0] == '-') {
        return false;
    }
    out = std::strtoull(text.c_str(), &end, 10);
    return end != nullptr && *end == '\0';
}

// An outage asked for on the command line: what, when (seconds after the start), how long.
struct Outage
{
    enum class Kind { Stall, Void, Gone };
    Kind kind = Kind::Stall;
    double at = 0.0;
    double seconds = 0.0;
    bool done = false;
};

bool ToOutage(const std::string& text, Outage& out)
{
    const size_t comma = text.find(',');
    return comma != std::string::npos && ToDouble(text.substr(0, comma), out.at) &&
           ToDouble(text.substr(comma + 1), out.seconds) && out.at >= 0.0 && out.seconds >= 0.0 &&
           out.at <= 1e6 && out.seconds <= 1e6;
}

const char* OutageName(Outage::Kind kind)
{
    switch (kind) {
        case Outage::Kind::Stall:
            return "silent";
        case Outage::Kind::Void:
            return "without a fix";
        case Outage::Kind::Gone:
            return "gone";
    }
    return "?";
}

int Run(const std::vector<std::string>& args)
{
    GpsSimulatorOptions options;
    std::vector<Outage> outages;
    bool havePort = false;
    bool walk = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (a == "--as-fast-as-possible") {
            options.asFastAsPossible = true;
            continue;
        }
        if (a == "--loop") {
            options.loop = true;
            continue;
        }
        if (a == "--walk") {
            walk = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            return Fail("'" + a + "' needs a value, or is unknown (see --help)");
        }
        const std::string& v = args[++i];
        double d = 0.0;
        uint64_t u = 0;
        const auto bad = [&] { return Fail("bad value '" + v + "' for " + a + " (see --help)"); };
        if (a == "--port") {
            if (!ToUnsigned(v, u) || u > 255) {
                return bad();
            }
            options.port = unsigned(u);
            havePort = true;
        } else if (a == "--replay") {
            options.replayFile = v;
        } else if (a == "--rate") {
            if (!ToDouble(v, d) || d <= 0.0 || d > 1000.0) {
                return bad();
            }
            options.rate = d;
        } else if (a == "--baud") {
            if (!ToUnsigned(v, u) || u > 4000000) {
                return bad();
            }
            options.baud = uint32_t(u);
        } else if (a == "--link") {
            options.linkPath = v;
        } else if (a == "--start") {
            const size_t comma = v.find(',');
            double lat = 0.0;
            double lon = 0.0;
            if (comma == std::string::npos || !ToDouble(v.substr(0, comma), lat) ||
                !ToDouble(v.substr(comma + 1), lon) || std::fabs(lat) > 89.9 ||
                std::fabs(lon) > 180.0) {
                return bad();
            }
            options.walk.latitude = lat;
            options.walk.longitude = lon;
        } else if (a == "--speed") {
            if (!ToDouble(v, d) || d < 0.0 || d > 1000.0) {
                return bad();
            }
            options.walk.speed = d;
        } else if (a == "--heading" || a == "--turn") {
            if (!ToDouble(v, d) || std::fabs(d) > 360.0) {
                return bad();
            }
            (a == "--heading" ? options.walk.heading : options.walk.turnBy) = d;
        } else if (a == "--turn-every") {
            if (!ToDouble(v, d) || d < 0.0) {
                return bad();
            }
            options.walk.turnEvery = d;
        } else if (a == "--quality") {
            if (!ToUnsigned(v, u) || u > 8) {
                return bad();
            }
            options.walk.quality = int(u);
        } else if (a == "--satellites") {
            if (!ToUnsigned(v, u) || u < 4 || u > 12) {
                return bad();
            }
            options.walk.satellites = int(u);
        } else if (a == "--hdop") {
            if (!ToDouble(v, d) || d < 0.0 || d > 99.0) {
                return bad();
            }
            options.walk.hdop = d;
        } else if (a == "--altitude") {
            if (!ToDouble(v, d) || std::fabs(d) > 100000.0) {
                return bad();
            }
            options.walk.altitude = d;
        } else if (a == "--talker") {
            if (v != "GP" && v != "GN") {
                return bad();
            }
            options.walk.talker = v;
        } else if (a == "--stall" || a == "--void" || a == "--gone") {
            Outage outage;
            outage.kind = a == "--stall"  ? Outage::Kind::Stall
                          : a == "--void" ? Outage::Kind::Void
                                          : Outage::Kind::Gone;
            if (!ToOutage(v, outage)) {
                return bad();
            }
            outages.push_back(outage);
        } else if (a == "--epochs") {
            if (!ToUnsigned(v, u)) {
                return bad();
            }
            options.epochs = u;
        } else {
            return Fail("unknown option '" + a + "' (see --help)");
        }
    }
    if (!havePort && options.linkPath.empty()) {
        return Fail("--port N is required (see --help)");
    }
    if (walk == !options.replayFile.empty()) {
        return Fail("give either --replay FILE.nmea or --walk (see --help)");
    }

    GpsSimulator gps;
    std::string error;
    if (!gps.Start(options, error)) {
        return Fail(error);
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::fprintf(stderr, "orvsim gps: receiver on %s%s%s; Ctrl-C ends\n",
                 gps.LinkPath().empty() ? "" : (gps.LinkPath() + " -> ").c_str(),
                 gps.SlavePath().c_str(), walk ? " (walking)" : "");
    uint64_t reported = 0;
    const auto started = std::chrono::steady_clock::now();
    auto lastReport = started;
    while (gps.Running() && g_stop == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto now = std::chrono::steady_clock::now();
        const double elapsed = std::chrono::duration<double>(now - started).count();
        for (Outage& outage : outages) {
            if (outage.done || elapsed < outage.at) {
                continue;
            }
            outage.done = true;
            if (outage.kind == Outage::Kind::Gone) {
                gps.Disappear(outage.seconds);
            } else {
                gps.Stall(outage.seconds, outage.kind == Outage::Kind::Void);
            }
            std::fprintf(stderr, "orvsim gps: %s for %g s\n", OutageName(outage.kind),
                         outage.seconds);
        }
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

const bool kRegistered = RegisterCommand({"gps", "a GPS receiver: replay a capture or walk", Run});

}  // namespace

}  // namespace orv::sim
