// Does the window keep up while a long track grows? The whole window at 1920 x 1080 opens a GPS
// track of 100 000 stations (a walk to and fro over a buried conductive body, measured by the
// instrument simulator), then measures 200 more stations on the simulators: the instrument on
// one pseudo-terminal, a GPS walk at 10 fixes per second on another, each station pressed as an
// operator presses Start once the last result is drawn. Meanwhile a probe, a 10 ms timer on the
// window's thread, records how late each of its ticks fires: a late tick is a moment the window
// could not answer a tap. Reported: the distribution of lateness (ms), the ticks later than
// 50 ms, and the program's memory (resident now and at its peak, MB) with the session drawn and
// journaled; beside them, once, the time to open the track, to move to its end and to draw it
// there before measuring on (open_ms, to_end_ms, settle_ms).
//
// The window appears on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "../tests/support/FakeFileChooser.h"
#include "../tests/support/FakePrompt.h"
#include "../tests/support/FakeSettingsStore.h"
#include "../tests/support/FakeSystemClock.h"
#include "app/COrvControlSheet.h"
#include "base/PortNamer.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "platform/QtSerialPort.h"
#include "resources/ResourceIds.h"
#include "session/ProgramCore.h"
#include "sim/GpsSimulator.h"
#include "sim/InstrumentSimulator.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"
#include "ui/pages/CPropertyPageView2.h"
#include "ui/pages/MainPageLogic.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace orv {
namespace {

constexpr unsigned kInstrumentPort = 21;
constexpr unsigned kGpsPort = 22;
constexpr int kPreloaded = 100000;
constexpr int kMeasured = 200;
constexpr int kProbeMs = 10;
constexpr int kStallMs = 50;
constexpr double kStartLatitude = 59.9127;
constexpr double kStartLongitude = 10.7461;

// Resident and peak resident memory of this process in MB, from /proc/self/status.
double StatusMegabytes(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string wanted = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(wanted, 0) == 0) {
            return std::atof(line.c_str() + wanted.size()) / 1024.0;
        }
    }
    return 0.0;
}

// The 100 000 stations a crew walked before: 316 lines of 316 stations 0.8 m apart, to and fro,
// beginning where the simulated receiver begins its walk; saved as the handheld saves a track.
bool WriteLongTrack(Configuration& config, const std::string& path, std::string& error)
{
    sim::InstrumentOptions options;
    options.ground = sim::GroundModel::Body(20.0, 300.0, 120.0, 120.0, 4.0, 20.0);
    const sim::InstrumentSimulator readings(options);
    TrackSurvey track(config);
    constexpr int kPerLine = 316;
    constexpr double kMetresPerDegree = 111320.0;
    const double metresPerLongitude = kMetresPerDegree * std::cos(kStartLatitude * M_PI / 180.0);
    for (int i = 0; i < kPreloaded; ++i) {
        const int line = i / kPerLine;
        const int k = line % 2 == 0 ? i % kPerLine : kPerLine - 1 - i % kPerLine;
        const double east = 0.8 * k;
        const double north = 0.8 * line;
        MeasurementSlot slot;
        if (!slot.AssignReply(readings.ReadingsAt(east, north, 0x3FFF))) {
            error = "the simulator gave no reply";
            return false;
        }
        const auto tick = static_cast<uint32_t>(1000 + i * 500);
        slot.SetTickStamp(tick);
        if (!track.StoreMeasurement(slot)) {
            error = "the track took no more stations";
            return false;
        }
        track.AssignPosition(i, {kStartLatitude + north / kMetresPerDegree,
                                 kStartLongitude + east / metresPerLongitude, tick});
    }
    return SaveSession(track, path, error);
}

// The percentile p (0..1) of sorted values.
double Percentile(const std::vector<double>& sorted, double p)
{
    if (sorted.empty()) {
        return 0.0;
    }
    const auto at = static_cast<size_t>(p * double(sorted.size() - 1) + 0.5);
    return sorted[std::min(at, sorted.size() - 1)];
}

