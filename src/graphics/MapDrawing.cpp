#include "graphics/MapDrawing.h"

#include "base/NoValue.h"
#include "config/Configuration.h"
#include "graphics/DrawMath.h"
#include "graphics/Gridding.h"
#include "graphics/PlotCanvas.h"
#include "graphics/ScaleFrame.h"
#include "signal/SignalComputation.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace orv {

namespace {

// Both axes of a map are metres east and north.
constexpr AxisUnits kMetreAxes{"m", "m"};

}  // namespace

bool IsProfileComplete(const GridSurveyData& survey, int p)
{
    if (survey.stations <= 0 || p < 0 || p >= survey.profiles) {
        return false;
    }
    for (int s = 0; s < survey.stations; ++s) {
        if (!survey.IsMeasured(p, s)) {
            return false;
        }
    }
    return true;
}

MapBlock FindMapBlock(const GridSurveyData& survey, int p)
{
    MapBlock block;
    if (p < 0 || p >= survey.profiles) {
        return block;
    }
    int b = p - 1;
    while (b >= 0 && IsProfileComplete(survey, b)) {
        --b;
    }
    block.first = b + 1;
    block.last = p;
    if (IsProfileComplete(survey, p)) {
        while (block.last + 1 < survey.profiles && IsProfileComplete(survey, block.last + 1)) {
            ++block.last;
        }
    }
    for (int q = block.first; q <= block.last; ++q) {
        block.complete += IsProfileComplete(survey, q);
    }
    return block;
}

bool DrawGridMap(const DrawContext& context, const GridSurveyData& survey, int p, int f,
                 const FrameRect& frame)
{
    Configuration& config = context.config;
    const int nx = survey.stations;
    const MapBlock block = FindMapBlock(survey, p);
    const int rows = block.Rows();
    if (block.complete < 1 || nx < 2 || rows < 2 || !IsFrequencyActive(config, f) ||
        frame.Width() <= 0 || frame.Height() <= 0) {
        return false;
    }
    const int e = PixelRefinementOf(config);

    std::vector<float> values;
    std::vector<float> xs;
    std::vector<float> ys;
    try {
        values.assign(size_t(nx) * size_t(rows), 0.0f);
        xs.resize(size_t(nx));
        ys.resize(size_t(rows));
    } catch (const std::bad_alloc&) {
        ReportInsufficientMemory(context.prompt);
        return false;
    }
    // The measured stations' values, the profiles shared out on the workers; then, oldest
    // profile first, a station not measured yet repeats the profile before it.
    std::vector<unsigned char> measured;
    try {
        measured.assign(size_t(nx) * size_t(rows), 0);
    } catch (const std::bad_alloc&) {
        ReportInsufficientMemory(context.prompt);
        return false;
    }
    WorkerPool& workers = WorkersOf(context);
    workers.Run(rows, [&](int row) {
        const int q = block.last - row;
        for (int j = 0; j < nx; ++j) {
            const MeasurementSlot* slot = survey.Slot(q, j);
            if (slot != nullptr && !slot->IsEmpty()) {
                const size_t n = size_t(row) * size_t(nx) + size_t(j);
                values[n] = ValueAt(config, *slot, f);
                measured[n] = 1;
            }
        }
    });
    for (int row = rows - 2; row >= 0; --row) {
        for (int j = 0; j < nx; ++j) {
            const size_t n = size_t(row) * size_t(nx) + size_t(j);
            if (measured[n] == 0) {
                values[n] = values[n + size_t(nx)];
            }
        }
    }
    for (int j = 0; j < nx; ++j) {
        xs[size_t(j)] = static_cast<float>(j) * survey.xStep;
    }
    for (int k = 0; k < rows; ++k) {
        ys[size_t(k)] = static_cast<float>(k) * survey.yStep;
    }

    const bool proportional = config.RealScaling != 0;
    const float extentX = static_cast<float>(nx - 1) * survey.xStep;
    const float extentY = static_cast<float>(rows - 1) * survey.yStep;
    int width = frame.Width();
    int height = frame.Height();
    // A survey without extent in one direction (a step of 0) has no proportion to keep.
    if (proportional && extentX > 0.0f && extentY > 0.0f) {
        const float fw = static_cast<float>(width);
        const float fh = static_cast<float>(height);
        if (extentX / fw > extentY / fh) {
            height = TruncateToInt(extentY / (extentX / fw) + 0.5f);
        } else {
            width = TruncateToInt(extentX / (extentY / fh) + 0.5f);
        }
    }
    const int outW = CeilDiv(width, e);
    const int outH = CeilDiv(height, e);
    if (outW < 2 || outH < 2) {
        return false;
    }
    std::span<float> cells;
    if (!TakeWorkingCells(context, size_t(outW) * size_t(outH), cells)) {
        return false;
    }
    if (!AcceptGridOutcome(context.prompt,
                           GridRegular(xs, ys, values, outW, outH, cells, workers))) {
        return false;
    }
    if (config.ManualAreaRange == 0) {
        ApplyAutomaticRange(config.AreaChart, cells, workers);
    }

    FrameRect picture = frame;
    if (proportional) {
        if (outW * e < frame.Width()) {
            const int inset = (frame.Width() - outW * e) / 2;
            picture.left += inset;
            picture.right -= inset;
        }
        if (outH * e < frame.Height()) {
            const int inset = (frame.Height() - outH * e) / 2;
            picture.top += inset;
            picture.bottom -= inset;
        }
    }
    PaintCells(context.canvas, config.AreaChart, cells, outW, outH, e, picture, workers);
    if (WantsScaleFrame(config)) {
        DrawScaleFrame(config.ShowGrid != 0, config.GridColour, context.canvas, context.text,
                       picture.left, picture.top, picture.left + outW * e, picture.top + outH * e,
                       0.0f, extentX, 0.0f, extentY, kMetreAxes, context.metrics);
    }
    return true;
}

