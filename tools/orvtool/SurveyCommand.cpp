// orvtool survey: a whole survey without a screen. It walks the stations in walking order
// against an instrument port (and a GPS port for a track), one measurement per station as the
// Main page takes them, and saves the session file.

#include "Command.h"
#include "HeadlessProgram.h"
#include "Json.h"
#include "base/Crc32.h"
#include "base/MessagePoster.h"
#include "base/PortNamer.h"
#include "base/SystemClock.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "config/ConfigurationFields.h"
#include "config/ProgramPaths.h"
#include "gps/GpsLinkState.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"
#include "instrument/InstrumentDevice.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "session/StationMeasurer.h"
#include "survey/MeasurementJournal.h"
#include "survey/SessionFile.h"
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
#include <optional>
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
    "status is 1. On success a JSON summary goes to stdout; on a GPS track its key\n"
    "\"unpositioned\" lists the stations left without a position (no fix within\n"
    "GpsStaleSeconds of their measurement), to be measured again.\n\n"
    "A link that drops is waited out: when the instrument goes away the survey pauses and\n"
    "opens its port again every second; when the GPS receiver goes away or goes quiet the\n"
    "instrument goes on measuring (those stations stay unpositioned) while the GPS link\n"
    "reconnects by itself. An outage longer than --outage-limit seconds ends the survey as a\n"
    "failure, the stations measured so far saved.\n";

// Between two tries to open an instrument port that went away.
constexpr auto kReconnectPause = std::chrono::seconds(1);

std::atomic<bool> g_interrupted{false};

std::string JsonIntegers(const std::vector<int>& values)
{
    std::string out = "[";
    for (const int v : values) {
        out += (out.size() > 1 ? "," : "") + std::to_string(v);
    }
    return out + "]";
}

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
    int outageLimit = 60;
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
                    std::printf(
                        "%s\n",
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
    // Each station's time and, on a track, the quality of its fix, for the log beside the file.
    measurer.SetMetaSource([&] {
        const GpsLinkState gps = program.Core().GpsState();
        return StationMetaNow(track ? &gps : nullptr, program.Core().Ticks().Now(),
                              config.GpsStaleSeconds);
    });
    const auto pump = [&] {
        // Stations whose fix is overdue are given up on time even while the GPS link's thread
        // waits on a port that is slow to open.
        measurer.ExpirePositions();
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
        // gives the track its current position. The GPS link opens its port by itself.
        std::fprintf(stderr, "Waiting for a GPS fix on port %d...\n", o.gpsPort);
        wait(o.gpsWait * 1000, [&] { return matcher.HaveFix(); });
        if (!matcher.HaveFix() && !g_interrupted) {
            const std::string reason = program.Core().GpsState().reason;
            problem = "no GPS fix within " + std::to_string(o.gpsWait) + " s on port " +
                      std::to_string(o.gpsPort) + (reason.empty() ? "" : ": " + reason);
        }
    }

    const int target = TargetStations(o);
    const int perMeasurement = config.TrasserMode != 0 ? kFrequencyCount : 1;
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    const std::string gpsPort = device.GpsPortDescription();
    const auto newLine = [terminal] {
        if (terminal) {
            std::fputc('\n', stderr);
        }
    };
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    const auto started = Clock::now();
    bool gpsOut = false;
    // The GPS outage so far: since the last valid fix became stale (or since the start without
    // one). Told once when it begins and once when it ends.
    const auto watchGps = [&]() -> std::string {
        if (!track) {
            return {};
        }
        const GpsLinkState gps = program.Core().GpsState();
        const double age = gps.haveFix ? gps.FixAgeSeconds(program.Core().Ticks().Now())
                                       : seconds(Clock::now() - started);
        const bool out = age > double(config.GpsStaleMilliseconds()) / 1000.0;
        if (out != gpsOut) {
            gpsOut = out;
            newLine();
            if (out) {
                std::fprintf(stderr,
                             "GPS: no fresh fix on %s (%s%s%s); measuring on, the stations "
                             "meanwhile stay unpositioned; waiting up to %d s\n",
                             gpsPort.c_str(), GpsLinkKindName(gps.kind),
                             gps.reason.empty() ? "" : ": ", gps.reason.c_str(), o.outageLimit);
            } else {
                std::fprintf(stderr, "GPS: fixes again on %s\n", gpsPort.c_str());
            }
        }
        if (out && age > double(o.outageLimit)) {
            return "no GPS fix for more than " + std::to_string(o.outageLimit) + " s on " +
                   gpsPort + (gps.reason.empty() ? "" : ": " + gps.reason);
        }
        return {};
    };

    std::fprintf(stderr,
                 "Outages of the instrument or the GPS are waited out for up to %d s "
                 "(--outage-limit).\n",
                 o.outageLimit);
    int done = 0;
    ShowProgress(done, target, terminal);
    while (problem.empty() && done < target && !g_interrupted) {
        problem = watchGps();
        if (!problem.empty()) {
            break;
        }
        // A failed station is tried again at once, then, when the instrument went away, every
        // second until it is back or the outage has lasted --outage-limit seconds; at least
        // --retries times in any case.
        bool measured = false;
        int attempts = 0;
        std::optional<Clock::time_point> outageBegan;
        while (!g_interrupted) {
            ++attempts;
            if (measurer.Measure(error)) {
                measured = true;
                break;
            }
            const auto now = Clock::now();
            if (!outageBegan) {
                outageBegan = now;
                newLine();
                std::fprintf(stderr, "Station %d: %s; waiting up to %d s for the instrument\n",
                             done + 1, error.c_str(), o.outageLimit);
            }
            if (attempts > o.retries && seconds(now - *outageBegan) >= double(o.outageLimit)) {
                break;
            }
            // The port is open again only when the instrument is back; until then wait here,
            // the GPS positions going on.
            while (!g_interrupted && !device.IsReady() &&
                   seconds(Clock::now() - *outageBegan) < double(o.outageLimit)) {
                wait(int(std::chrono::milliseconds(kReconnectPause).count()), [] { return false; });
                std::string connectError;
                if (measurer.Connect(connectError)) {
                    break;
                }
                error = connectError;
            }
        }
        tellJournal();
        if (!measured) {
            problem = g_interrupted ? "interrupted"
                                    : error + " (the instrument did not come back within " +
                                          std::to_string(o.outageLimit) + " s)";
            break;
        }
        if (outageBegan) {
            newLine();
            std::fprintf(stderr, "Station %d: measured after an outage of %.1f s\n", done + 1,
                         seconds(Clock::now() - *outageBegan));
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
    // Positions still on their way from the matcher: each comes, or is given up, within the
    // stale bound.
    if (track) {
        wait(int(config.GpsStaleMilliseconds()) + 1000,
             [&] { return measurer.PendingPositions() == 0; });
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
    const std::string unpositioned = JsonIntegers(measurer.UnpositionedStations());
    const std::string summary = JsonObject()
                                    .Text("File", o.out)
                                    .Integer("WorkType", o.workType)
                                    .Integer("Stations", done)
                                    .Integer("SlotCount", survey->Slots().Count())
                                    .Integer("ValidSlots", survey->ValidCount())
                                    .Integer("PendingPositions", long(measurer.PendingPositions()))
                                    .Raw("unpositioned", unpositioned)
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
    command
        .add_option("--outage-limit", o->outageLimit,
                    "seconds an outage of the instrument or the GPS is waited out before the\n"
                    "survey stops (default 60)")
        ->type_name("SECONDS")
        ->transform(Whole(0, 86400));
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
