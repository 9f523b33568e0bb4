#include "signal/ApparentConductivity.h"

#include "base/Frequencies.h"
#include "calibration/CalibrationRecord.h"
#include "config/Configuration.h"

#include <cmath>

namespace orv {

namespace {

constexpr double kThird = 1.0 / 3.0;

bool ValidIndex(int i) { return i >= 0 && i < kFrequencyCount; }

// The constants are recomputed at every call, in this order, as the instrument's software does;
// pi from arccos keeps its last bit.
struct Constants
{
    double mu0;
    double omega;
};

Constants ConstantsAt(double frequencyKhz)
{
    const double pi = std::acos(0.0) * 2;
    const double mu0 = pi * 4e-7;
    const double f = frequencyKhz * 1000;
    const double omega = (f * pi) * 2;
    return {mu0, omega};
}

double Finite(double x) { return std::isfinite(x) ? x : 0.0; }

// sigma^3 + a*sigma^2 - c = 0 with a = (Kq/Kp)^2 and c = (v/Kp)^2: Cardano's formula for one real
// root, the trigonometric form (its largest root) for three.
double ModuleConductivity(double kq, double kp, double v)
{
    // v = 0 has the root 0, but the formula lands on D = 0 only up to rounding and may take the
    // cube root of a negative number.
    if (v == 0.0) {
        return 0.0;
    }
    const double k = 1 / (-kp);
    const double ka = kq * k;
    const double a = ka * ka;
    const double kv = k * v;
    const double c = kv * kv;
    const double p = (a * a) * (-kThird);
    const double b = std::pow(a * kThird, 3.0);
    const double q = b * 2 + (-c);
    const double h = q * 0.5;
    const double p3 = p * kThird;
    const double d = p3 * (p3 * p3) + h * h;
    if (d >= 0) {
        const double s = std::sqrt(d);
        const double u = std::pow(s - h, kThird);
        const double w = std::pow(q * (-0.5) - s, kThird);
        return (w + u) - a * kThird;
    }
    const double r = std::sqrt(std::fabs(d) + h * h);
    const double phi = std::acos((q / r) * (-0.5)) * kThird;
    return ((std::cos(phi) * std::pow(r, kThird)) * 2) - a * kThird;
}

}  // namespace

double QuadratureCoefficient(const CalibrationRecord& cal, int i)
{
    if (!ValidIndex(i)) {
        return 0.0;
    }
    const auto n = static_cast<size_t>(i);
    const Constants k = ConstantsAt(cal.Frequencies[n]);
    const double t = (cal.rt * k.omega) * k.mu0;
    return (((cal.M2[n] / cal.r2 - cal.M1[n] / cal.r1) * (t * t)) * cal.nt) * 0.0625;
}

double InphaseCoefficient(const CalibrationRecord& cal, int i)
{
    if (!ValidIndex(i)) {
        return 0.0;
    }
    const auto n = static_cast<size_t>(i);
    const Constants k = ConstantsAt(cal.Frequencies[n]);
    const double top = ((std::pow(k.omega * k.mu0, 2.5) * cal.nt) * cal.rt) * cal.rt;
    return top / (std::sqrt(2.0) * 15) * (cal.M2[n] - cal.M1[n]);
}

double ApparentConductivity(const CalibrationRecord& cal, int component, double v, int i)
{
    if (!ValidIndex(i)) {
        return 0.0;
    }
    const auto n = static_cast<size_t>(i);
    if (cal.r1 == 0 || cal.M2[n] == 0) {
        return 0.0;
    }
    switch (component) {
        case signal_component::kQuadrature: {
            const double kq = QuadratureCoefficient(cal, i);
            if (kq == 0) {
                return 0.0;
            }
            return Finite(v / kq);
        }
        case signal_component::kInphase: {
            const double kp = InphaseCoefficient(cal, i);
            if (kp == 0) {
                return 0.0;
            }
            const double k = -1 / kp;
            const double y = k * v;
            return Finite(std::pow(std::fabs(y), 2.0 / 3.0));
        }
        case signal_component::kModule: {
            // M2 = M1 makes Kp zero; the module then has no in-phase part to solve with, and 0
            // is returned as in the in-phase case.
            const double kp = InphaseCoefficient(cal, i);
            if (kp == 0) {
                return 0.0;
            }
            return Finite(ModuleConductivity(QuadratureCoefficient(cal, i), kp, v));
        }
        default:
            return 0.0;
    }
}

double ApparentConductivity(const Configuration& configuration, double v, int i)
{
    return ApparentConductivity(configuration.ActiveCalibration, configuration.SignalComponent, v,
                                i);
}

}  // namespace orv
