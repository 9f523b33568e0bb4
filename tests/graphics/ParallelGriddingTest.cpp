// The gridding and painting paths that share rows out on worker threads, and the pool itself.
// The oracle is the picture of one thread walking the cells one by one, as the handheld did: the
// straightforward bilinear loop and smoothing are kept here for that; the pictures must agree
// bit for bit at every size, on any number of threads, NoValue holes included.

#include "base/NoValue.h"
#include "charts/ColourChart.h"
#include "graphics/GridInterpolator.h"
#include "graphics/PixelPalette.h"
#include "graphics/RegularGridInterpolator.h"
#include "graphics/ScatteredInterpolator.h"
#include "graphics/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

namespace orv {
namespace {

// The bilinear step cell by cell, x and y walked as the handheld walked them.
void StraightBilinear(const std::vector<float>& x, const std::vector<float>& y,
                      const std::vector<float>& values, int outW, int outH, std::vector<float>& out)
{
    const size_t nx = x.size();
    const size_t ny = y.size();
    const float dx = (x[nx - 1] - x[0]) / float(outW - 1);
    const float dy = (y[ny - 1] - y[0]) / float(outH - 1);
    float yy = y[0];
    size_t i = 0;
    for (int row = 0; row < outH; ++row) {
        float xx = x[0];
        size_t k = 0;
        for (int col = 0; col < outW; ++col) {
            const float a = values[i * nx + k];
            const float b = values[i * nx + k + 1];
            const float c = values[(i + 1) * nx + k];
            const float d0 = values[(i + 1) * nx + k + 1];
            float result = kNoValue;
            if (!IsNoValue(a) && !IsNoValue(b) && !IsNoValue(c) && !IsNoValue(d0)) {
                float e = (a + b) * 0.5f;
                float d = (c + d0) * 0.5f;
                if (x[k + 1] != x[k]) {
                    const float u = xx - x[k];
                    const float v = x[k + 1] - xx;
                    e = (a * v + b * u) / (x[k + 1] - x[k]);
                    d = (c * v + d0 * u) / (x[k + 1] - x[k]);
                }
                result = y[i + 1] != y[i]
                             ? ((yy - y[i]) * d + (y[i + 1] - yy) * e) / (y[i + 1] - y[i])
                             : (d + e) * 0.5f;
            }
            out[size_t(row) * size_t(outW) + size_t(col)] = result;
            xx += dx;
            while (k + 2 < nx && xx > x[k + 1]) {
                ++k;
            }
        }
        yy += dy;
        while (i + 2 < ny && yy > y[i + 1]) {
            ++i;
        }
    }
}

// The 5 x 5 mean from a copy, window by window, its 25 cells summed row by row.
void StraightSmooth(std::vector<float>& grid, int w, int h)
{
    if (h < 5 || w < 5) {
        return;
    }
    const std::vector<float> copy = grid;
    const auto at = [&](int r, int c) { return copy[size_t(r) * size_t(w) + size_t(c)]; };
    for (int r = 2; r + 2 < h; ++r) {
        for (int c = 2; c + 2 < w; ++c) {
            if (IsNoValue(at(r + 2, c - 2))) {
                return;
            }
            if (IsNoValue(at(r, c + 2))) {
                break;
            }
            float sum = 0.0f;
            bool missing = false;
            for (int dr = -2; dr <= 2; ++dr) {
                float s = 0.0f;
                for (int dc = -2; dc <= 2; ++dc) {
                    s += at(r + dr, c + dc);
                    missing = missing || IsNoValue(at(r + dr, c + dc));
                }
                sum += s;
            }
            if (!missing) {
                grid[size_t(r) * size_t(w) + size_t(c)] = sum * 0.04f;
            }
        }
    }
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(WorkerPool, RunsEveryTaskOnceAlsoNestedAndFromTwoThreads)
{
    for (const int threads : {1, 2, 5}) {
        SCOPED_TRACE(threads);
        WorkerPool pool(threads);
        for (const int count : {0, 1, 2, 7, 100}) {
            std::vector<std::atomic<int>> runs(size_t(count) + 1);
            pool.Run(count, [&](int i) { ++runs[size_t(i)]; });
            for (int i = 0; i < count; ++i) {
                EXPECT_EQ(runs[size_t(i)].load(), 1) << "task " << i << " of " << count;
            }
            EXPECT_EQ(runs[size_t(count)].load(), 0);
        }
        // A task that starts a job of its own, and two callers at once: the inner and the
        // second job run on their callers.
        std::atomic<int> inner{0};
        pool.Run(4, [&](int) { pool.Run(3, [&](int) { ++inner; }); });
        EXPECT_EQ(inner.load(), 12);
        std::atomic<int> both{0};
        std::thread other([&] { pool.Run(50, [&](int) { ++both; }); });
        pool.Run(50, [&](int) { ++both; });
        other.join();
        EXPECT_EQ(both.load(), 100);
    }
}

TEST(ParallelGridding, BilinearAndSmoothingMatchTheStraightLoopsOnAnyPool)
{
    WorkerPool one(1);
    WorkerPool three(3);
    std::mt19937 rng(20);
    std::uniform_real_distribution<float> value(-50.0f, 250.0f);
    struct Case
    {
        const char* legend;
        int nx, ny, outW, outH;
        int holes;  // stations that are NoValue
        bool zeroStep;
    };
    const Case cases[] = {
        {"handheld screen", 20, 12, 240, 320, 0, false},
        {"more rows than a band", 200, 100, 700, 530, 0, false},
        {"fewer cells than stations", 200, 100, 90, 45, 0, false},
        {"one band only", 5, 4, 31, 9, 0, false},
        {"holes stop rows and the grid", 30, 20, 400, 300, 6, false},
        {"a station step of 0", 12, 9, 150, 140, 0, true},
        {"narrowest smoothed grid", 2, 2, 5, 5, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::vector<float> x(size_t(c.nx));
        std::vector<float> y(size_t(c.ny));
        float position = 0.0f;
        for (float& p : x) {
            p = position;
            position += c.zeroStep && &p == &x[3] ? 0.0f : 0.5f + value(rng) / 500.0f;
        }
        for (size_t j = 0; j < y.size(); ++j) {
            y[j] = c.zeroStep && j == 5 ? y[j - 1] : float(j) * 1.25f;
        }
        std::vector<float> v(size_t(c.nx) * size_t(c.ny));
        for (float& s : v) {
            s = value(rng);
        }
        for (int n = 0; n < c.holes; ++n) {
            v[size_t(rng()) % v.size()] = kNoValue;
        }
        std::vector<float> expected(size_t(c.outW) * size_t(c.outH));
        StraightBilinear(x, y, v, c.outW, c.outH, expected);
        StraightSmooth(expected, c.outW, c.outH);
        for (WorkerPool* pool : {&one, &three}) {
            std::vector<float> out(expected.size(), -1.0f);
            RegularGridInterpolator grid(pool);
            ASSERT_TRUE(grid.Grid(x, y, v, c.outW, c.outH, out));
            EXPECT_TRUE(SameBits(out, expected)) << pool->Threads() << " threads";
        }
    }
}

TEST(ParallelGridding, SmoothingStopsWhereTheStraightLoopStops)
{
    // Grids with NoValue cells scattered, in the first column (which abandons the rest of the
    // grid) and near the right edge (which ends rows): the same cells smoothed, the same left.
    WorkerPool one(1);
    WorkerPool two(2);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    for (int trial = 0; trial < 300; ++trial) {
        SCOPED_TRACE(trial);
        const int w = 5 + int(rng() % 60);
        const int h = 5 + int(rng() % (trial % 10 == 0 ? 400 : 60));
        const unsigned holes = trial % 4 == 0 ? 0 : 1 + rng() % 40;
        std::vector<float> grid(size_t(w) * size_t(h));
        for (float& cell : grid) {
            cell = rng() % 1000 < holes ? kNoValue : value(rng);
        }
        if (trial % 7 == 3) {
            grid[size_t(int(rng() % unsigned(h))) * size_t(w)] = kNoValue;
        }
        if (trial % 5 == 2) {
            grid[size_t(int(rng() % unsigned(h))) * size_t(w) + size_t(w - 1)] = kNoValue;
        }
        std::vector<float> expected = grid;
        StraightSmooth(expected, w, h);
        for (WorkerPool* pool : {&one, &two}) {
            std::vector<float> out = grid;
            ASSERT_TRUE(GridInterpolator::Smooth(out, w, h, *pool));
            EXPECT_TRUE(SameBits(out, expected)) << pool->Threads() << " threads";
        }
    }
}

TEST(ParallelGridding, ScatteredRowsAreTheSameOnAnyPool)
{
    WorkerPool one(1);
    WorkerPool four(4);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> place(0.0f, 300.0f);
    std::uniform_real_distribution<float> value(1.0f, 90.0f);
    const struct
    {
        int points, outW, outH, radius;
    } cases[] = {{500, 240, 320, 50}, {20000, 800, 600, 50}, {3000, 333, 1000, 7}, {40, 64, 64, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.points << " points, " << c.outW << " x " << c.outH);
        std::vector<ScatteredPoint> points;
        for (int n = 0; n < c.points; ++n) {
            points.push_back({place(rng), place(rng) * 0.6f, value(rng)});
        }
        std::vector<float> serial(size_t(c.outW) * size_t(c.outH));
        std::vector<float> parallel(serial.size());
        const ScatteredInterpolator byOne(c.radius, ScatteredInterpolator::Method::Diagonals, &one);
        const ScatteredInterpolator byFour(c.radius, ScatteredInterpolator::Method::Diagonals,
                                           &four);
        ASSERT_TRUE(byOne.Grid(points, c.outW, c.outH, serial));
        ASSERT_TRUE(byFour.Grid(points, c.outW, c.outH, parallel));
        EXPECT_TRUE(SameBits(serial, parallel));
    }
}

TEST(PixelPalette, GivesTheChartsColourForEveryValue)
{
    std::vector<ColourChart> charts(5);
    charts[1].AppendColour(0x123456);
    charts[2].LoadPreset(ColourPreset::Res2dinv);
    charts[3].LoadPreset(ColourPreset::CoolWarm);
    ASSERT_TRUE(charts[3].SetRange(-3.0f, 7.5f));
    charts[4].LoadPreset(ColourPreset::Viridis);
    // A range too narrow for a float step.
    ASSERT_TRUE(charts[4].SetRange(1.0f, std::nextafter(1.0f, 2.0f)));
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> spread(-20.0f, 20.0f);
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 kNoValue,
                                 -kNoValue,
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN(),
                                 1.0f,
                                 std::nextafter(1.0f, 2.0f)};
    for (int n = 0; n < 200000; ++n) {
        values.push_back(spread(rng));
    }
    for (size_t k = 0; k < charts.size(); ++k) {
        SCOPED_TRACE(k);
        const ColourChart& chart = charts[k];
        // Every stop and the values just beside it.
        for (int s = 0; s < chart.Count(); ++s) {
            const float at = chart.Minimum() + float(s) * chart.Step();
            values.push_back(at);
            values.push_back(std::nextafter(at, -kNoValue));
            values.push_back(std::nextafter(at, kNoValue));
        }
        const PixelPalette palette(chart);
        int wrong = 0;
        for (const float v : values) {
            wrong += palette.WordAt(v) != PixelWordOf(chart.ColourAt(v)) ? 1 : 0;
        }
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
}  // namespace orv
