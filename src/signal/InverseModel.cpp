#include "signal/InverseModel.h"

#include "base/Frequencies.h"
#include "signal/ApparentConductivity.h"
#include "signal/Complex.h"

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

constexpr double kCurrentFullScale = 8000000.0;
// In receiver units after the 7-bit scaling; the 24-bit range ends at 65535.
constexpr double kSignalFullScale = 60000.0;
constexpr int64_t kMax24 = 8388607;
constexpr int64_t kMin24 = -8388608;

bool Finite(Complex c) { return std::isfinite(c.re) && std::isfinite(c.im); }

// The wire value whose 7-bit arithmetic shift gives the receiver value nearest to `adc`.
int64_t WireSignal(double adc) { return std::llround(adc * 128 + 64); }

bool In24(int64_t v) { return v >= kMin24 && v <= kMax24; }

}  // namespace

bool RawBlockForConductivity(double sigma, int frequency, const CalibrationRecord& cal,
                             RawBlock& out)
{
    if (frequency < 0 || frequency >= kFrequencyCount || !std::isfinite(sigma) || sigma < 0) {
        return false;
    }
    const auto n = static_cast<size_t>(frequency);
    const double s = sigma / 1000;

    Complex ground;  // the processed signal the computation must arrive at
    if (s > 0) {
        if (cal.r1 == 0 || cal.M2[n] == 0) {
            return false;
        }
        const double kq = QuadratureCoefficient(cal, frequency);
        const double kp = InphaseCoefficient(cal, frequency);
        if (kq == 0 || !std::isfinite(kq) || !std::isfinite(kp)) {
            return false;
        }
        ground = {kq * s, -kp * std::pow(s, 1.5)};
    }

    const double gain = cal.GainFactor[n];
    const Complex phase{cal.Primary[n].X, cal.Primary[n].Y};
    const double phase2 = phase.re * phase.re + phase.im * phase.im;
    const double airCurrent = cal.IAir[n] * cal.CurrentCoef[n];
    if (gain == 0 || phase2 == 0 || airCurrent == 0 || cal.CurrentCoef[n] == 0) {
        return false;
    }
    // Undo the gain and the phase equalisation: divide by GF * P.
    const Complex conj{phase.re / phase2, -phase.im / phase2};
    const Complex secondary = Scale(Product(ground, conj), 1 / gain);
    // Add the air signal back; the result is the receiver signal per unit of the normalised
    // current, scaled here to receiver units per raw current count.
    const Complex air = Divide({cal.Air[n].X, cal.Air[n].Y}, airCurrent);
    const Complex perCount =
        Scale({air.re + secondary.re, air.im + secondary.im}, std::fabs(cal.CurrentCoef[n]));
    if (!Finite(perCount)) {
        return false;
    }

    const double largest = std::max(std::fabs(perCount.re), std::fabs(perCount.im));
    double current = kCurrentFullScale;
    if (largest * current > kSignalFullScale) {
        current = std::floor(kSignalFullScale / largest);
    }
    if (current < 1) {
        return false;
    }
    const int64_t re = WireSignal(perCount.re * current);
    const int64_t im = WireSignal(perCount.im * current);
    if (!In24(re) || !In24(im)) {
        return false;
    }
    out = {static_cast<int32_t>(re), static_cast<int32_t>(im), static_cast<int32_t>(current), 0};
    return true;
}

}  // namespace orv
