#pragma once
// The gridded maps of an export: the Main page's gridding of each frequency over the whole
// survey, with NoValue where no measured station reaches. A grid survey is gridded bilinearly
// over all its profiles in its own metres (x along the stations, y along the profiles) and
// smoothed, as the grid map is; a station not measured leaves its cells empty instead of
// repeating the profile before it. A GPS track takes the cone-weighted mean of the track map in
// the CRS asked for, or in the Main page's local metres, with the radius kept in metres: its
// size at the Main page's default scale, so a finer cell does not shrink the smoothing.
//
// Cells are square for a track; a grid survey's follow its steps. By default they are about
// the Main page's at 1920 x 1080 pixels.

#include "exchange/Placement.h"
#include "exchange/StationTable.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace orv {

// The Main page's screen for the default cell size.
constexpr int kDefaultMapWidth = 1920;
constexpr int kDefaultMapHeight = 1080;
// Larger grids are refused: a cell too small for the survey, not a map anyone can open.
constexpr double kMostCells = 50.0e6;

struct RasterOptions
{
    // Side of a cell in metres (units of the CRS); 0: the default.
    double cell = 0.0;
    // The grid's columns and rows and, for a track, the radius in cells, as the Main page sets
    // them for a frame; when columns and rows are given they replace the cell size.
    int columns = 0;
    int rows = 0;
    int radiusCells = 0;
};

struct MapRaster
{
    int columns = 0;
    int rows = 0;
    // Centre of the top-left cell in the gridding frame, and the cell sizes (x grows to the
    // right, y upwards: row r lies at y0 - r * dy).
    double x0 = 0.0;
    double y0 = 0.0;
    double dx = 1.0;
    double dy = 1.0;
    int radiusCells = 0;  // a track's
    // Whether the frame is a grid survey's own metres (placed by Placement::gridToCrs or
    // gridToFrame), else the CRS of the placement's x, y or the track's local frame.
    bool surveyFrame = false;
    std::vector<std::vector<float>> bands;  // columns * rows cells each, row 0 at the top
};

// True to go on, false to stop; `done` runs from 0 to 1.
using ExportProgress = std::function<bool(double done)>;

// Grids the table's frequency columns `which` (all when empty); a track in the placement's CRS
// when it has one. False, with the reason, when
// the survey cannot make a map (one profile, fewer than 4 placed track stations, no extent),
// when the cells would be too many, or when `progress` asked to stop.
[[nodiscard]] bool GridMaps(const StationTable& table, const Placement& placement,
                            const RasterOptions& options, std::span<const size_t> which,
                            const ExportProgress& progress, MapRaster& raster, std::string& error);

}  // namespace orv
