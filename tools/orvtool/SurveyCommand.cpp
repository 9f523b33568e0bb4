// orvtool survey: a whole survey without a screen. It walks the stations in walking order
// against an instrument port (and a GPS port for a track), one measurement per station as the
// Main page takes them, and saves the session file.

#include "Command.h"
#include "Json.h"
#include "HeadlessProgram.h"
#include "base/MessagePoster.h"
#include "base/SystemClock.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"
#include "instrument/InstrumentDevice.h"
#include "base/PortNamer.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "survey/SessionFile.h"
#include "session/StationMeasurer.h"
#include "survey/Survey.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orv::tool {

namespace {

constexpr const char* kHelp =
    "Usage: orvtool survey --port N --work-type Map|Profile|Line|GPS-track --out FILE.orv\n"
    "                      [--x N --y N --xstep S --ystep S] [--gps-port M] [OPTIONS]\n"
    "Walks a whole survey against the instrument on port N (\"COM%u:\", mapped to a device by\n"
    "ORVCONTROL_PORT_PATTERN, default /dev/rfcomm%u): one measurement per station in walking\n"
    "order, as the Main page takes them, then saves the session file. A GPS track asks the\n"
    "receiver on port M for the position of every station.\n\n"
    "  --x N, --y N         stations per profile and profiles (Map; Profile takes --x)\n"
    "  --xstep S, --ystep S station and profile spacing (default 1)\n"
    "  --stations N         stations of a Line or a GPS track (default 20 and 10)\n"
    "  --interval MS        pause between stations (default 0; 1000 for a GPS track)\n"
    "  --retries N          retries of a failed station after reconnecting (default 2)\n"
    "  --gps-wait S         seconds to wait for the first GPS fix (default 15; 0: do not wait)\n"
    "  --timeout MS         reply time-out of the instrument (default 40000)\n"
    "  --set Field=Value    any configuration field, e.g. --set TrasserMode=1 (14 stations per\n"
    "                       measurement), --set UsedFrequencies=1,2,3\n"
    "  --overwrite          replace an existing FILE.orv (refused otherwise)\n"
    "  --settings FILE      settings file (default: the program's own); never written\n"
    "  --calibration FILE   calibration file (default: the program's own)\n\n"
    "Every stored measurement is journaled beside FILE.orv until the file is saved, so a\n"
    "survey cut short by a crash is offered for recovery at the program's next start. When a\n"
    "station keeps failing, or on Ctrl-C, the stations measured so far are saved and the exit\n"
    "status is 1. On success a JSON summary goes to stdout.\n";

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted = true; }

// The window's message queue, without a window: the matcher posts from the reader thread, the
// survey loop takes the messages on its own thread.
class MessageQueue final : public MessagePoster
{
public:
    void Post(const ProgramMessage& message) override
    {
        std::scoped_lock lock(m_mutex);
        m_messages.push_back(message);
    }
    std::vector<ProgramMessage> Take()
    {
        std::scoped_lock lock(m_mutex);
        return std::exchange(m_messages, {});
    }

private:
    std::mutex m_mutex;
    std::vector<ProgramMessage> m_messages;
};

struct Options
{
    int port = -1;
    int gpsPort = -1;
    int workType = 0;
    int x = -1;
    int y = -1;
    double xStep = 1.0;
    double yStep = 1.0;
    int stations = -1;
    int interval = -1;
    int retries = 2;
    int gpsWait = 15;
    int timeout = 40000;
    bool overwrite = false;
    std::vector<std::string> settings;
    std::string out;
    std::string settingsPath = SettingsFilePath();
    std::string calibrationPath = DefaultCalibrationPath();
};

bool ParseInt(const std::string& text, int low, int high, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < low || v > high) {
        return false;
    }
    out = int(v);
    return true;
}

