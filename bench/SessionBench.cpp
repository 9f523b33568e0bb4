// Opening and saving a long GPS track (100 000 stations, about 19.6 MB), against plainly copying
// the same bytes in the same run: the reader's checks and the writer's atomic replace should
// cost little beyond moving the bytes.

#include "../tests/support/NullPlatform.h"
#include "base/AtomicFile.h"
#include "base/ByteOrder.h"
#include "base/Prompt.h"
#include "config/Configuration.h"
#include "config/SettingsStore.h"
#include "survey/SessionFile.h"
#include "survey/TrackSurvey.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace orv;

constexpr int kStations = 100000;

struct Fixture
{
    Fixture()
    {
        folder = std::filesystem::temp_directory_path() / ("orv-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        config = std::make_unique<Configuration>(settings, (folder / "none.ini").string(), prompt);
        config->WorkType = work_type::kGpsTrack;
        track = std::make_unique<TrackSurvey>(*config);
        for (int i = 0; i < kStations; ++i) {
            MeasurementSlot slot;
            for (size_t k = 0; k < kMaskOffset; ++k) {
                slot.bytes[k] = uint8_t(i + int(k));
            }
            little_endian::Store16(&slot.bytes[kMaskOffset], 0x3FFF);
            slot.bytes[kSerialOffset] = 9;
            slot.SetTickStamp(uint32_t(1000 + i * 1000));
            static_cast<void>(track->StoreMeasurement(slot));
            track->AssignPosition(i, {59.9 + i * 1e-6, 10.7 + i * 1e-6, uint32_t(1000 + i * 1000)});
        }
        path = (folder / "track.orv").string();
        std::string error;
        if (!SaveSession(*track, path, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
        image = track->SessionImage();
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
    std::unique_ptr<TrackSurvey> track;
    std::string path;
    std::vector<uint8_t> image;
};

Fixture& Data()
{
    static Fixture fixture;
    return fixture;
}

std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::vector<uint8_t> bytes(std::filesystem::file_size(path));
    const int fd = ::open(path.c_str(), O_RDONLY);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            break;
        }
        done += size_t(n);
    }
    ::close(fd);
    return bytes;
}

void OpenTrack(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        std::string error;
        auto survey = OpenSession(f.path, *f.config, error);
        if (!survey || survey->Slots().Count() != kStations) {
            state.SkipWithError(("the track did not open: " + error).c_str());
            break;
        }
        benchmark::DoNotOptimize(survey.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.image.size()));
}
BENCHMARK(OpenTrack)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes read from the file and copied, without any checks.
void PlainRead(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        std::vector<uint8_t> bytes = ReadAll(f.path);
        std::vector<uint8_t> copy(bytes);
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.image.size()));
}
BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void SaveTrack(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        std::string error;
        if (!f.track->Save(f.path, true, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.image.size()));
}
BENCHMARK(SaveTrack)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes written the same safe way (temporary file, flush, rename), nothing built.
void PlainAtomicWrite(benchmark::State& state)
{
    Fixture& f = Data();
    const std::string copy = (f.folder / "copy.orv").string();
    for (auto _ : state) {
        std::string error;
        if (!WriteFileAtomically(copy, f.image, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.image.size()));
}
BENCHMARK(PlainAtomicWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

// Building the image alone, and reading it from memory alone: the part that is ours.
void BuildImage(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        std::vector<uint8_t> image = f.track->SessionImage();
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.image.size()));
}
BENCHMARK(BuildImage)->Unit(benchmark::kMillisecond)->UseRealTime();

void ReadImage(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        std::string error;
        auto survey = ReadSession(f.image, *f.config, error);
        if (!survey || survey->Slots().Count() != kStations) {
            state.SkipWithError(("the image was not read: " + error).c_str());
            break;
        }
        benchmark::DoNotOptimize(survey.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.image.size()));
}
BENCHMARK(ReadImage)->Unit(benchmark::kMillisecond)->UseRealTime();

void PlainMemoryCopy(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        std::vector<uint8_t> copy(f.image);
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.image.size()));
}
BENCHMARK(PlainMemoryCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
