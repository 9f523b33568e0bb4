#include "graphics/Drawing.h"

#include "base/NoValue.h"
#include "base/Prompt.h"
#include "charts/ColourChart.h"
#include "config/Configuration.h"
#include "graphics/PixelPalette.h"
#include "graphics/PlotCanvas.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>

namespace orv {

void ReportInsufficientMemory(Prompt& prompt)
{
    prompt.Tell(kInsufficientMemory, "Orv Control", Icon::Error);
}

bool AllocateCells(Prompt& prompt, std::vector<float>& cells, size_t n, float fill)
{
    try {
        cells.assign(n, fill);
    } catch (const std::bad_alloc&) {
        cells.clear();
        cells.shrink_to_fit();
        ReportInsufficientMemory(prompt);
        return false;
    }
    return true;
}

bool TakeWorkingCells(const DrawContext& context, size_t n, std::span<float>& cells)
{
    std::vector<float>& working = context.canvas.WorkingCells();
    try {
        working.resize(n);
    } catch (const std::bad_alloc&) {
        working.clear();
        working.shrink_to_fit();
        ReportInsufficientMemory(context.prompt);
        return false;
    }
    cells = std::span<float>(working.data(), n);
    return true;
}

namespace {

// The smallest and largest of the cells that hold a value, as one pass in order with std::min
// and std::max would find them: equal extremes (0 and -0) keep the first.
struct Extremes
{
    bool any = false;
    float minimum = 0.0f;
    float maximum = 0.0f;
};

Extremes FindExtremes(const float* cells, size_t n)
{
    // Eight lanes that the compiler can keep in vector registers. A cell holds a value when it
    // is finite and not NoValue, the largest finite float: -max <= v < max, false for NaN.
    constexpr size_t kLanes = 8;
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    std::array<float, kLanes> low;
    std::array<float, kLanes> high;
    low.fill(kInfinity);
    high.fill(-kInfinity);
    size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        for (size_t k = 0; k < kLanes; ++k) {
            const float v = cells[i + k];
            const bool holds = v < kNoValue && v >= -kNoValue;
            const float forLow = holds ? v : kInfinity;
            const float forHigh = holds ? v : -kInfinity;
            low[k] = forLow < low[k] ? forLow : low[k];
            high[k] = high[k] < forHigh ? forHigh : high[k];
        }
    }
    for (; i < n; ++i) {
        const float v = cells[i];
        if (v < kNoValue && v >= -kNoValue) {
            low[0] = v < low[0] ? v : low[0];
            high[0] = high[0] < v ? v : high[0];
        }
    }
    Extremes e;
    e.minimum = *std::min_element(low.begin(), low.end());
    e.maximum = *std::max_element(high.begin(), high.end());
    e.any = e.minimum != kInfinity;
    // The lanes may have met 0 and -0 in another order: the first zero in the cells decides.
    if (e.any && (e.minimum == 0.0f || e.maximum == 0.0f)) {
        const float zero = *std::find(cells, cells + n, 0.0f);
        if (e.minimum == 0.0f) {
            e.minimum = zero;
        }
        if (e.maximum == 0.0f) {
            e.maximum = zero;
        }
    }
    return e;
}

}  // namespace

void ApplyAutomaticRange(ColourChart& chart, std::span<const float> cells, WorkerPool& workers)
{
    // Each band finds its own extremes; the bands' are then taken in order, which again keeps
    // the first of equal extremes.
    constexpr size_t kMinBandCells = size_t{1} << 16;
    const size_t bands = std::clamp<size_t>(cells.size() / kMinBandCells, 1, WorkerPool::kMaxBands);
    std::array<Extremes, WorkerPool::kMaxBands> found{};
    const auto start = [&](size_t band) { return cells.size() / bands * band; };
    workers.Run(static_cast<int>(bands), [&](int band) {
        const auto b = static_cast<size_t>(band);
        const size_t end = b + 1 == bands ? cells.size() : start(b + 1);
        found[b] = FindExtremes(cells.data() + start(b), end - start(b));
    });
    Extremes all;
    for (size_t b = 0; b < bands; ++b) {
        const Extremes& e = found[b];
        if (!e.any) {
            continue;
        }
        if (!all.any) {
            all = e;
            continue;
        }
        all.minimum = std::min(all.minimum, e.minimum);
        all.maximum = std::max(all.maximum, e.maximum);
    }
    float minimum = all.minimum;
    float maximum = all.maximum;
    if (!all.any || IsFlatRange(minimum, maximum)) {
        return;
    }
    if (chart.IsDiverging() && minimum < 0.0f && maximum > 0.0f) {
        const float reach = std::max(-minimum, maximum);
        minimum = -reach;
        maximum = reach;
    }
    static_cast<void>(chart.SetRange(minimum, maximum));
}

