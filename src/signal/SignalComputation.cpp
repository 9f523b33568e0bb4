#include "signal/SignalComputation.h"

#include "base/MeasurementSlot.h"
#include "config/Configuration.h"
#include "signal/ApparentConductivity.h"
#include "signal/Complex.h"
#include "signal/SignalSteps.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace orv {

using signal_steps::FilterActive;
using signal_steps::Filtered;
using signal_steps::Finite;
using signal_steps::Shown;
using signal_steps::ValidIndex;

namespace {

Complex ReceiverChannel(const MeasurementSlot& slot, int i)
{
    return {static_cast<double>(slot.SignalRe(i)), static_cast<double>(slot.SignalIm(i))};
}

Complex CurrentChannel(const MeasurementSlot& slot, int i)
{
    return {static_cast<double>(slot.CurrentRe(i)), static_cast<double>(slot.CurrentIm(i))};
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

float DepthOf(const Configuration& k, int i)
{
    if (!ValidIndex(i)) {
        return 0.0f;
    }
    return Shown(static_cast<double>(k.DepthScaleFactor) *
                 k.ActiveCalibration.DepthFactor[static_cast<size_t>(i)]);
}

}  // namespace orv
