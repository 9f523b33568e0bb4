// Throughput of NmeaParser::Feed over real captures, in the reader thread's 256-byte chunks:
// bytes per second and accepted sentences per second on one core.
//   Mixed: every capture of tests/data/nmea (binary, noise and all) repeated to 8 MB.
//   Clean: the multi-constellation u-blox capture, all sentences good, repeated to 8 MB.

#include "base/TickClock.h"
#include "gps/NmeaParser.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr size_t kTargetSize = 8u << 20;
constexpr size_t kChunk = 256;

const std::filesystem::path kDataDir =
    std::filesystem::path(ORV_SOURCE_DIR) / "tests" / "data" / "nmea";

std::vector<uint8_t> ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> RepeatTo(const std::vector<uint8_t>& once)
{
    std::vector<uint8_t> out;
    if (once.empty()) {
        return out;
    }
    out.reserve(kTargetSize + once.size());
    while (out.size() < kTargetSize) {
        out.insert(out.end(), once.begin(), once.end());
    }
    return out;
}

const std::vector<uint8_t>& Mixed()
{
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> once;
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(kDataDir)) {
            if (entry.path().extension() == ".nmea") {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const auto& f : files) {
            const auto bytes = ReadFile(f);
            once.insert(once.end(), bytes.begin(), bytes.end());
        }
        return RepeatTo(once);
    }();
    return data;
}

const std::vector<uint8_t>& Clean()
{
    static const std::vector<uint8_t> data =
        RepeatTo(ReadFile(kDataDir / "ublox-neo-m9n-4gnss.nmea"));
    return data;
}

void FeedAll(benchmark::State& state, const std::vector<uint8_t>& data)
{
    if (data.empty()) {
        state.SkipWithError("no capture found in tests/data/nmea");
        return;
    }
    orv::TickClock& clock = orv::SteadyTickClock();
    uint64_t sentences = 0;
    for (auto _ : state) {
        orv::NmeaParser parser(clock);
        for (size_t offset = 0; offset < data.size(); offset += kChunk) {
            const size_t n = std::min(kChunk, data.size() - offset);
            parser.Feed({data.data() + offset, n});
        }
        const orv::GpsStatus s = parser.Snapshot();
        sentences += s.sentenceCount;
        benchmark::DoNotOptimize(s.rmcLatitude);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["sentences/s"] =
        benchmark::Counter(double(sentences), benchmark::Counter::kIsRate);
}

void BM_FeedMixedCaptures(benchmark::State& state) { FeedAll(state, Mixed()); }
void BM_FeedCleanCapture(benchmark::State& state) { FeedAll(state, Clean()); }

BENCHMARK(BM_FeedMixedCaptures)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedCleanCapture)->Unit(benchmark::kMillisecond);

}  // namespace
