// How soon the instrument link is usable again after the instrument comes back. A simulated
// instrument on a pseudo-terminal goes away for one to three seconds (varied, so that its
// return falls anywhere in the retry cycle) and comes back behind the same link; the program's
// link watch, as the Main pages run it, notices the dead port, opens it again every retry
// period (CycleTimings) and checks the instrument with a battery reading. Each iteration's time
// runs from the moment the instrument is back to the first answered battery reading (manual
// time): from then on Start measures at once. The goal is under 3 s.
//
//     build/bench/bench_InstrumentLinkBench --benchmark_counters_tabular=true

#include "base/Prompt.h"
#include "base/TickClock.h"
#include "config/Configuration.h"
#include "instrument/InstrumentDevice.h"
#include "platform/QtSerialPort.h"
#include "platform/QtSettingsStore.h"
#include "session/MeasurementCycle.h"
#include "sim/InstrumentSimulator.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using namespace orv;
using Clock = std::chrono::steady_clock;

class QuietPrompt final : public Prompt
{
public:
    Answer Ask(const std::string&, const std::string&, Buttons, Icon) override
    {
        return Answer::No;
    }
    void Tell(const std::string&, const std::string&, Icon) override {}
};

// One step of the watch: a port that is not open is opened; an open one is checked with a
// battery reading. True when the instrument answered.
bool WatchStep(InstrumentDevice& device)
{
    if (!device.InstrumentOpen()) {
        std::string error;
        if (!device.OpenInstrument(device.PrepareConnect(), error)) {
            return false;
        }
    }
    PendingExchange check = device.PrepareBattery();
    check.timeoutMs = 2000;
    if (!device.Transfer(check)) {
        device.CloseInstrument();
        return false;
    }
    return true;
}

void BM_InstrumentLinkReturn(benchmark::State& state)
{
    static int argc = 1;
    static char name[] = "bench_InstrumentLinkBench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("orv-instrument-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    ::setenv("ORVCONTROL_PORT_PATTERN", (folder / "port%u").c_str(), 1);
    constexpr unsigned kPort = 3;

    sim::InstrumentOptions options;
    options.linkPath = (folder / ("port" + std::to_string(kPort))).string();
    sim::InstrumentSimulator simulator(options);
    std::string error;
    if (!simulator.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    QtSettingsStore store((folder / "settings.conf").string(), "Default values");
    QuietPrompt prompt;
    Configuration config(store, (folder / "OrvCalibration.ini").string(), prompt);
    config.LoadDefaults();
    config.BluetoothInboundPort = int(kPort);
    QtSerialPort instrument;
    QtSerialPort gps;
    InstrumentDevice device(config, instrument, gps, SteadyTickClock(), prompt, nullptr, nullptr);
    if (!WatchStep(device)) {
        state.SkipWithError("the simulated instrument does not answer");
        return;
    }
    const auto retry = std::chrono::milliseconds(CycleTimings{}.retryMs);

    double worst = 0.0;
    int iteration = 0;
    for (auto _ : state) {
        simulator.DropFor(uint32_t(1000 + 370 * (iteration++ % 6)));
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (!simulator.Dropped() && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        // The watch ticks at its own pace, whatever the instrument does; between its ticks the
        // instrument's return is caught to the millisecond.
        auto nextTick = Clock::now();
        std::optional<Clock::time_point> back;
        bool answered = false;
        while (!answered && Clock::now() < deadline) {
            while (Clock::now() < nextTick) {
                if (!back && !simulator.Dropped()) {
                    back = Clock::now();
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            nextTick += retry;
            if (!back && !simulator.Dropped()) {
                back = Clock::now();
            }
            answered = WatchStep(device) && back.has_value();
        }
        if (!answered || !back) {
            state.SkipWithError("the instrument link did not come back");
            return;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - *back).count();
        state.SetIterationTime(seconds);
        worst = std::max(worst, seconds);
    }
    state.counters["usable_worst_s"] = worst;
    device.CloseLink();
    simulator.Stop();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_InstrumentLinkReturn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(12);

}  // namespace