bool ParseWorkType(std::string text, int& out)
{
    for (char& c : text) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    if (text == "map") {
        out = work_type::kMap;
    } else if (text == "profile") {
        out = work_type::kProfile;
    } else if (text == "line") {
        out = work_type::kLine;
    } else if (text == "gps-track" || text == "gps track" || text == "track") {
        out = work_type::kGpsTrack;
    } else {
        return false;
    }
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error)
{
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--overwrite") {
            o.overwrite = true;
            continue;
        }
        if (a.empty() || a[0] != '-') {
            error = "unexpected argument '" + a + "' (see --help)";
            return false;
        }
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        const std::string& v = args[++i];
        bool ok = true;
        if (a == "--port") {
            ok = ParseInt(v, 0, 255, o.port);
        } else if (a == "--gps-port") {
            ok = ParseInt(v, 0, 255, o.gpsPort);
        } else if (a == "--work-type") {
            ok = ParseWorkType(v, o.workType);
        } else if (a == "--x") {
            ok = ParseInt(v, 1, 100000, o.x);
        } else if (a == "--y") {
            ok = ParseInt(v, 1, 100000, o.y);
        } else if (a == "--xstep" || a == "--ystep") {
            char* end = nullptr;
            const double d = std::strtod(v.c_str(), &end);
            ok = !v.empty() && *end == '\0' && d >= 0.0 && d < 1e9;
            (a == "--xstep" ? o.xStep : o.yStep) = d;
        } else if (a == "--stations") {
            ok = ParseInt(v, 1, 10000000, o.stations);
        } else if (a == "--interval") {
            ok = ParseInt(v, 0, 3600000, o.interval);
        } else if (a == "--retries") {
            ok = ParseInt(v, 0, 100, o.retries);
        } else if (a == "--gps-wait") {
            ok = ParseInt(v, 0, 3600, o.gpsWait);
        } else if (a == "--timeout") {
            ok = ParseInt(v, 100, 600000, o.timeout);
        } else if (a == "--set") {
            o.settings.push_back(v);
        } else if (a == "--out") {
            o.out = v;
        } else if (a == "--settings") {
            o.settingsPath = v;
        } else if (a == "--calibration") {
            o.calibrationPath = v;
        } else {
            error = "unknown option '" + a + "' (see --help)";
            return false;
        }
        if (!ok) {
            error = "'" + v + "' does not fit " + a + " (see --help)";
            return false;
        }
    }
    if (o.port < 0) {
        error = "say which instrument port with --port N";
    } else if (o.workType == 0) {
        error = "say which survey with --work-type Map|Profile|Line|GPS-track";
    } else if (o.out.empty()) {
        error = "say where the survey goes with --out FILE.orv";
    } else if (o.workType == work_type::kGpsTrack && o.gpsPort < 0) {
        error = "a GPS track needs the receiver's port: --gps-port M";
    } else if (o.workType == work_type::kMap && (o.x < 0 || o.y < 0)) {
        error = "a Map needs its size: --x STATIONS --y PROFILES";
    } else if (o.workType == work_type::kProfile && o.x < 0) {
        error = "a Profile needs its number of stations: --x STATIONS";
    } else {
        return true;
    }
    return false;
}

// Stations the survey will measure.
int TargetStations(const Options& o)
{
    switch (o.workType) {
        case work_type::kMap:
            return o.x * o.y;
        case work_type::kProfile:
            return o.x;
        case work_type::kLine:
            return o.stations > 0 ? o.stations : 20;
        default:
            return o.stations > 0 ? o.stations : 10;
    }
}

void ShowProgress(int done, int total, bool terminal)
{
    if (!terminal) {
        return;
    }
    constexpr int kWidth = 30;
    const int filled = total > 0 ? std::min(kWidth, done * kWidth / total) : kWidth;
    std::fprintf(stderr, "\r[%s%s] %d/%d stations", std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(kWidth - filled), '.').c_str(), done, total);
    std::fflush(stderr);
}

