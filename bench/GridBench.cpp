// Gridding at screen sizes: the bilinear map of a grid survey and the cone-weighted map of a GPS
// track. Gridding 100 000 points of a track at 1920 x 1080 should take no more than 10 ms. Times
// are wall-clock: the rows are shared out on the drawings' worker threads.

#include "graphics/RegularGridInterpolator.h"
#include "graphics/ScatteredInterpolator.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace orv {
namespace {

// Arguments: stations, profiles, output width, output height.
void BM_RegularGrid(benchmark::State& state)
{
    const auto nx = static_cast<int>(state.range(0));
    const auto ny = static_cast<int>(state.range(1));
    const auto w = static_cast<int>(state.range(2));
    const auto h = static_cast<int>(state.range(3));
    std::vector<float> x(static_cast<size_t>(nx));
    std::vector<float> y(static_cast<size_t>(ny));
    std::vector<float> v(static_cast<size_t>(nx) * static_cast<size_t>(ny));
    for (int i = 0; i < nx; ++i) {
        x[size_t(i)] = float(i);
    }
    for (int j = 0; j < ny; ++j) {
        y[size_t(j)] = float(j);
        for (int i = 0; i < nx; ++i) {
            v[size_t(j * nx + i)] = 50 + 40 * std::sin(float(i) / 3) * std::cos(float(j) / 4);
        }
    }
    std::vector<float> out(size_t(w) * size_t(h));
    RegularGridInterpolator grid;
    for (auto _ : state) {
        benchmark::DoNotOptimize(grid.Grid(x, y, v, w, h, out));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * w * h);
}

BENCHMARK(BM_RegularGrid)
    ->ArgNames({"nx", "ny", "w", "h"})
    ->Args({20, 10, 240, 320})
    ->Args({20, 10, 800, 600})
    ->Args({20, 10, 1920, 1080})
    ->Args({200, 100, 240, 320})
    ->Args({200, 100, 800, 600})
    ->Args({200, 100, 1920, 1080})
    ->Args({200, 100, 3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A walked survey: lines 1 m apart across a 1600 m x 900 m field, walked back and forth, with
// GPS jitter, the conductivity varying smoothly over the field.
std::vector<ScatteredPoint> Track(size_t n)
{
    std::mt19937 rng(3);
    std::normal_distribution<float> jitter(0.0f, 1.5f);
    std::vector<ScatteredPoint> points;
    points.reserve(n);
    const double length = 1600.0;
    const double lines = std::sqrt(double(n) * 900.0 / length) + 1;  // spacing ~ along-line step
    const double spacing = 900.0 / lines;
    const double perLine = double(n) / lines;
    for (size_t k = 0; k < n; ++k) {
        const double line = std::floor(double(k) / perLine);
        double along = (double(k) - line * perLine) / perLine * length;
        if (static_cast<long>(line) % 2 == 1) {
            along = length - along;
        }
        const float px = float(along) + jitter(rng);
        const float py = float(line * spacing) + jitter(rng);
        points.push_back({px, py, 20 + 10 * std::sin(px / 90) + 5 * std::cos(py / 60)});
    }
    return points;
}

// Arguments: points, output width, output height, method (0 direct, 1 row spans, 2 diagonals).
void BM_ScatteredGrid(benchmark::State& state)
{
    const auto points = Track(static_cast<size_t>(state.range(0)));
    const auto w = static_cast<int>(state.range(1));
    const auto h = static_cast<int>(state.range(2));
    const auto method = static_cast<ScatteredInterpolator::Method>(state.range(3));
    std::vector<float> out(size_t(w) * size_t(h));
    ScatteredInterpolator grid(ScatteredInterpolator::kDefaultRadius, method);
    for (auto _ : state) {
        benchmark::DoNotOptimize(grid.Grid(points, w, h, out));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_ScatteredGrid)
    ->ArgNames({"points", "w", "h", "method"})
    ->ArgsProduct({{1000, 10000, 100000}, {800}, {600}, {0, 1, 2}})
    ->ArgsProduct({{1000, 10000, 100000}, {1920}, {1080}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace orv
