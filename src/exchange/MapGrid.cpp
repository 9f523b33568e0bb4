#include "exchange/MapGrid.h"

#include "base/NoValue.h"
#include "graphics/Gridding.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace orv {

namespace {

bool TooMany(double columns, double rows, std::string& error)
{
    if (columns * rows <= kMostCells) {
        return false;
    }
    error = "the cell size gives " + std::to_string(std::llround(columns)) + " x " +
            std::to_string(std::llround(rows)) + " cells; choose a larger --cell";
    return true;
}

// Cells along an extent for a cell size: at least 2, the ends on the outermost stations.
double CellsAlong(double extent, double cell)
{
    return std::max(2.0, std::round(extent / cell) + 1.0);
}

bool GridSurveyMaps(const StationTable& table, const RasterOptions& options,
                    std::span<const size_t> which, const ExportProgress& progress,
                    MapRaster& raster, std::string& error)
{
    const int nx = table.stations;
    const int rowsIn = table.profiles;
    if (rowsIn < 2) {
        error = "a survey of one profile makes no map (export its stations instead)";
        return false;
    }
    if (nx < 2) {
        error = "a map needs at least 2 stations per profile";
        return false;
    }
    // The extents as the grid map computes them.
    const float extentX = static_cast<float>(nx - 1) * table.xStep;
    const float extentY = static_cast<float>(rowsIn - 1) * table.yStep;
    if (!(extentX > 0.0f) || !(extentY > 0.0f) || !std::isfinite(extentX) ||
        !std::isfinite(extentY)) {
        error = "a map needs station and profile steps greater than 0";
        return false;
    }
    double columns = options.columns;
    double rows = options.rows;
    if (columns < 2 || rows < 2) {
        const double cell = options.cell > 0.0 ? options.cell
                                               : std::max(extentX / (kDefaultMapWidth - 1.0),
                                                          extentY / (kDefaultMapHeight - 1.0));
        columns = CellsAlong(extentX, cell);
        rows = CellsAlong(extentY, cell);
    }
    if (TooMany(columns, rows, error)) {
        return false;
    }
    const int outW = static_cast<int>(columns);
    const int outH = static_cast<int>(rows);

    std::vector<float> xs(static_cast<size_t>(nx));
    std::vector<float> ys(static_cast<size_t>(rowsIn));
    for (int j = 0; j < nx; ++j) {
        xs[size_t(j)] = static_cast<float>(j) * table.xStep;
    }
    for (int k = 0; k < rowsIn; ++k) {
        ys[size_t(k)] = static_cast<float>(k) * table.yStep;
    }
    const std::vector<int> rowOfSlot = table.RowOfSlot();
    std::vector<float> values(size_t(nx) * size_t(rowsIn));
    raster.columns = outW;
    raster.rows = outH;
    raster.surveyFrame = true;
    raster.x0 = 0.0;
    raster.y0 = extentY;
    raster.dx = double(extentX) / (outW - 1);
    raster.dy = double(extentY) / (outH - 1);
    for (size_t b = 0; b < which.size(); ++b) {
        // The newest profile is the top row, as on the Main page.
        for (int p = 0; p < rowsIn; ++p) {
            for (int j = 0; j < nx; ++j) {
                const int slot = p % 2 == 0 ? p * nx + j : p * nx + (nx - 1 - j);
                const int row = slot < int(rowOfSlot.size()) ? rowOfSlot[size_t(slot)] : -1;
                values[size_t(rowsIn - 1 - p) * size_t(nx) + size_t(j)] =
                    row >= 0 ? table.Value(size_t(row), which[b]) : kNoValue;
            }
        }
        std::vector<float> cells(size_t(outW) * size_t(outH), kNoValue);
        if (GridRegular(xs, ys, values, outW, outH, cells) == GridOutcome::NoMemory) {
            throw std::bad_alloc();
        }
        raster.bands.push_back(std::move(cells));
        if (progress && !progress(double(b + 1) / double(which.size()))) {
            error = "Export cancelled";
            return false;
        }
    }
    return true;
}

bool TrackMaps(const StationTable& table, const Placement& placement, const RasterOptions& options,
               std::span<const size_t> which, const ExportProgress& progress, MapRaster& raster,
               std::string& error)
{
    const bool projected = !placement.crs.empty();
    // Projected coordinates are large (a UTM northing is millions of metres): they are gridded
    // from their south-west corner so that single precision keeps millimetres.
    double offsetX = 0.0;
    double offsetY = 0.0;
    std::vector<size_t> used;
    for (size_t i = 0; i < table.rows.size(); ++i) {
        const bool placed = projected ? placement.hasXy[i] != 0 : table.rows[i].local;
        if (!placed) {
            continue;
        }
        if (projected) {
            offsetX = used.empty() ? placement.x[i] : std::min(offsetX, placement.x[i]);
            offsetY = used.empty() ? placement.y[i] : std::min(offsetY, placement.y[i]);
        }
        used.push_back(i);
    }
    std::vector<ScatteredPoint> points(used.size());
    float minX = 0.0f;
    float maxX = 0.0f;
    float minY = 0.0f;
    float maxY = 0.0f;
    for (size_t k = 0; k < used.size(); ++k) {
        const size_t i = used[k];
        ScatteredPoint& point = points[k];
        point.x = projected ? static_cast<float>(placement.x[i] - offsetX) : table.rows[i].x;
        point.y = projected ? static_cast<float>(placement.y[i] - offsetY) : table.rows[i].y;
        minX = k == 0 ? point.x : std::min(minX, point.x);
        maxX = k == 0 ? point.x : std::max(maxX, point.x);
        minY = k == 0 ? point.y : std::min(minY, point.y);
        maxY = k == 0 ? point.y : std::max(maxY, point.y);
    }
    const float extentX = maxX - minX;
    const float extentY = maxY - minY;
    if (points.size() < 4 || !(extentX > 0.0f) || !(extentY > 0.0f) || !std::isfinite(extentX) ||
        !std::isfinite(extentY)) {
        error =
            "a track map needs 4 stations with GPS positions spread both east-west and "
            "north-south";
        return false;
    }
    // North up: the interpolator's row 0 is the smallest y.
    const float flip = maxY + minY;
    for (ScatteredPoint& point : points) {
        point.y = flip - point.y;
    }
    const double defaultCell =
        std::max(extentX / (kDefaultMapWidth - 1.0), extentY / (kDefaultMapHeight - 1.0));
    double columns = options.columns;
    double rows = options.rows;
    if (columns < 2 || rows < 2) {
        const double cell = options.cell > 0.0 ? options.cell : defaultCell;
        columns = CellsAlong(extentX, cell);
        rows = CellsAlong(extentY, cell);
    }
    if (TooMany(columns, rows, error)) {
        return false;
    }
    const int outW = static_cast<int>(columns);
    const int outH = static_cast<int>(rows);
    // The interpolator's cell, in its own arithmetic.
    const float cell =
        std::min(extentX / static_cast<float>(outW - 1), extentY / static_cast<float>(outH - 1));
    int radius = options.radiusCells;
    if (radius <= 0) {
        const double metres = table.trackRadius * defaultCell;
        radius = static_cast<int>(std::clamp(std::round(metres / cell), 1.0, 1.0e6));
    }
    raster.columns = outW;
    raster.rows = outH;
    raster.surveyFrame = false;
    raster.radiusCells = radius;
    raster.x0 = offsetX + minX;
    raster.y0 = offsetY + maxY;
    raster.dx = cell;
    raster.dy = cell;
    for (size_t b = 0; b < which.size(); ++b) {
        for (size_t k = 0; k < used.size(); ++k) {
            points[k].value = table.Value(used[k], which[b]);
        }
        std::vector<float> cells(size_t(outW) * size_t(outH), kNoValue);
        const GridOutcome outcome = GridScattered(points, radius, outW, outH, cells);
        if (outcome == GridOutcome::NoMemory) {
            throw std::bad_alloc();
        }
        if (outcome == GridOutcome::Failed) {
            error = "the track's stations give no map at this cell size";
            return false;
        }
        raster.bands.push_back(std::move(cells));
        if (progress && !progress(double(b + 1) / double(which.size()))) {
            error = "Export cancelled";
            return false;
        }
    }
    return true;
}

}  // namespace

bool GridMaps(const StationTable& table, const Placement& placement, const RasterOptions& options,
              std::span<const size_t> which, const ExportProgress& progress, MapRaster& raster,
              std::string& error)
{
    if (table.frequencies.empty()) {
        error = "no frequency is active, so there is nothing to map";
        return false;
    }
    std::vector<size_t> all;
    if (which.empty()) {
        for (size_t c = 0; c < table.frequencies.size(); ++c) {
            all.push_back(c);
        }
        which = all;
    }
    MapRaster out;
    try {
        const bool done = table.IsTrack()
                              ? TrackMaps(table, placement, options, which, progress, out, error)
                              : GridSurveyMaps(table, options, which, progress, out, error);
        if (!done) {
            return false;
        }
    } catch (const std::bad_alloc&) {
        error = "Insufficient memory";
        return false;
    }
    const bool empty = std::all_of(out.bands.begin(), out.bands.end(), [](const auto& band) {
        return std::all_of(band.begin(), band.end(), [](float v) { return IsNoValue(v); });
    });
    if (empty) {
        error =
            "no part of the survey is measured closely enough for a map (it needs neighbouring "
            "stations measured on two profiles)";
        return false;
    }
    raster = std::move(out);
    return true;
}

}  // namespace orv
