#pragma once
// Bilinear gridding of stations on a regular grid of profiles and stations (the grid survey's
// map and both sections), followed by the 5 x 5 smoothing of GridInterpolator.
//
// Column and row positions are expected in increasing order. Where two neighbouring columns
// (or rows) share a position, a station step of 0, the cells there take the mean of the two.
// A cell whose four surrounding stations include a NoValue is NoValue.

#include "graphics/GridInterpolator.h"

namespace orv {

class WorkerPool;

class RegularGridInterpolator final : public GridInterpolator
{
public:
    // The output rows are shared out on `workers` (the drawings' shared pool when null); the
    // result is the same on any pool.
    explicit RegularGridInterpolator(WorkerPool* workers = nullptr) : m_workers(workers) {}

    // False, with `out` untouched, when there are fewer than 2 columns or rows of stations,
    // fewer values than nx * ny, an output of fewer than 2 columns or rows, or an `out` smaller
    // than outW * outH. Otherwise true, also when smoothing could not run. The working arrays
    // are allocated per call: std::bad_alloc reaches the caller, `out` then untouched.
    [[nodiscard]] bool Grid(std::span<const float> x, std::span<const float> y,
                            std::span<const float> values, int outW, int outH,
                            std::span<float> out) override;

private:
    WorkerPool* m_workers;
};

}  // namespace orv
