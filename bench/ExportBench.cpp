// Exporting a long GPS track (100 000 stations, all 14 frequencies) in each format, against
// plainly writing the same bytes the same safe way (temporary file, flush, rename): the cost of
// computing, placing and formatting beyond moving the bytes. Collecting the values (the signal
// computation of every station and frequency) is measured on its own.

#include "../tests/support/NullPlatform.h"
#include "base/AtomicFile.h"
#include "base/Prompt.h"
#include "config/Configuration.h"
#include "config/SettingsStore.h"
#include "exchange/ExportSource.h"
#include "exchange/Exporter.h"
#include "exchange/StationTable.h"
#include "signal/SignalComputation.h"
#include "sim/InstrumentSimulator.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace orv;

constexpr int kStations = 100000;

// A walk to and fro over a field, lines 1 m apart with a station every metre, from 59.9 N
// 10.7 E, measured over a buried body.
struct Fixture
{
    Fixture()
    {
        folder = std::filesystem::temp_directory_path() /
                 ("orv-export-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        config = std::make_unique<Configuration>(settings, (folder / "none.ini").string(), prompt);
        config->WorkType = work_type::kGpsTrack;
        config->UnitMeasure = unit_measure::kApparent;
        config->ApparentValueKind = apparent_kind::kConductivity;
        config->UsedFrequencies.fill(1);
        sim::InstrumentOptions options;
        options.ground = sim::GroundModel::Body(10.0, 100.0, 150.0, 150.0, 10.0, 20.0);
        const sim::InstrumentSimulator simulator(options);
        const int perLine = 317;
        const double k = std::numbers::pi / 180.0 * 6371000.0;
        for (int i = 0; i < kStations; ++i) {
            const int line = i / perLine;
            const int step = line % 2 == 0 ? i % perLine : perLine - 1 - i % perLine;
            const double x = step;
            const double y = line + 0.3 * std::sin(0.7 * (step + line));
            MeasurementSlot slot;
            static_cast<void>(slot.AssignReply(simulator.ReadingsAt(x, y, 0x3FFF)));
            slot.SetTickStamp(uint32_t(1000 + i * 1000));
            slots.push_back(slot);
            positions.push_back({59.9 + y / k,
                                 10.7 + x / (k * std::cos(59.9 * std::numbers::pi / 180.0)),
                                 slot.TickStamp()});
        }
        source.workType = work_type::kGpsTrack;
        source.slots = slots;
        source.positions = positions;
        source.texts = {"Long walk", "", ""};
        std::string error;
        if (!CollectStations(*config, source, {}, table, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
    }
    ~Fixture()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    std::filesystem::path folder;
    NoSettings settings;
    NoPrompt prompt;
    std::unique_ptr<Configuration> config;
    std::vector<MeasurementSlot> slots;
    std::vector<GpsFix> positions;
    ExportSource source;
    StationTable table;
    std::map<ExportFormat, std::vector<uint8_t>> written;  // the bytes of each format's file
};

Fixture& Data()
{
    static Fixture fixture;
    return fixture;
}

const ExportFormat kFormats[] = {
    ExportFormat::GeoPackage, ExportFormat::GeoJson,    ExportFormat::Kml,    ExportFormat::Gpx,
    ExportFormat::Csv,        ExportFormat::GeosoftXyz, ExportFormat::GeoTiff};

std::string PathOf(const Fixture& f, ExportFormat format)
{
    return (f.folder / (std::string("walk") + FormatExtension(format))).string();
}

void Collect(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        StationTable table;
        std::string error;
        if (!CollectStations(*f.config, f.source, {}, table, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(table.values.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kStations);
}
BENCHMARK(Collect)->Unit(benchmark::kMillisecond)->UseRealTime();

void Export(benchmark::State& state)
{
    Fixture& f = Data();
    const ExportFormat format = kFormats[state.range(0)];
    state.SetLabel(FormatName(format));
    ExportOptions options;
    options.format = format;
    const std::string path = PathOf(f, format);
    for (auto _ : state) {
        ExportResult result;
        std::string error;
        if (!WriteExport(f.table, options, path, {}, result, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    std::ifstream in(path, std::ios::binary);
    f.written[format] = {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.written[format].size()));
}
BENCHMARK(Export)
    ->DenseRange(0, std::size(kFormats) - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The bytes the export of the same format wrote, written atomically with nothing to compute.
void PlainCopy(benchmark::State& state)
{
    Fixture& f = Data();
    const ExportFormat format = kFormats[state.range(0)];
    state.SetLabel(FormatName(format));
    const std::vector<uint8_t>& bytes = f.written[format];
    const std::string path = PathOf(f, format) + ".copy";
    for (auto _ : state) {
        std::string error;
        if (!WriteFileAtomically(path, bytes, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(PlainCopy)
    ->DenseRange(0, std::size(kFormats) - 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
