#pragma once
// What every drawing procedure of a Main page graphic shares: the canvas it paints into, the
// label painter, the configuration it reads its settings from (and whose chart ranges it sets in
// automatic mode), and where "Insufficient memory" is told when a working array cannot be
// allocated. Procedures return true when they drew the graphic; false means nothing was drawn
// (too little data, a failed interpolation, or lack of memory, which has then been told).

#include "base/Colour.h"
#include "graphics/DrawMetrics.h"
#include "graphics/Gridding.h"
#include "graphics/WorkerPool.h"

#include <span>
#include <string>
#include <vector>

namespace orv {

class ColourChart;
class Configuration;
class PlotCanvas;
class Prompt;
class TextPainter;

// The text of string 32778.
inline constexpr const char* kInsufficientMemory = "Insufficient memory";

// Client rectangle of a frame: left and top inclusive, right and bottom exclusive.
struct FrameRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    [[nodiscard]] int Width() const { return right - left; }
    [[nodiscard]] int Height() const { return bottom - top; }
};

struct DrawContext
{
    PlotCanvas& canvas;
    TextPainter& text;
    Configuration& config;
    Prompt& prompt;
    // The fixed sizes, at the screen's device-pixel ratio (1 unless set).
    DrawMetrics metrics{};
    // The threads that share the rows of a picture; null: the drawings' shared pool. The
    // picture is the same on any pool.
    WorkerPool* workers = nullptr;
};

[[nodiscard]] inline WorkerPool& WorkersOf(const DrawContext& context)
{
    return context.workers != nullptr ? *context.workers : WorkerPool::Shared();
}

// Tells "Insufficient memory" with an error icon.
void ReportInsufficientMemory(Prompt& prompt);

// A float array of n cells for a drawing; false, after telling "Insufficient memory", when it
// cannot be allocated.
[[nodiscard]] bool AllocateCells(Prompt& prompt, std::vector<float>& cells, size_t n,
                                 float fill = 0.0f);

// The canvas's working grid sized to n cells, their contents left as they were (the gridding
// writes every cell); false, after telling "Insufficient memory", when it cannot grow.
[[nodiscard]] bool TakeWorkingCells(const DrawContext& context, size_t n, std::span<float>& cells);

// The automatic colour range: the chart's range becomes the minimum and maximum of the cells
// that hold a value (NoValue and non-finite cells are left out). When they are equal, or differ
// by no more than rounding (IsFlatRange), the chart keeps its range: the gridding of a uniform
// field returns its value to within a few ulps, and a range that narrow would paint those ulps
// with the chart's far ends. A diverging chart (cool-warm) gets a range symmetric about 0 when
// the values have both signs, so its middle colour stays at 0.
void ApplyAutomaticRange(ColourChart& chart, std::span<const float> cells,
                         WorkerPool& workers = WorkerPool::Shared());

// Units in the last place of the larger magnitude that a range may span and still count as
// one value.
inline constexpr int kFlatRangeUlps = 16;
// True when minimum..maximum has no width beyond rounding: minimum is not below maximum, or
// they lie within kFlatRangeUlps ulps of the larger magnitude of each other.
[[nodiscard]] bool IsFlatRange(float minimum, float maximum);

// Paints outW x outH cells, row 0 at the top, each as an e x e block from (left, top), clipped
// at right and bottom: the chart's colour into the pixels and the cell's value into the value
// layer. NoValue cells are left as they are.
void PaintCells(PlotCanvas& canvas, const ColourChart& chart, std::span<const float> cells,
                int outW, int outH, int e, const FrameRect& clip,
                WorkerPool& workers = WorkerPool::Shared());

// True when the gridding gave cells; lack of memory is told.
[[nodiscard]] bool AcceptGridOutcome(Prompt& prompt, GridOutcome outcome);

// ShowGrid or ShowScaleMarks: the picture gets a scale frame.
[[nodiscard]] bool WantsScaleFrame(const Configuration& config);

// The active frequency indices in increasing order; `out` must hold 14.
int ActiveFrequencies(const Configuration& config, std::span<int> out);

// The refinement of the configuration, at least 1.
[[nodiscard]] int PixelRefinementOf(const Configuration& config);
// Number of active frequencies.
[[nodiscard]] int ActiveFrequencyCount(const Configuration& config);
// True when frequency index f (0..13) is switched on.
[[nodiscard]] bool IsFrequencyActive(const Configuration& config, int f);

}  // namespace orv
