#include "graphics/Drawing.h"

#include "base/NoValue.h"
#include "base/Prompt.h"
#include "charts/ColourChart.h"
#include "config/Configuration.h"
#include "graphics/PlotCanvas.h"

#include <algorithm>
#include <cmath>
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

void ApplyAutomaticRange(ColourChart& chart, std::span<const float> cells)
{
    bool any = false;
    float minimum = 0.0f;
    float maximum = 0.0f;
    for (const float v : cells) {
        if (IsNoValue(v) || !std::isfinite(v)) {
            continue;
        }
        if (!any) {
            minimum = maximum = v;
            any = true;
        } else {
            minimum = std::min(minimum, v);
            maximum = std::max(maximum, v);
        }
    }
    if (!any || IsFlatRange(minimum, maximum)) {
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
                int outW, int outH, int e, const FrameRect& clip)
{
    if (outW <= 0 || outH <= 0 || e <= 0 || cells.size() < size_t(outW) * size_t(outH)) {
        return;
    }
    for (int r = 0; r < outH; ++r) {
        const int y = clip.top + r * e;
        if (y >= clip.bottom) {
            break;
        }
        for (int c = 0; c < outW; ++c) {
            const float v = cells[size_t(r) * size_t(outW) + size_t(c)];
            if (IsNoValue(v)) {
                continue;
            }
            const int x = clip.left + c * e;
            if (x >= clip.right) {
                break;
            }
            // One conversion per cell; the block is filled with the pixel word.
            const PixelWord word = PixelWordOf(chart.ColourAt(v));
            canvas.FillBlock(x, y, std::min(x + e, clip.right), std::min(y + e, clip.bottom), word,
                             v);
        }
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