int Run(const std::vector<std::string>& args)
{
    if (WantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    Options o;
    std::string error;
    if (!ParseOptions(args, o, error)) {
        return Fail("survey", error);
    }
    std::error_code ec;
    if (!o.overwrite && std::filesystem::exists(o.out, ec)) {
        return Fail("survey", o.out + " exists already; say --overwrite to replace it");
    }
    const bool track = o.workType == work_type::kGpsTrack;
    if (o.interval < 0) {
        o.interval = track ? 1000 : 0;
    }

    HeadlessProgram program(o.settingsPath, o.calibrationPath, uint32_t(o.timeout));
    Configuration& config = program.Core().Config();
    config.WorkType = o.workType;
    if (o.x > 0) {
        config.XSize = o.x;
    }
    if (o.y > 0) {
        config.YSize = o.y;
    }
    config.XStep = float(o.xStep);
    config.YStep = float(o.yStep);
    config.BluetoothInboundPort = o.port;
    if (o.gpsPort >= 0) {
        config.BluetoothOutboundPort = o.gpsPort;
    }
    for (const std::string& setting : o.settings) {
        if (!ApplySetting(config, setting, error)) {
            return Fail("survey", error);
        }
    }

    GpsMatcher& matcher = program.Core().Matcher();
    MessageQueue window;
    InstrumentDevice& device = program.Core().Device();
    device.SetGpsWanted(track);

    std::unique_ptr<Survey> survey = CreateSurvey(config, error);
    if (!survey) {
        return Fail("survey", error);
    }
    // The journal lies beside the file the survey will be saved to.
    survey->SetFilePath(o.out);
    survey->EnableJournal(DataDirectory());
    StationMeasurer measurer(*survey, device, track ? &matcher : nullptr, &window);
    const auto pump = [&] {
        for (const ProgramMessage& m : window.Take()) {
            measurer.OnMessage(m);
        }
    };
    const auto wait = [&](int milliseconds, const auto& done) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (!g_interrupted && !done() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            pump();
        }
    };

    g_interrupted = false;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    std::string problem;
    if (!measurer.Connect(error)) {
        problem = error + " on port " + std::to_string(o.port) + " (" +
                  DevicePathForPort(unsigned(o.port)) + ")";
    } else if (track && o.gpsWait > 0) {
        // The matcher answers a station at the fix after its measurement; the first fix also
        // gives the track its current position.
        if (!device.IsReady()) {
            problem = "the GPS port " + std::to_string(o.gpsPort) + " (" +
                      DevicePathForPort(unsigned(o.gpsPort)) + ") cannot be opened";
        } else {
            std::fprintf(stderr, "Waiting for a GPS fix on port %d...\n", o.gpsPort);
            wait(o.gpsWait * 1000, [&] { return matcher.HaveFix(); });
            if (!matcher.HaveFix() && !g_interrupted) {
                problem = "no GPS fix within " + std::to_string(o.gpsWait) + " s on port " +
                          std::to_string(o.gpsPort);
            }
        }
    }

    const int target = TargetStations(o);
    const int perMeasurement = config.TrasserMode != 0 ? kFrequencyCount : 1;
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    int done = 0;
    ShowProgress(done, target, terminal);
    while (problem.empty() && done < target && !g_interrupted) {
        bool measured = false;
        for (int attempt = 0; attempt <= o.retries && !g_interrupted; ++attempt) {
            if (measurer.Measure(error)) {
                measured = true;
                break;
            }
            if (terminal) {
                std::fputc('\n', stderr);
            }
            std::fprintf(stderr, "Station %d: %s%s\n", done + 1, error.c_str(),
                         attempt < o.retries ? "; trying again" : "");
        }
        if (!measured) {
            problem = g_interrupted ? "interrupted" : error;
            break;
        }
        done = std::min(target, done + perMeasurement);
        ShowProgress(done, target, terminal);
        if (measurer.SurveyComplete() && !track) {
            done = target;
        }
        pump();
        if (done < target && o.interval > 0) {
            wait(o.interval, [] { return false; });
        }
    }
    if (terminal) {
        std::fputc('\n', stderr);
    }
    if (g_interrupted && problem.empty()) {
        problem = "interrupted";
    }
    // Positions still on their way from the matcher.
    if (track) {
        wait(5000, [&] { return measurer.PendingPositions() == 0; });
    }
    device.CloseLink();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    if (survey->Modified() == 0) {
        return Fail("survey",
                    problem.empty() ? "nothing was measured" : problem + "; nothing was measured");
    }
    if (!SaveSession(*survey, o.out, error)) {
        const std::string journal = survey->JournalPath();
        return Fail("survey",
                    error + (journal.empty() ? std::string()
                                             : " The measurements are kept in " + journal +
                                                   "; the program offers them for "
                                                   "recovery at its next start."));
    }
    const std::string summary = JsonObject()
                                    .Text("File", o.out)
                                    .Integer("WorkType", o.workType)
                                    .Integer("Stations", done)
                                    .Integer("SlotCount", survey->Slots().Count())
                                    .Integer("ValidSlots", survey->ValidCount())
                                    .Integer("PendingPositions", long(measurer.PendingPositions()))
                                    .Text("Problem", problem)
                                    .Str();
    std::printf("%s\n", summary.c_str());
    if (!problem.empty()) {
        return Fail("survey", "stopped after " + std::to_string(done) + " of " +
                                  std::to_string(target) + " stations: " + problem +
                                  "; the stations measured are saved in " + o.out);
    }
    return 0;
}

const bool kRegistered =
    RegisterCommand({"survey", "walk a whole survey against the instrument and save it", &Run});

}  // namespace

}  // namespace orv::tool
