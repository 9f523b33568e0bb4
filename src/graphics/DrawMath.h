#pragma once
// Drawing arithmetic is single precision; a float becomes a pixel coordinate by adding 0.5 and
// truncating. These helpers do that without undefined behaviour: a value beyond the int range
// saturates and NaN gives 0, so a degenerate scale draws off the canvas instead of crashing.

#include <cmath>

namespace orv {

// Truncation towards zero, saturating.
inline int TruncateToInt(float v)
{
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= 2147483520.0f) {  // the largest float below 2^31
        return 2147483520;
    }
    if (v <= -2147483648.0f) {
        return -2147483647 - 1;
    }
    return static_cast<int>(v);
}

// Adds 0.5 and truncates: the rounding of every pixel coordinate. For values below -0.5 it
// rounds down instead of towards zero, so a negative label or coordinate is not pulled one unit
// towards 0; for everything else it is exactly truncate(v + 0.5).
inline int RoundToInt(float v) { return TruncateToInt(std::floor(v + 0.5f)); }

// Ceiling of a / b for positive b.
constexpr int CeilDiv(int a, int b) { return (a + b - 1) / b; }

}  // namespace orv
