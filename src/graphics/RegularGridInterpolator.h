#pragma once
// Bilinear gridding of stations on a regular grid of profiles and stations (the grid survey's
// map and both sections), followed by the 5 x 5 smoothing of GridInterpolator.
//
// Column and row positions are expected in increasing order. Where two neighbouring columns
// (or rows) share a position, a station step of 0, the cells there take the mean of the two.
// A cell whose four surrounding stations include a NoValue is NoValue.

#include "graphics/GridInterpolator.h"

namespace orv {

class RegularGridInterpolator final : public GridInterpolator
{
public:
    // False, with `out` untouched, when there are fewer than 2 columns or rows of stations,
    // fewer values than nx * ny, an output of fewer than 2 columns or rows, or an `out` smaller
    // than outW * outH. Otherwise true, also when smoothing could not run.
    [[nodiscard]] bool Grid(std::span<const float> x, std::span<const float> y,
                            std::span<const float> values, int outW, int outH,
                            std::span<float> out) override;
};

}  // namespace orv
