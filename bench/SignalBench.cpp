// ValuesAll over a million stored measurements, in every display unit and signal component, with
// and without the frequency filter: the work of redrawing the sections of a long survey. The
// "slots/s" counter is the figure the speed goal names.

#include "../tests/support/FakePrompt.h"
#include "../tests/support/FakeSettingsStore.h"
#include "base/MeasurementSlot.h"
#include "config/Configuration.h"
#include "signal/InverseModel.h"
#include "signal/SignalComputation.h"

#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <random>
#include <vector>

namespace orv {
namespace {

constexpr size_t kSlots = 1000000;

struct Setup
{
    Setup()
        : config(store,
                 (std::filesystem::temp_directory_path() / "orv-bench-no-such-folder" /
                  "OrvCalibration.ini")
                     .string(),
                 prompt)
    {
        // Half-spaces between 1 and 1000 mS/m: a handful of distinct readings, repeated.
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> sigma(1.0, 1000.0);
        std::vector<MeasurementSlot> pool(997);
        for (MeasurementSlot& slot : pool) {
            for (int i = 0; i < kFrequencyCount; ++i) {
                RawBlock block{};
                if (RawBlockForConductivity(sigma(rng), i, config.ActiveCalibration, block)) {
                    for (size_t k = 0; k < 4; ++k) {
                        big_endian::Store24(&slot.bytes[kBlockSize * size_t(i) + 3 * k],
                                            static_cast<uint32_t>(block[k]) & 0xFFFFFFu);
                    }
                }
            }
            little_endian::Store16(&slot.bytes[kMaskOffset], 0x3FFF);
        }
        slots.reserve(kSlots);
        for (size_t n = 0; n < kSlots; ++n) {
            slots.push_back(pool[n % pool.size()]);
        }
    }

    FakeSettingsStore store;
    FakePrompt prompt;
    Configuration config;
    std::vector<MeasurementSlot> slots;
};

Setup& Shared()
{
    static Setup setup;
    return setup;
}

// Arguments: UnitMeasure, SignalComponent, ApparentValueKind, ApplySignalFilter. ADC values
// are taken with all four corrections on (the filter and the kind do not apply to them).
void BM_ValuesAll(benchmark::State& state)
{
    Setup& s = Shared();
    s.config.UnitMeasure = static_cast<int>(state.range(0));
    s.config.SignalComponent = static_cast<int>(state.range(1));
    s.config.ApparentValueKind = static_cast<int>(state.range(2));
    s.config.ApplySignalFilter = static_cast<int>(state.range(3));
    s.config.NormalizedToCurrent = s.config.SubtractUndercompensation = s.config.PhaseEqualization =
        s.config.NormalizedToFrequency = 1;
    std::array<float, kFrequencyCount> values{};
    for (auto _ : state) {
        for (const MeasurementSlot& slot : s.slots) {
            ValuesAll(s.config, slot, values);
            benchmark::DoNotOptimize(values);
        }
    }
    state.counters["slots/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(kSlots),
                           benchmark::Counter::kIsRate);
}

void EveryUnitAndComponent(benchmark::internal::Benchmark* b)
{
    for (int component = 0; component < 3; ++component) {
        b->Args({0, component, 0, 0});
    }
    for (int kind = 0; kind < 2; ++kind) {
        for (int filter = 0; filter < 2; ++filter) {
            for (int component = 0; component < 3; ++component) {
                b->Args({1, component, kind, filter});
            }
        }
    }
}

BENCHMARK(BM_ValuesAll)
    ->ArgNames({"unit", "component", "kind", "filter"})
    ->Apply(EveryUnitAndComponent)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv
