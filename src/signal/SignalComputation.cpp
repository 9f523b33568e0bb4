#include "signal/SignalComputation.h"

#include "base/MeasurementSlot.h"
#include "base/NoValue.h"
#include "config/Configuration.h"
#include "signal/ApparentConductivity.h"
#include "signal/Complex.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace orv {

namespace {

bool ValidIndex(int i) { return i >= 0 && i < kFrequencyCount; }

double Finite(double x) { return std::isfinite(x) ? x : 0.0; }

// Single precision for drawing. A value beyond its range would become infinity, and one that
// lands on the largest float would read as NoValue in a grid: both are shown as 0.
float Shown(double v)
{
    if (!(std::fabs(v) < static_cast<double>(kNoValue))) {
        return 0.0f;
    }
    const auto f = static_cast<float>(v);
    return std::fabs(f) < kNoValue ? f : 0.0f;
}

Complex ReceiverChannel(const MeasurementSlot& slot, int i)
{
    return {static_cast<double>(slot.SignalRe(i)), static_cast<double>(slot.SignalIm(i))};
}

Complex CurrentChannel(const MeasurementSlot& slot, int i)
{
    return {static_cast<double>(slot.CurrentRe(i)), static_cast<double>(slot.CurrentIm(i))};
}

bool FilterActive(const Configuration& k)
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

double AdcValue(const Configuration& k, const MeasurementSlot& slot, int i, Complex s)
{
    const CalibrationRecord& cal = k.ActiveCalibration;
    const auto n = static_cast<size_t>(i);
    const double cc = cal.CurrentCoef[n];
    if (k.NormalizedToCurrent != 0) {
        const Complex c = Scale(CurrentChannel(slot, i), cc);
        s = Divide(s, Modulus(c));
    }
    if (k.SubtractUndercompensation != 0) {
        Complex a{cal.Air[n].X, cal.Air[n].Y};
        if (k.NormalizedToCurrent != 0) {
            a = Divide(a, cal.IAir[n] * cc);
        }
        s = Difference(s, a);
    }
    if (k.PhaseEqualization != 0) {
        s = Product(s, {cal.Primary[n].X, cal.Primary[n].Y});
    }
    double v = 0.0;
    float power = 0.0f;
    switch (k.SignalComponent) {
        case signal_component::kModule:
            v = Modulus(s);
            power = k.PowerModule;
            break;
        case signal_component::kQuadrature:
            v = s.re;
            power = k.PowerQuadrature;
            break;
        case signal_component::kInphase:
            v = s.im;
            power = k.PowerInphase;
            break;
        default:
            return 0.0;
    }
    if (k.NormalizedToFrequency != 0) {
        // F in kHz, not Hz.
        v = v / std::pow(cal.Frequencies[n], static_cast<double>(power));
    }
    return v;
}

double ApparentValue(const Configuration& k, const MeasurementSlot& slot, int i, Complex s)
{
    const CalibrationRecord& cal = k.ActiveCalibration;
    const auto n = static_cast<size_t>(i);
    const double cc = cal.CurrentCoef[n];
    const Complex c = Scale(CurrentChannel(slot, i), cc);
    s = Divide(s, Modulus(c));
    const Complex a = Divide({cal.Air[n].X, cal.Air[n].Y}, cal.IAir[n] * cc);
    s = Difference(s, a);
    s = Product(s, {cal.Primary[n].X, cal.Primary[n].Y});
    s = Scale(s, cal.GainFactor[n]);

    double sigma = 0.0;
    switch (k.SignalComponent) {
        case signal_component::kModule:
            sigma = ApparentConductivity(k, Modulus(s), i);
            break;
        case signal_component::kQuadrature:
            sigma = ApparentConductivity(k, s.re, i);
            break;
        case signal_component::kInphase:
            sigma = ApparentConductivity(k, s.im, i);
            break;
        default:
            break;
    }
    switch (k.ApparentValueKind) {
        case apparent_kind::kResistivity:
            return sigma != 0 ? 1 / sigma : 0.0;
        case apparent_kind::kConductivity:
            return sigma * 1000;
        default:
            return sigma;
    }
}

}  // namespace

double ComputeValue(const Configuration& k, const MeasurementSlot& slot, int i)
{
    if (!ValidIndex(i) || slot.IsEmpty() || slot.IsFrequencyMissing(i)) {
        return 0.0;
    }
    const Complex s =
        k.SignalChannelIsCurrent != 0 ? CurrentChannel(slot, i) : ReceiverChannel(slot, i);
    switch (k.UnitMeasure) {
        case unit_measure::kAdc:
            return Finite(AdcValue(k, slot, i, s));
        case unit_measure::kApparent:
            return Finite(ApparentValue(k, slot, i, s));
        default:
            return 0.0;
    }
}

float ValueAt(const Configuration& k, const MeasurementSlot& slot, int i)
{
    double v = ComputeValue(k, slot, i);
    if (FilterActive(k) && ValidIndex(i)) {
        v = Filtered(k, v, i, [&](int j) { return ComputeValue(k, slot, j); });
    }
    return Shown(v);
}

void ValuesAll(const Configuration& k, const MeasurementSlot& slot,
               std::span<float, kFrequencyCount> out)
{
    std::array<double, kFrequencyCount> raw{};
    for (int i = 0; i < kFrequencyCount; ++i) {
        const auto n = static_cast<size_t>(i);
        raw[n] = k.UsedFrequencies[n] != 0 ? ComputeValue(k, slot, i) : 0.0;
    }
    const bool filter = FilterActive(k);
    for (int i = 0; i < kFrequencyCount; ++i) {
        const auto n = static_cast<size_t>(i);
        double v = raw[n];
        if (filter) {
            v = Filtered(k, v, i, [&](int j) { return raw[static_cast<size_t>(j)]; });
        }
        out[n] = Shown(v);
    }
}

float DepthOf(const Configuration& k, int i)
{
    if (!ValidIndex(i)) {
        return 0.0f;
    }
    return Shown(static_cast<double>(k.DepthScaleFactor) *
                 k.ActiveCalibration.DepthFactor[static_cast<size_t>(i)]);
}

}  // namespace orv
