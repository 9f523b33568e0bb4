#pragma once
// The gridding step of the drawings: station values in, one float per output cell out (row 0 at
// the top, NoValue where a cell has no value), through the interpolators of the gridding module.
// The interpolators keep no state between calls but the scattered one's radius, so a drawing
// makes its own for each call.

#include "graphics/ScatteredInterpolator.h"
#include "graphics/WorkerPool.h"

#include <span>

namespace orv {

enum class GridOutcome { Gridded, Failed, NoMemory };

// Bilinear gridding of nx x ny values (row-major, row 0 first) at column positions xs and row
// positions ys, then smoothing, into outW * outH cells.
[[nodiscard]] GridOutcome GridRegular(std::span<const float> xs, std::span<const float> ys,
                                      std::span<const float> values, int outW, int outH,
                                      std::span<float> out,
                                      WorkerPool& workers = WorkerPool::Shared());

// Cone-weighted gridding of scattered points with a radius in cells.
[[nodiscard]] GridOutcome GridScattered(std::span<const ScatteredPoint> points, int radius,
                                        int outW, int outH, std::span<float> out,
                                        WorkerPool& workers = WorkerPool::Shared());

}  // namespace orv
