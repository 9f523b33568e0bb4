#include "exchange/NumberText.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace orv {

namespace {

// std::to_chars without a format gives the fewest digits that read back as the same value, and
// between the fixed and the exponent form the shorter, fixed when they tie: "14910", "0.1",
// "1e+20", never "1.491e+04".
template <typename T>
std::string Shortest(T v)
{
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, v);
    if (result.ec != std::errc()) {
        return "nan";
    }
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string ShortestFloatText(float v) { return Shortest(v); }

std::string DoubleText(double v) { return Shortest(v); }

double ShortFloat(float v)
{
    if (!std::isfinite(v)) {
        return double(v);
    }
    char buffer[64];
    const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, v);
    double out = double(v);
    std::from_chars(buffer, written.ptr, out);
    return out;
}

}  // namespace orv
