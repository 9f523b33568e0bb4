#include "graphics/SectionDrawing.h"

#include "base/NoValue.h"
#include "config/Configuration.h"
#include "graphics/DrawMath.h"
#include "graphics/PlotCanvas.h"
#include "graphics/ScaleFrame.h"
#include "signal/SignalComputation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

namespace orv {

namespace {

// Distance along the line and depth, both in metres.
constexpr AxisUnits kMetreAxes{"m", "m"};

// The gridded section: station columns, frequency rows, ready to paint.
struct SectionGrid
{
    std::vector<float> xs;      // column positions
    std::vector<float> ys;      // row positions: depths, last active frequency first
    std::vector<float> values;  // rows x columns, row 0 first
    float minDepth = 0.0f;
    float maxDepth = 0.0f;
};

// Rows and depths of the active frequencies; false with fewer than 2 active.
bool PrepareRows(const Configuration& config, std::array<int, kFrequencyCount>& rowFrequency,
                 int& rows, SectionGrid& grid)
{
    std::array<int, kFrequencyCount> active{};
    const int o = ActiveFrequencies(config, active);
    if (o < 2) {
        return false;
    }
    rows = o;
    grid.ys.resize(size_t(o));
    for (int row = 0; row < o; ++row) {
        rowFrequency[size_t(row)] = active[size_t(o - 1 - row)];
        grid.ys[size_t(row)] = DepthOf(config, rowFrequency[size_t(row)]);
    }
    const auto [lo, hi] = std::minmax_element(grid.ys.begin(), grid.ys.end());
    grid.minDepth = *lo;
    grid.maxDepth = *hi;
    return true;
}

// Rows of the active frequencies and room for n columns. False with fewer than 2 active
// frequencies, or, after "Insufficient memory", when the arrays cannot be allocated.
bool AllocateSection(const DrawContext& context, int n,
                     std::array<int, kFrequencyCount>& rowFrequency, int& rows, SectionGrid& grid)
{
    try {
        if (!PrepareRows(context.config, rowFrequency, rows, grid)) {
            return false;
        }
        grid.xs.resize(size_t(n));
        grid.values.resize(size_t(n) * size_t(rows));
    } catch (const std::bad_alloc&) {
        ReportInsufficientMemory(context.prompt);
        return false;
    }
    return true;
}

// Fills column j from the record's 14 values.
void FillColumn(const Configuration& config, const MeasurementSlot& slot,
                const std::array<int, kFrequencyCount>& rowFrequency, int rows, int columns, int j,
                SectionGrid& grid)
{
    std::array<float, kFrequencyCount> all{};
    ValuesAll(config, slot, all);
    for (int row = 0; row < rows; ++row) {
        grid.values[size_t(row) * size_t(columns) + size_t(j)] =
            all[size_t(rowFrequency[size_t(row)])];
    }
}

// Grids the section and sets the automatic range; false when there is nothing to paint.
bool GridAndPaint(const DrawContext& context, const SectionGrid& grid, int width, int height,
                  std::vector<float>& cells, int& outW, int& outH)
{
    Configuration& config = context.config;
    const int e = PixelRefinementOf(config);
    outW = CeilDiv(width, e);
    outH = CeilDiv(height, e);
    if (outW < 2 || outH < 2) {
        return false;
    }
    if (!AllocateCells(context.prompt, cells, size_t(outW) * size_t(outH), kNoValue)) {
        return false;
    }
    if (!AcceptGridOutcome(context.prompt, GridRegular(grid.xs, grid.ys, grid.values, outW, outH,
                                                       cells, WorkersOf(context)))) {
        return false;
    }
    if (config.ManualProfileRange == 0) {
        ApplyAutomaticRange(config.ProfileChart, cells, WorkersOf(context));
    }
    return true;
}

void CentreVertically(const FrameRect& frame, int outH, int e, FrameRect& picture)
{
    if (outH * e < frame.Height()) {
        const int inset = (frame.Height() - outH * e) / 2;
        picture.top += inset;
        picture.bottom -= inset;
    }
}

}  // namespace

StationRun FindMeasuredRun(const GridSurveyData& survey, int p, int s)
{
    StationRun run;
    const int n = survey.StationsPerProfile();
    if (s < 0 || s >= n || !survey.IsMeasured(p, s)) {
        return run;
    }
    run.first = s;
    run.last = s;
    while (run.first > 0 && survey.IsMeasured(p, run.first - 1)) {
        --run.first;
    }
    while (run.last + 1 < n && survey.IsMeasured(p, run.last + 1)) {
        ++run.last;
    }
    return run;
}

void WalkedDistances(const TrackSurveyData& survey, int first, int count, std::span<float> out)
{
    if (count <= 0 || out.size() < size_t(count)) {
        return;
    }
    out[0] = 0.0f;
    // Steps run from one positioned record to the next; a record without a position keeps its
    // place in the order and adds nothing but the smallest step.
    LocalPoint last;
    bool haveLast = survey.IsPositioned(first);
    if (haveLast) {
        last = survey.PositionOf(first);
    }
    for (int i = 1; i < count; ++i) {
        float step = 0.0f;
        if (survey.IsPositioned(first + i)) {
            const LocalPoint b = survey.PositionOf(first + i);
            if (haveLast) {
                const float dx = b.x - last.x;
                const float dy = b.y - last.y;
                step = std::sqrt(dx * dx + dy * dy);
            }
            last = b;
            haveLast = true;
        }
        if (!(step > 0.01f)) {
            step = 0.01f;
        }
        out[size_t(i)] = out[size_t(i - 1)] + step;
    }
}

bool DrawGridSection(const DrawContext& context, const GridSurveyData& survey, int p, int s,
                     const FrameRect& frame)
{
    Configuration& config = context.config;
    const StationRun run = FindMeasuredRun(survey, p, s);
    const int n = run.Length();
    if (n < 2 || frame.Width() <= 0 || frame.Height() <= 0) {
        return false;
    }
    SectionGrid grid;
    std::array<int, kFrequencyCount> rowFrequency{};
    int rows = 0;
    if (!AllocateSection(context, n, rowFrequency, rows, grid)) {
        return false;
    }
    for (int j = 0; j < n; ++j) {
        grid.xs[size_t(j)] = static_cast<float>(j) * survey.xStep;
        FillColumn(config, *survey.Slot(p, run.first + j), rowFrequency, rows, n, j, grid);
    }

    // The run's share of the frame: a partial profile covers the part of the width its
    // stations stand for.
    const int nx = std::max(survey.StationsPerProfile(), 1);
    const bool proportional = config.RealScaling != 0;
    FrameRect picture = frame;
    int width = int((unsigned(frame.Width()) * unsigned(n) + unsigned(nx) / 2) / unsigned(nx));
    int height = frame.Height();
    const float extentX = static_cast<float>(nx - 1) * survey.xStep;
    const float extentY = grid.maxDepth - grid.minDepth;
    if (proportional && extentX > 0.0f && extentY > 0.0f) {
        const float fw = static_cast<float>(frame.Width());
        const float fh = static_cast<float>(frame.Height());
        if (extentX / fw > extentY / fh) {
            height = TruncateToInt(extentY / (extentX / fw) + 0.5f);
        } else {
            width = TruncateToInt(extentX / (extentY / fh) + 0.5f);
            const int inset = (frame.Width() - width) / 2;
            picture.left += inset;
            picture.right -= inset;
        }
    }
    std::vector<float> cells;
    int outW = 0;
    int outH = 0;
    if (!GridAndPaint(context, grid, width, height, cells, outW, outH)) {
        return false;
    }
    const int e = PixelRefinementOf(config);
    if (proportional) {
        CentreVertically(frame, outH, e, picture);
    }
    if (p % 2 == 1 && outW * e < picture.right - picture.left) {
        picture.left = picture.right - outW * e;
    }
    PaintCells(context.canvas, config.ProfileChart, cells, outW, outH, e, picture,
               WorkersOf(context));
    if (WantsScaleFrame(config)) {
        DrawScaleFrame(config.ShowGrid != 0, config.GridColour, context.canvas, context.text,
                       picture.left, picture.top, picture.left + outW * e, picture.top + outH * e,
                       0.0f, static_cast<float>(n - 1) * survey.xStep, grid.maxDepth, grid.minDepth,
                       kMetreAxes, context.metrics);
    }
    return true;
}

bool DrawTrackSection(const DrawContext& context, const TrackSurveyData& survey,
                      const FrameRect& frame, bool* drawnToScale)
{
    Configuration& config = context.config;
    const int n = survey.Count();
    if (n < 2 || frame.Width() <= 0 || frame.Height() <= 0) {
        return false;
    }
    SectionGrid grid;
    std::array<int, kFrequencyCount> rowFrequency{};
    int rows = 0;
    if (!AllocateSection(context, n, rowFrequency, rows, grid)) {
        return false;
    }
    WalkedDistances(survey, 0, n, grid.xs);
    for (int j = 0; j < n; ++j) {
        FillColumn(config, survey.slots[size_t(j)], rowFrequency, rows, n, j, grid);
    }

    bool proportional = config.RealScaling != 0;
    FrameRect picture = frame;
    int width = frame.Width();
    int height = frame.Height();
    const float extentX = grid.xs.back() - grid.xs.front();
    const float extentY = grid.maxDepth - grid.minDepth;
    if (proportional && extentX > 0.0f && extentY > 0.0f) {
        const float fw = static_cast<float>(width);
        const float fh = static_cast<float>(height);
        if (extentX / fw > extentY / fh) {
            height = TruncateToInt(extentY / (extentX / fw) + 0.5f);
        } else {
            width = TruncateToInt(extentX / (extentY / fh) + 0.5f);
        }
        // A long walk over a few metres of depth is a strip nobody can read at true scale: it
        // is drawn fit to screen instead.
        const int thinnest = std::min(context.metrics.thinnestTrueScaleSection,
                                      std::min(frame.Width(), frame.Height()));
        if (std::min(width, height) < thinnest) {
            proportional = false;
            width = frame.Width();
            height = frame.Height();
        } else if (width < frame.Width()) {
            const int inset = (frame.Width() - width) / 2;
            picture.left += inset;
            picture.right -= inset;
        }
        width = std::max(width, 10);
        height = std::max(height, 10);
    }
    if (drawnToScale != nullptr) {
        *drawnToScale = proportional;
    }
    std::vector<float> cells;
    int outW = 0;
    int outH = 0;
    if (!GridAndPaint(context, grid, width, height, cells, outW, outH)) {
        return false;
    }
    const int e = PixelRefinementOf(config);
    if (proportional) {
        CentreVertically(frame, outH, e, picture);
    }
    PaintCells(context.canvas, config.ProfileChart, cells, outW, outH, e, picture,
               WorkersOf(context));
    if (WantsScaleFrame(config)) {
        DrawScaleFrame(config.ShowGrid != 0, config.GridColour, context.canvas, context.text,
                       picture.left, picture.top, picture.right, picture.bottom, 0.0f, extentX,
                       grid.maxDepth, grid.minDepth, kMetreAxes, context.metrics);
    }
    return true;
}

}  // namespace orv
