#include "exchange/NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orv {

namespace {

// The fewest significant digits that read back as v, printed without an exponent where the
// number's own digits reach the decimal point ("14910", not "1.491e+04"): %g switches to an
// exponent once the exponent reaches the precision, so the precision is raised to cover it, up
// to the digits the type holds.
template <typename T, typename Read>
std::string Shortest(T v, int mostDigits, Read read)
{
    char buffer[48];
    int digits = 1;
    for (; digits < mostDigits; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, double(v));
        if (read(buffer) == v) {
            break;
        }
    }
    if (std::isfinite(v) && v != 0) {
        const int exponent = static_cast<int>(std::floor(std::log10(std::abs(double(v)))));
        if (exponent >= digits && exponent < mostDigits) {
            digits = exponent + 1;
        }
    }
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, double(v));
    return buffer;
}

}  // namespace

std::string FloatText(float v)
{
    return Shortest(v, 9, [](const char* text) { return std::strtof(text, nullptr); });
}

std::string DoubleText(double v)
{
    return Shortest(v, 17, [](const char* text) { return std::strtod(text, nullptr); });
}

double ShortFloat(float v)
{
    if (!std::isfinite(v)) {
        return double(v);
    }
    return std::strtod(FloatText(v).c_str(), nullptr);
}

}  // namespace orv