bool DrawTrackMap(const DrawContext& context, const TrackSurveyData& survey, int f, int radius,
                  const FrameRect& frame)
{
    Configuration& config = context.config;
    const int count = survey.Count();
    if (count <= 3 || !IsFrequencyActive(config, f) || frame.Width() <= 0 || frame.Height() <= 0) {
        return false;
    }
    std::vector<ScatteredPoint> points;
    std::vector<float> values;
    try {
        points.reserve(size_t(count));
        values.resize(size_t(count));
    } catch (const std::bad_alloc&) {
        ReportInsufficientMemory(context.prompt);
        return false;
    }
    // A station without a position has no place on the map.
    const auto onMap = [&](int i) {
        return !survey.slots[size_t(i)].IsEmpty() && survey.IsPositioned(i);
    };
    WorkerPool& workers = WorkersOf(context);
    constexpr int kMinBandRecords = 1024;
    workers.RunBands(count, kMinBandRecords, [&](int first, int end) {
        for (int i = first; i < end; ++i) {
            if (onMap(i)) {
                values[size_t(i)] = ValueAt(config, survey.slots[size_t(i)], f);
            }
        }
    });
    float minX = 0.0f;
    float maxX = 0.0f;
    float minY = 0.0f;
    float maxY = 0.0f;
    for (int i = 0; i < count; ++i) {
        if (!onMap(i)) {
            continue;
        }
        const LocalPoint point = survey.PositionOf(i);
        if (points.empty()) {
            minX = maxX = point.x;
            minY = maxY = point.y;
        } else {
            minX = std::min(minX, point.x);
            maxX = std::max(maxX, point.x);
            minY = std::min(minY, point.y);
            maxY = std::max(maxY, point.y);
        }
        points.push_back({point.x, point.y, values[size_t(i)]});
    }
    if (points.size() < 4) {
        return false;
    }
    const float extentX = maxX - minX;
    const float extentY = maxY - minY;
    if (!(extentX > 0.0f) || !(extentY > 0.0f) || !std::isfinite(extentX) ||
        !std::isfinite(extentY)) {
        return false;
    }
    // North up: the interpolator's row 0 is the smallest y.
    const float flip = maxY + minY;
    for (ScatteredPoint& point : points) {
        point.y = flip - point.y;
    }

    FrameRect picture = frame;
    int width = frame.Width();
    int height = frame.Height();
    const float metresPerPixelX = extentX / static_cast<float>(width);
    const float metresPerPixelY = extentY / static_cast<float>(height);
    if (config.RealScaling != 0) {
        if (metresPerPixelX > metresPerPixelY) {
            height = TruncateToInt(extentY / metresPerPixelX + 0.5f);
            picture.bottom = picture.top + height;
        } else {
            width = TruncateToInt(extentX / metresPerPixelY + 0.5f);
            picture.right = picture.left + width;
        }
    } else if (metresPerPixelX > metresPerPixelY) {
        const float stretch = metresPerPixelX / metresPerPixelY;
        for (ScatteredPoint& point : points) {
            point.y *= stretch;
        }
    } else {
        const float stretch = metresPerPixelY / metresPerPixelX;
        for (ScatteredPoint& point : points) {
            point.x *= stretch;
        }
    }
    const int e = PixelRefinementOf(config);
    const int outW = CeilDiv(width, e);
    const int outH = CeilDiv(height, e);
    if (outW < 2 || outH < 2) {
        return false;
    }
    std::span<float> cells;
    if (!TakeWorkingCells(context, size_t(outW) * size_t(outH), cells)) {
        return false;
    }
    if (!AcceptGridOutcome(context.prompt,
                           GridScattered(points, radius, outW, outH, cells, workers))) {
        return false;
    }
    if (config.ManualAreaRange == 0) {
        ApplyAutomaticRange(config.AreaChart, cells, workers);
    }
    PaintCells(context.canvas, config.AreaChart, cells, outW, outH, e, picture, workers);
    if (WantsScaleFrame(config)) {
        DrawScaleFrame(config.ShowGrid != 0, config.GridColour, context.canvas, context.text,
                       picture.left, picture.top, picture.right, picture.bottom, 0.0f, extentX,
                       0.0f, extentY, kMetreAxes, context.metrics);
    }
    return true;
}

}  // namespace orv
