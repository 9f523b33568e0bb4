// Full redraws of the Main page's colour maps, in frames per second: the map of a 200 x 100
// grid survey and the map of a 100 000-record GPS track, on the handheld's 240 x 320 screen, on
// a 1920 x 1080 one and on a 3840 x 2160 tablet; the map and the section as the page draws them;
// also the track view of those 100 000 records. Each frame clears the canvas and recomputes every
// value from the raw measurements, as the page does. The survey lies over a buried conductive body,
// measured by the instrument simulator. Labels go to a painter that draws nothing, so the figures
// are those of the drawing code itself.

#include "../tests/support/FakePrompt.h"
#include "../tests/support/FakeSettingsStore.h"
#include "config/Configuration.h"
#include "graphics/GraphicChoice.h"
#include "graphics/MapDrawing.h"
#include "graphics/PlotCanvas.h"
#include "graphics/TextPainter.h"
#include "graphics/TrackDrawing.h"
#include "sim/InstrumentSimulator.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <vector>

namespace orv {
namespace {

constexpr int kStations = 200;
constexpr int kProfiles = 100;
constexpr int kTrackRecords = 100000;

class NoTextPainter final : public TextPainter
{
public:
    TextExtent Measure(std::string_view text) override { return {int(text.size()) * 6, 13}; }
    void Draw(PlotCanvas&, int, int, std::string_view, Colour) override {}
};

struct Setup
{
    Setup()
        : config(store,
                 (std::filesystem::temp_directory_path() / "orv-bench-no-such-folder" /
                  "OrvCalibration.ini")
                     .string(),
                 prompt)
    {
        config.UnitMeasure = 1;
        config.ApparentValueKind = 1;
        config.AreaChart.LoadPreset(ColourPreset::Res2dinv);
        sim::InstrumentOptions options;
        options.ground = sim::GroundModel::Body(10.0, 100.0, 120.0, 60.0, 4.0, 20.0);
        const sim::InstrumentSimulator simulator(options);
        // The readings repeat along a profile every 1 m of the body's smooth field; measuring
        // each station once is what a real survey gives.
        grid.resize(size_t(kStations) * kProfiles);
        const GridSurveyData layout{grid, kStations, kProfiles, 1.0f, 1.0f};
        for (int p = 0; p < kProfiles; ++p) {
            for (int s = 0; s < kStations; ++s) {
                MeasurementSlot& slot = grid[size_t(layout.SlotIndex(p, s))];
                static_cast<void>(slot.AssignReply(simulator.ReadingsAt(s, p, 0x3FFF)));
            }
        }
        // A walk to and fro over 316 lines of 316 stations, 0.8 m apart, with some wander.
        const int perLine = 316;
        for (int i = 0; i < kTrackRecords; ++i) {
            const int line = i / perLine;
            const int k = line % 2 == 0 ? i % perLine : perLine - 1 - i % perLine;
            const float x = 0.8f * float(k);
            const float y = 0.8f * float(line) + 0.2f * std::sin(0.3f * float(i));
            MeasurementSlot slot;
            static_cast<void>(slot.AssignReply(simulator.ReadingsAt(x, y, 0x3FFF)));
            track.push_back(slot);
            local.push_back({x, y});
        }
        local.push_back(local.back());
    }

    FakeSettingsStore store;
    FakePrompt prompt;
    Configuration config;
    NoTextPainter text;
    std::vector<MeasurementSlot> grid;
    std::vector<MeasurementSlot> track;
    std::vector<LocalPoint> local;
};

Setup& Shared()
{
    static Setup setup;
    return setup;
}

void Frames(benchmark::State& state)
{
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void GridMapRedraw(benchmark::State& state)
{
    Setup& setup = Shared();
    PlotCanvas canvas;
    if (!canvas.Create(int(state.range(0)), int(state.range(1)))) {
        state.SkipWithError("no canvas");
        return;
    }
    const DrawContext context{canvas, setup.text, setup.config, setup.prompt};
    const GridSurveyData survey{setup.grid, kStations, kProfiles, 1.0f, 1.0f};
    const FrameRect frame{0, 0, canvas.Width(), canvas.Height()};
    for (auto _ : state) {
        canvas.Clear();
        benchmark::DoNotOptimize(DrawGridMap(context, survey, kProfiles - 1, 7, frame));
    }
    Frames(state);
}

void TrackMapRedraw(benchmark::State& state)
{
    Setup& setup = Shared();
    PlotCanvas canvas;
    if (!canvas.Create(int(state.range(0)), int(state.range(1)))) {
        state.SkipWithError("no canvas");
        return;
    }
    const DrawContext context{canvas, setup.text, setup.config, setup.prompt};
    const TrackSurveyData survey{setup.track, setup.local, kTrackRecords};
    const FrameRect frame{0, 0, canvas.Width(), canvas.Height()};
    for (auto _ : state) {
        canvas.Clear();
        benchmark::DoNotOptimize(DrawTrackMap(context, survey, 7, 50, frame));
    }
    Frames(state);
}

// The page's own path: the map or the section as DrawGraphicFrame draws it (with what goes
// around the picture), frame 1001 or 1002 of the grid survey.
void GridGraphicRedraw(benchmark::State& state)
{
    Setup& setup = Shared();
    PlotCanvas canvas;
    if (!canvas.Create(int(state.range(0)), int(state.range(1)))) {
        state.SkipWithError("no canvas");
        return;
    }
    const DrawContext context{canvas, setup.text, setup.config, setup.prompt};
    const GridSurveyData data{setup.grid, kStations, kProfiles, 1.0f, 1.0f};
    const SurveyView survey{&data, nullptr};
    const GraphicTarget target{kProfiles - 1, kStations / 2, 7};
    const FrameRect frame{0, 0, canvas.Width(), canvas.Height()};
    const int graphic = int(state.range(2));
    for (auto _ : state) {
        canvas.Clear();
        benchmark::DoNotOptimize(DrawGraphicFrame(context, survey, graphic, target, frame, false));
    }
    Frames(state);
}

void TrackViewRedraw(benchmark::State& state)
{
    Setup& setup = Shared();
    PlotCanvas canvas;
    if (!canvas.Create(int(state.range(0)), int(state.range(1)))) {
        state.SkipWithError("no canvas");
        return;
    }
    const TrackSurveyData survey{setup.track, setup.local, kTrackRecords / 2};
    const FrameRect frame{0, 0, canvas.Width(), canvas.Height()};
    for (auto _ : state) {
        canvas.Clear();
        benchmark::DoNotOptimize(DrawTrack(canvas, setup.config, survey, frame));
    }
    Frames(state);
}

// Frames per second are counted in wall-clock time: a frame's rows are shared out on the
// drawings' worker threads, whose time the calling thread's clock does not see.
BENCHMARK(GridMapRedraw)
    ->Args({240, 320})
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(TrackMapRedraw)
    ->Args({240, 320})
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(GridGraphicRedraw)
    ->Args({240, 320, graphic_frame::kMap})
    ->Args({1920, 1080, graphic_frame::kMap})
    ->Args({3840, 2160, graphic_frame::kMap})
    ->Args({240, 320, graphic_frame::kSection})
    ->Args({1920, 1080, graphic_frame::kSection})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(TrackViewRedraw)
    ->Args({240, 320})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace orv
