#include "graphics/Units.h"

#include "config/Configuration.h"
#include "signal/SignalComputation.h"

#include <cmath>
#include <cstdio>

namespace orv {

std::string UnitText(const Configuration& config)
{
    if (config.UnitMeasure == unit_measure::kAdc) {
        return "ADC units";
    }
    if (config.UnitMeasure == unit_measure::kApparent) {
        if (config.ApparentValueKind == apparent_kind::kResistivity) {
            return "Ohm\u00B7m";
        }
        if (config.ApparentValueKind == apparent_kind::kConductivity) {
            return "mS/m";
        }
    }
    return {};
}

std::string ValueText(float value, const Configuration& config)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
    const std::string unit = UnitText(config);
    return unit.empty() ? std::string(buffer) : std::string(buffer) + " " + unit;
}

std::string DepthText(float metres)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f m", static_cast<double>(metres));
    return buffer;
}

std::string FrequencyText(const Configuration& config, int f)
{
    if (f < 0 || f >= kFrequencyCount) {
        return {};
    }
    const double kHz = config.ActiveCalibration.Frequencies[static_cast<size_t>(f)];
    if (!(kHz > 0.0) || !std::isfinite(kHz) || kHz >= 1e9) {
        return {};
    }
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.4g kHz", kHz);
    return buffer;
}

std::string LabelNumber(double value, double step)
{
    int decimals = 0;
    if (step > 0.0 && std::isfinite(step)) {
        // Enough decimals that neighbours differ: 0.5 needs one, 0.25 two, 1e-3 three.
        double scaled = step;
        while (decimals < 9 && std::fabs(scaled - std::round(scaled)) > 1e-6 * scaled) {
            scaled *= 10.0;
            ++decimals;
        }
    }
    if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) {
        value = 0.0;  // never "-0"
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

}  // namespace orv
