#include "base/PortNamer.h"

#include <cstdio>
#include <cstdlib>

namespace orv {

namespace {

#ifdef _WIN32
constexpr const char* kDefaultPattern = "COM%u";
#else
constexpr const char* kDefaultPattern = "/dev/rfcomm%u";
#endif

// A pattern must hold exactly one "%u" and no other conversion, since it is handed to printf.
bool IsSafePattern(const std::string& pattern)
{
    int conversions = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            ++i;
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == 'u') {
            ++conversions;
            ++i;
            continue;
        }
        return false;
    }
    return conversions == 1;
}

std::string Format(const std::string& pattern, unsigned n)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, pattern.c_str(), n);
    return buffer;
}

}  // namespace

std::string HandheldPortName(unsigned n) { return Format("COM%u:", n); }

std::string PortPattern()
{
    const char* env = std::getenv("ORVCONTROL_PORT_PATTERN");
    if (env != nullptr && IsSafePattern(env)) {
        return env;
    }
    return kDefaultPattern;
}

std::string DevicePathForPort(unsigned n) { return Format(PortPattern(), n); }

}  // namespace orv