bool IsFlatRange(float minimum, float maximum)
{
    if (!(minimum < maximum)) {
        return true;
    }
    const float magnitude = std::max(std::fabs(minimum), std::fabs(maximum));
    const float ulp = std::nextafter(magnitude, kNoValue) - magnitude;
    return maximum - minimum <= static_cast<float>(kFlatRangeUlps) * ulp;
}

void PaintCells(PlotCanvas& canvas, const ColourChart& chart, std::span<const float> cells,
                int outW, int outH, int e, const FrameRect& clip, WorkerPool& workers)
{
    if (outW <= 0 || outH <= 0 || e <= 0 || cells.size() < size_t(outW) * size_t(outH)) {
        return;
    }
    // The pixels the cells cover, within the clip rectangle and the canvas; each belongs to
    // exactly one cell, so the rows can be painted in any order.
    const int64_t left = std::max<int64_t>({clip.left, 0});
    const int64_t top = std::max<int64_t>({clip.top, 0});
    const int64_t right =
        std::min<int64_t>({clip.right, canvas.Width(), int64_t{clip.left} + int64_t{outW} * e});
    const int64_t bottom =
        std::min<int64_t>({clip.bottom, canvas.Height(), int64_t{clip.top} + int64_t{outH} * e});
    if (left >= right || top >= bottom) {
        return;
    }
    const PixelPalette palette(chart);
    PixelWord* pixels = canvas.PixelData();
    float* values = canvas.ValueData();
    const auto stride = static_cast<size_t>(canvas.Width());
    const auto rows = static_cast<int>(bottom - top);
    constexpr int kMinBandRows = 32;
    const int bands = WorkerPool::BandCount(rows, kMinBandRows);
    std::array<bool, WorkerPool::kMaxBands> painted{};
    workers.Run(bands, [&](int band) {
        const int64_t first = top + WorkerPool::BandStart(rows, bands, band);
        const int64_t end = top + WorkerPool::BandStart(rows, bands, band + 1);
        bool any = false;
        for (int64_t y = first; y < end; ++y) {
            const float* cellRow = &cells[static_cast<size_t>((y - clip.top) / e) * size_t(outW)];
            PixelWord* pixelRow = pixels + static_cast<size_t>(y) * stride;
            float* valueRow =
                values != nullptr ? values + static_cast<size_t>(y) * stride : nullptr;
            if (e == 1) {
                const float* cell = cellRow + (left - clip.left);
                for (int64_t x = left; x < right; ++x, ++cell) {
                    const float v = *cell;
                    if (IsNoValue(v)) {
                        continue;
                    }
                    pixelRow[x] = palette.WordAt(v);
                    if (valueRow != nullptr) {
                        valueRow[x] = v;
                    }
                    any = true;
                }
                continue;
            }
            // Cell by cell, each over the pixels of its row that lie inside.
            int64_t c = (left - clip.left) / e;
            for (int64_t x = left; x < right; ++c) {
                const int64_t next = std::min<int64_t>(clip.left + (c + 1) * e, right);
                const float v = cellRow[static_cast<size_t>(c)];
                if (!IsNoValue(v)) {
                    const PixelWord word = palette.WordAt(v);
                    for (int64_t px = x; px < next; ++px) {
                        pixelRow[px] = word;
                    }
                    if (valueRow != nullptr) {
                        for (int64_t px = x; px < next; ++px) {
                            valueRow[px] = v;
                        }
                    }
                    any = true;
                }
                x = next;
            }
        }
        painted[static_cast<size_t>(band)] = any;
    });
    if (std::find(painted.begin(), painted.end(), true) != painted.end()) {
        canvas.NoteChange();
    }
}

bool AcceptGridOutcome(Prompt& prompt, GridOutcome outcome)
{
    if (outcome == GridOutcome::NoMemory) {
        ReportInsufficientMemory(prompt);
    }
    return outcome == GridOutcome::Gridded;
}

bool WantsScaleFrame(const Configuration& config)
{
    return config.ShowGrid != 0 || config.ShowScaleMarks != 0;
}

int ActiveFrequencies(const Configuration& config, std::span<int> out)
{
    int n = 0;
    for (int f = 0; f < kFrequencyCount && size_t(n) < out.size(); ++f) {
        if (config.UsedFrequencies[size_t(f)] != 0) {
            out[size_t(n++)] = f;
        }
    }
    return n;
}

int PixelRefinementOf(const Configuration& config)
{
    // The page allows 1..10; a stored value beyond any screen only makes one cell.
    return std::clamp(config.PixelRefinement, 1, 1 << 16);
}

int ActiveFrequencyCount(const Configuration& config)
{
    int n = 0;
    for (const int used : config.UsedFrequencies) {
        n += used != 0;
    }
    return n;
}

bool IsFrequencyActive(const Configuration& config, int f)
{
    return f >= 0 && f < kFrequencyCount && config.UsedFrequencies[size_t(f)] != 0;
}

}  // namespace orv
