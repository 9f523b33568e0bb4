// orvtool survey: a whole survey without a screen. It walks the stations in walking order
// against an instrument port (and a GPS port for a track), one measurement per station as the
// Main page takes them, and saves the session file.

#include "Command.h"
#include "Json.h"
#include "HeadlessProgram.h"
#include "base/Crc32.h"
#include "base/MessagePoster.h"
#include "base/PortNamer.h"
#include "base/SystemClock.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"
#include "instrument/InstrumentDevice.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "survey/MeasurementJournal.h"
#include "survey/SessionFile.h"
#include "session/StationMeasurer.h"
#include "survey/Survey.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace survey_command {

constexpr const char* kAbout =
    "Walks a whole survey against the instrument on port N (\"COM%u:\", mapped to a device by\n"
    "ORVCONTROL_PORT_PATTERN, default /dev/rfcomm%u): one measurement per station in walking\n"
    "order, as the Main page takes them, then saves the session file. A GPS track asks the\n"
    "receiver on port M for the position of every station.\n\n"
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
    bool progress = false;
    std::vector<std::string> settings;
    std::string out;
    std::string settingsPath = SettingsFilePath();
    std::string calibrationPath = DefaultCalibrationPath();
};

// What the options cannot say one by one; false with the message to print.
bool CheckOptions(const Options& o, std::string& error)
{
    if (o.out.empty()) {
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

int Run(Options o)
{
    std::string error;
    if (!CheckOptions(o, error)) {
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

    // The GPS reader thread posts to the window queue until the program ends: the queue is made
    // first and goes last.
    MessageQueue window;
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
    InstrumentDevice& device = program.Core().Device();
    device.SetGpsWanted(track);

    std::unique_ptr<Survey> survey = CreateSurvey(config, error);
    if (!survey) {
        return Fail("survey", error);
    }
    // The journal lies beside the file the survey will be saved to.
    survey->SetFilePath(o.out);
    survey->EnableJournal(DataDirectory());
    if (o.progress) {
        // A station is acknowledged once its journal record is on the disk: from then on no
        // crash or power cut can take it away.
        survey->OnJournaled([](std::span<const JournalRecord> records) {
            for (const JournalRecord& r : records) {
                if (r.kind == journal::kMeasurement) {
                    char crc[16];
                    std::snprintf(crc, sizeof crc, "%08x", Crc32(r.slot.bytes));
                    std::printf("%s\n",
                                JsonObject().Integer("Index", r.index).Text("Crc", crc).Str().c_str());
                }
            }
            std::fflush(stdout);
        });
    }
    std::string journalProblem;
    // A journal that cannot be written is told at once, and again when it works again.
    const auto tellJournal = [&] {
        if (survey->JournalProblem() == journalProblem) {
            return;
        }
        journalProblem = survey->JournalProblem();
        std::fprintf(stderr, "%s\n",
                     journalProblem.empty() ? "The measurement journal is written again."
                                            : journalProblem.c_str());
    };
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
            // A port that cannot be opened (a receiver switched off, a link out of range) gets
            // a while to come back before the next try: 1 s, 2 s, then 3 s each.
            const bool connected = measurer.Connect(error);
            if (connected && measurer.Measure(error)) {
                measured = true;
                break;
            }
            if (terminal) {
                std::fputc('\n', stderr);
            }
            const int pause = connected ? 0 : 1000 * std::min(attempt + 1, 3);
            std::fprintf(stderr, "Station %d: %s%s\n", done + 1, error.c_str(),
                         attempt >= o.retries ? ""
                         : pause > 0 ? ("; trying again in " + std::to_string(pause / 1000) +
                                        " s").c_str()
                                     : "; trying again");
            if (attempt < o.retries && pause > 0) {
                wait(pause, [] { return false; });
            }
        }
        tellJournal();
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

std::function<int()> Define(CLI::App& command)
{
    using cmdline::Real;
    using cmdline::Whole;
    auto o = std::make_shared<Options>();
    command.footer(kAbout);
    command.add_option("--port", o->port, "the instrument's port number")
        ->type_name("N")
        ->required()
        ->transform(Whole(0, 255));
    command.add_option("--work-type", o->workType, "the kind of survey")
        ->type_name("Map|Profile|Line|GPS-track")
        ->required()
        ->transform(cmdline::Choice("Map, Profile, Line or GPS-track",
                                    {{"map", work_type::kMap},
                                     {"profile", work_type::kProfile},
                                     {"line", work_type::kLine},
                                     {"gps-track", work_type::kGpsTrack},
                                     {"gps track", work_type::kGpsTrack},
                                     {"track", work_type::kGpsTrack}},
                                    true));
    command.add_option("--out", o->out, "where the survey goes")->type_name("FILE.orv")->required();
    command.add_option("--gps-port", o->gpsPort, "the GPS receiver's port number (GPS track)")
        ->type_name("M")
        ->transform(Whole(0, 255));
    command.add_option("--x", o->x, "stations per profile (Map, Profile)")
        ->type_name("N")
        ->transform(Whole(1, 100000));
    command.add_option("--y", o->y, "profiles (Map)")->type_name("N")->transform(Whole(1, 100000));
    command.add_option("--xstep", o->xStep, "station spacing (default 1)")
        ->type_name("S")
        ->check(Real(0.0, 1e9));
    command.add_option("--ystep", o->yStep, "profile spacing (default 1)")
        ->type_name("S")
        ->check(Real(0.0, 1e9));
    command
        .add_option("--stations", o->stations,
                    "stations of a Line or a GPS track (default 20 and 10)")
        ->type_name("N")
        ->transform(Whole(1, 10000000));
    command
        .add_option("--interval", o->interval,
                    "pause between stations (default 0; 1000 for a GPS track)")
        ->type_name("MS")
        ->transform(Whole(0, 3600000));
    command
        .add_option("--retries", o->retries,
                    "retries of a failed station after reconnecting (default 2); a port that\n"
                    "cannot be opened is tried again after 1 s, 2 s, then 3 s each")
        ->type_name("N")
        ->transform(Whole(0, 100));
    command
        .add_option("--gps-wait", o->gpsWait,
                    "seconds to wait for the first GPS fix (default 15; 0: do not wait)")
        ->type_name("S")
        ->transform(Whole(0, 3600));
    command.add_option("--timeout", o->timeout, "reply time-out of the instrument (default 40000)")
        ->type_name("MS")
        ->transform(Whole(100, 600000));
    AddSetOption(command, o->settings,
                 "any configuration field, e.g. --set TrasserMode=1 (14 stations per\n"
                 "measurement), --set UsedFrequencies=1,2,3");
    command.add_flag("--overwrite", o->overwrite,
                     "replace an existing FILE.orv (refused otherwise)");
    command.add_flag("--progress", o->progress,
                     "one JSON line per station on stdout once its journal record is on\n"
                     "the disk: {\"Index\":slot index,\"Crc\":CRC-32 of its 180 bytes}");
    AddSettingsOption(command, o->settingsPath);
    AddCalibrationOption(command, o->calibrationPath);
    return [o] { return Run(*o); };
}

const bool kRegistered =
    RegisterCommand({"survey", "walk a whole survey against the instrument and save it", &Define});

}  // namespace survey_command

}  // namespace orv::tool
