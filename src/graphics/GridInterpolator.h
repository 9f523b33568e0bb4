#pragma once
// Gridding: turns the values measured at the stations into one value per output cell, the image
// a map or a section is painted from. Single-precision float throughout; NoValue marks a cell
// without a value. Output grids are outW x outH floats, row-major, row 0 at the top.
//
//   RegularGridInterpolator bilinear;
//   std::vector<float> cells(size_t(outW) * size_t(outH));
//   if (bilinear.Grid(xs, ys, values, outW, outH, cells)) { ... paint ... }
//
// A grid call that returns false has not touched `out`.

#include <span>

namespace orv {

class WorkerPool;

class GridInterpolator
{
public:
    virtual ~GridInterpolator() = default;

    // Grids stations on a regular grid: nx = x.size() column positions, ny = y.size() row
    // positions and nx * ny values, row-major with row 0 first, into `out` (at least
    // outW * outH floats).
    [[nodiscard]] virtual bool Grid(std::span<const float> x, std::span<const float> y,
                                    std::span<const float> values, int outW, int outH,
                                    std::span<float> out) = 0;

    // 5 x 5 mean filter in place; the two outermost rings of cells keep their values, and a
    // grid of fewer than 5 rows is left as it is. Smoothing ends for good at a window whose
    // bottom-left cell is NoValue and for the rest of the row at a centre whose cell two columns
    // to the right is NoValue; a window holding NoValue anywhere else leaves its centre as it
    // was. False only when the working copy cannot be allocated (or `grid` holds fewer than
    // width * height cells); the grid is then unchanged.
    [[nodiscard]] static bool Smooth(std::span<float> grid, int width, int height);
    // The same with the rows shared out on `workers`; the result does not depend on the pool.
    [[nodiscard]] static bool Smooth(std::span<float> grid, int width, int height,
                                     WorkerPool& workers);
};

}  // namespace orv