void WindowWhileMeasuring(benchmark::State& state)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int argc = 1;
    char name[] = "bench_WindowBench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("orv-window-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "data");
    ::setenv("ORVCONTROL_PORT_PATTERN", (folder / "port%u").c_str(), 1);

    FakeSettingsStore store;
    FakePrompt prompt;
    FakeFileChooser files;
    FakeSystemClock systemClock;
    QtSerialPort instrumentPort;
    QtSerialPort gpsPort;
    std::string error;

    const std::string path = (folder / "long-track.orv").string();
    {
        FakeSettingsStore scratchStore;
        FakePrompt scratchPrompt;
        Configuration scratch(scratchStore, (folder / "none.ini").string(), scratchPrompt);
        scratch.LoadDefaults();
        scratch.WorkType = work_type::kGpsTrack;
        if (!WriteLongTrack(scratch, path, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }

    sim::InstrumentOptions instrument;
    instrument.linkPath = DevicePathForPort(kInstrumentPort);
    instrument.ground = sim::GroundModel::Body(20.0, 300.0, 120.0, 120.0, 4.0, 20.0);
    sim::InstrumentSimulator instrumentSim(instrument);
    if (!instrumentSim.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    sim::GpsSimulatorOptions gps;
    gps.port = kGpsPort;
    gps.rate = 10.0;
    gps.baud = 0;
    gps.walk.latitude = kStartLatitude;
    gps.walk.longitude = kStartLongitude;
    gps.walk.speed = 3.0;
    gps.walk.heading = 45.0;
    sim::GpsSimulator gpsSim;
    if (!gpsSim.Start(gps, error)) {
        state.SkipWithError(error.c_str());
        return;
    }

    auto core = std::make_unique<ProgramCore>(
        PlatformParts{store, (folder / "OrvCalibration.ini").string(), prompt, instrumentPort,
                      gpsPort, SteadyTickClock(), systemClock, nullptr, LinkTimings{3000, 10}});
    Configuration& config = core->Config();
    config.BluetoothInboundPort = int(kInstrumentPort);
    config.BluetoothOutboundPort = int(kGpsPort);

    SheetEnvironment environment;
    environment.core = core.get();
    environment.files = &files;
    environment.dataDirectory = (folder / "data").string();
    auto sheet = std::make_unique<COrvControlSheet>(environment);
    sheet->resize(1920, 1080);
    sheet->show();
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    files.answers = {path};
    sheet->SendCommandToSheet(command_id::kOpen);
    const double openMs = double(clock.elapsed());
    auto* track = dynamic_cast<TrackSurvey*>(sheet->CurrentSurvey());
    auto* page = static_cast<CPropertyPageView2*>(sheet->Page(PageId::MainTrack));
    if (track == nullptr || page == nullptr || track->ValidCount() != kPreloaded) {
        state.SkipWithError("the long track did not open");
        return;
    }
    // An opened session starts at its first station: the crew holds the Right key to go on from
    // the last one (the steps grow while the key is held; each waits for the last drawing).
    QElapsedTimer walk;
    walk.start();
    for (int press = 0; track->CurrentIndex() < track->Slots().Count() && press < 1000; ++press) {
        while (page->RepaintPending() && walk.elapsed() < 120000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        page->DeliverHandheldKey(main_page::kKeyRight, press > 0);
    }
    if (track->CurrentIndex() != track->Slots().Count()) {
        state.SkipWithError("the cursor did not reach the end of the track");
        return;
    }
    const double walkToEndMs = double(walk.elapsed());
    // The track on the screen at the last station, as the crew sees it before measuring on.
    QElapsedTimer firstDraw;
    firstDraw.start();
    while (page->RepaintPending() && firstDraw.elapsed() < 120000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double settleMs = double(firstDraw.elapsed());
    auto* start = page->findChild<QPushButton*>(QStringLiteral("control1041"));
    if (start == nullptr) {
        state.SkipWithError("no Start button");
        return;
    }

    std::vector<double> lateness;
    lateness.reserve(20000);
    int measured = 0;
    bool pressed = false;
    qint64 nextPress = 0;
    qint64 lastTick = -1;
    double worst = 0.0;
    double worstAt = 0.0;
    int worstStation = 0;
    bool failed = false;
    qint64 pressedAt = 0;
    int unpositioned = 0;

    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(kProbeMs);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick >= 0) {
            const double late = std::max(0.0, double(now - lastTick) / 1e6 - kProbeMs);
            if (late > worst) {
                worst = late;
                worstAt = double(now) / 1e9;
                worstStation = measured;
            }
            lateness.push_back(late);
        }
        lastTick = now;
    });
    // The operator: presses Start once the last station is stored, positioned and drawn, and
    // walks on for a moment before the next.
    QTimer operatorHand;
    operatorHand.setInterval(5);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (pressed) {
            // Stored, positioned and drawn.
            const bool stored = track->Slots().Count() > kPreloaded + measured;
            if (!stored || page->ExchangeRunning() || page->PendingPositions() > 0 ||
                page->RepaintPending()) {
                if (now - pressedAt > 20000) {
                    failed = true;
                    QApplication::quit();
                }
                return;
            }
            pressed = false;
            ++measured;
            nextPress = now + 120;
            if (track->ValidCount() != kPreloaded + measured) {
                unpositioned += 1;
            }
            if (measured == kMeasured) {
                QApplication::quit();
            }
            return;
        }
        // The last result must be on the screen: Start before that is not taken.
        if (now >= nextPress && !page->RepaintPending() && !page->ExchangeRunning()) {
            pressed = true;
            pressedAt = now;
            start->click();
        }
    });
    QTimer::singleShot(15 * 60 * 1000, [&] {
        failed = true;
        QApplication::quit();
    });

    const qint64 began = clock.elapsed();
    for (auto _ : state) {
        probe.start();
        operatorHand.start();
        QApplication::exec();
        probe.stop();
        operatorHand.stop();
    }
    const double seconds = double(clock.elapsed() - began) / 1000.0;
    if (failed) {
        state.SkipWithError(
            ("stopped after " + std::to_string(measured) + " stations: " +
             (prompt.told.empty() ? std::string("time-out") : prompt.told.back().text))
                .c_str());
    }

    std::sort(lateness.begin(), lateness.end());
    const auto stalls =
        std::count_if(lateness.begin(), lateness.end(), [](double ms) { return ms > kStallMs; });
    state.counters["stations"] = measured;
    state.counters["unpositioned"] = unpositioned;
    state.counters["seconds"] = seconds;
    state.counters["open_ms"] = openMs;
    state.counters["to_end_ms"] = walkToEndMs;
    state.counters["settle_ms"] = settleMs;
    state.counters["ticks"] = double(lateness.size());
    state.counters["late_p50_ms"] = Percentile(lateness, 0.50);
    state.counters["late_p90_ms"] = Percentile(lateness, 0.90);
    state.counters["late_p99_ms"] = Percentile(lateness, 0.99);
    state.counters["late_p999_ms"] = Percentile(lateness, 0.999);
    state.counters["late_max_ms"] = lateness.empty() ? 0.0 : lateness.back();
    state.counters["stalls_over_50ms"] = double(stalls);
    // When the worst came: seconds since the window opened, and the stations measured by then.
    state.counters["worst_at_s"] = worstAt;
    state.counters["worst_after_stations"] = worstStation;
    state.counters["rss_mb"] = StatusMegabytes("VmRSS");
    state.counters["peak_rss_mb"] = StatusMegabytes("VmHWM");

    sheet.reset();
    core->ReleaseInstrumentDevice();
    core.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

BENCHMARK(WindowWhileMeasuring)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace orv
