// How soon the GPS link is usable again after the receiver comes back. A simulated receiver on
// a pseudo-terminal (a walk at 1 Hz and 9600 baud, as a handheld receiver sends) goes away for
// one to three seconds (varied, so the return falls anywhere in the reader's retry cycle and
// the receiver's epoch) and comes back on the same path; the NMEA reader, with the program's own
// options, notices, retries and reopens the port by itself. Each iteration's time runs from the
// moment the terminal is back behind its link to the port being open again (manual time); the
// counters add the time to the first valid fix read after the return, the number that matters
// for the next station's position. The goal is under 3 s.
//
//     build/bench/bench_GpsLinkBench --benchmark_counters_tabular=true

#include "base/MessagePoster.h"
#include "base/Prompt.h"
#include "base/SystemClock.h"
#include "base/TickClock.h"
#include "gps/GpsMatcher.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaReader.h"
#include "platform/QtSerialPort.h"
#include "sim/GpsSimulator.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
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

class NoClock final : public SystemClock
{
public:
    bool Set(const UtcTime&) override { return false; }
};

template <typename Done>
bool WaitFor(Done done, std::chrono::seconds limit = std::chrono::seconds(30))
{
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

void BM_GpsLinkReturn(benchmark::State& state)
{
    static int argc = 1;
    static char name[] = "bench_GpsLinkBench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const std::string link =
        (std::filesystem::temp_directory_path() / ("orv-gps-bench-" + std::to_string(::getpid())))
            .string();
    sim::GpsSimulatorOptions options;
    options.linkPath = link;
    options.rate = 1.0;
    options.baud = 9600;
    sim::GpsSimulator simulator;
    std::string error;
    if (!simulator.Start(options, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    TickClock& ticks = SteadyTickClock();
    NmeaParser parser(ticks);
    GpsMatcher matcher(ticks);
    NoClock clock;
    QuietPrompt prompt;
    QtSerialPort port;
    NmeaReader reader(parser, matcher, clock, ticks, prompt);
    if (!reader.StartReader(port, {link, 9600}) ||
        !WaitFor([&] { return reader.LinkState().haveFix; })) {
        state.SkipWithError("no fix from the simulated receiver");
        return;
    }

    double fixTotal = 0.0;
    double fixWorst = 0.0;
    double openWorst = 0.0;
    int iteration = 0;
    for (auto _ : state) {
        const uint32_t opens = reader.LinkState().opens;
        simulator.Disappear(1.0 + 0.37 * double(iteration++ % 6));
        if (!WaitFor([&] { return reader.LinkState().kind == GpsLinkState::Kind::Lost; }) ||
            !WaitFor([&] { return !simulator.Gone(); })) {
            state.SkipWithError("the receiver did not go away and come back");
            return;
        }
        const auto back = Clock::now();
        const uint32_t backTick = ticks.Now();
        if (!WaitFor([&] { return reader.LinkState().opens > opens; })) {
            state.SkipWithError("the port was not reopened");
            return;
        }
        const auto open = Clock::now();
        if (!WaitFor([&] {
                const GpsLinkState s = reader.LinkState();
                return s.haveFix && int32_t(s.lastFixTick - backTick) > 0;
            })) {
            state.SkipWithError("no fix after the return");
            return;
        }
        const auto fixed = Clock::now();
        const double openSeconds = std::chrono::duration<double>(open - back).count();
        const double fixSeconds = std::chrono::duration<double>(fixed - back).count();
        state.SetIterationTime(openSeconds);
        openWorst = std::max(openWorst, openSeconds);
        fixWorst = std::max(fixWorst, fixSeconds);
        fixTotal += fixSeconds;
    }
    state.counters["open_worst_s"] = openWorst;
    state.counters["first_fix_mean_s"] =
        state.iterations() > 0 ? fixTotal / double(state.iterations()) : 0.0;
    state.counters["first_fix_worst_s"] = fixWorst;
    reader.StopReader(true);
    simulator.Stop();
}
BENCHMARK(BM_GpsLinkReturn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(12);

}  // namespace
