#pragma once
// The steps that the one-frequency computation (SignalComputation.cpp) and the bulk computation
// of a slot's 14 values (SlotValues.cpp) share: the guard against non-finite values, the
// frequency filter and the narrowing to single precision for display.

#include "base/Frequencies.h"
#include "base/NoValue.h"
#include "config/Configuration.h"
#include "signal/Complex.h"
#include "signal/SignalComputation.h"

#include <cmath>
#include <cstddef>
#include <optional>

namespace orv::signal_steps {

inline bool ValidIndex(int i) { return i >= 0 && i < kFrequencyCount; }

inline double Finite(double x) { return std::isfinite(x) ? x : 0.0; }

// The part of the signal `s` that `component` names: its module, its quadrature (real) or its
// in-phase (imaginary) part; nothing for another component.
inline std::optional<double> ComponentOf(const Complex& s, int component)
{
    switch (component) {
        case signal_component::kModule:
            return Modulus(s);
        case signal_component::kQuadrature:
            return s.re;
        case signal_component::kInphase:
            return s.im;
        default:
            return std::nullopt;
    }
}

// Single precision for drawing. A value beyond its range would become infinity, and one that
// lands on the largest float would read as NoValue in a grid: both are shown as 0.
inline float Shown(double v)
{
    if (!(std::fabs(v) < static_cast<double>(kNoValue))) {
        return 0.0f;
    }
    const auto f = static_cast<float>(v);
    return std::fabs(f) < kNoValue ? f : 0.0f;
}

inline bool FilterActive(const Configuration& k)
{
    return k.ApplySignalFilter != 0 && k.UnitMeasure == unit_measure::kApparent;
}

// A value that strays from the mean of its switched-on neighbours (up to two frequencies on
// each side) by more than FilterTolerance times the smaller of the two takes the mean.
template <typename ValueOf>
double Filtered(const Configuration& k, double v, int i, ValueOf valueOf)
{
    double sum = 0.0;
    int count = 0;
    for (int j = i - 2; j <= i + 2; ++j) {
        if (j == i || !ValidIndex(j) || k.UsedFrequencies[static_cast<size_t>(j)] == 0) {
            continue;
        }
        sum += valueOf(j);
        ++count;
    }
    if (count < 2) {
        return v;
    }
    const double m = sum / count;
    const double d = std::fabs(v - m);
    const double limit = k.FilterTolerance * (v < m ? v : m);
    return d > limit ? m : v;
}

}  // namespace orv::signal_steps
