#pragma once
// NoValue marks the absence of a value in grids, in the canvas's value layer and in read-outs:
// the largest finite single-precision float (bit pattern 0x7F7FFFFF).

#include <limits>

namespace orv {

constexpr float kNoValue = std::numeric_limits<float>::max();

constexpr bool IsNoValue(float v) { return v == kNoValue; }

}  // namespace orv
