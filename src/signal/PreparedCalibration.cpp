#include "signal/PreparedCalibration.h"

#include "config/Configuration.h"
#include "signal/ApparentConductivity.h"

#include <cmath>
#include <cstring>

namespace orv {

namespace {

constexpr double kThird = 1.0 / 3.0;

// Bitwise equality: a NaN equals the same NaN and -0 differs from 0, as the arithmetic sees them.
template <typename T>
bool SameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// The numbers of a calibration that the signal chain reads, and the three powers.
struct Inputs
{
    std::array<CalibrationPair, kFrequencyCount> primary{};
    std::array<CalibrationPair, kFrequencyCount> air{};
    FrequencyTable iAir{};
    FrequencyTable currentCoef{};
    FrequencyTable m1{};
    FrequencyTable m2{};
    FrequencyTable gain{};
    FrequencyTable frequencies{};
    std::array<double, 4> coils{};  // rt, nt, r1, r2
    std::array<float, 3> powers{};  // module, quadrature, in-phase

    bool SameAs(const CalibrationRecord& cal, const std::array<float, 3>& p) const
    {
        const std::array<double, 4> c{cal.rt, cal.nt, cal.r1, cal.r2};
        return SameBits(primary, cal.Primary) && SameBits(air, cal.Air) &&
               SameBits(iAir, cal.IAir) && SameBits(currentCoef, cal.CurrentCoef) &&
               SameBits(m1, cal.M1) && SameBits(m2, cal.M2) && SameBits(gain, cal.GainFactor) &&
               SameBits(frequencies, cal.Frequencies) && SameBits(coils, c) && SameBits(powers, p);
    }

    void Take(const CalibrationRecord& cal, const std::array<float, 3>& p)
    {
        primary = cal.Primary;
        air = cal.Air;
        iAir = cal.IAir;
        currentCoef = cal.CurrentCoef;
        m1 = cal.M1;
        m2 = cal.M2;
        gain = cal.GainFactor;
        frequencies = cal.Frequencies;
        coils = {cal.rt, cal.nt, cal.r1, cal.r2};
        powers = p;
    }
};

FrequencyConstants Prepare(const CalibrationRecord& cal, const std::array<float, 3>& powers, int i)
{
    const auto n = static_cast<size_t>(i);
    FrequencyConstants f;
    f.currentCoef = cal.CurrentCoef[n];
    f.airX = cal.Air[n].X;
    f.airY = cal.Air[n].Y;
    const double airK = 1 / (cal.IAir[n] * f.currentCoef);
    f.airNormX = f.airX * airK;
    f.airNormY = f.airY * airK;
    f.primaryX = cal.Primary[n].X;
    f.primaryY = cal.Primary[n].Y;
    f.gain = cal.GainFactor[n];
    for (size_t c = 0; c < 3; ++c) {
        f.frequencyPower[c] = std::pow(cal.Frequencies[n], static_cast<double>(powers[c]));
    }

    f.noConductivity = cal.r1 == 0 || cal.M2[n] == 0;
    f.kq = QuadratureCoefficient(cal, i);
    f.kp = InphaseCoefficient(cal, i);
    f.inphaseK = -1 / f.kp;
    f.moduleK = 1 / (-f.kp);
    const double ka = f.kq * f.moduleK;
    f.a = ka * ka;
    const double p = (f.a * f.a) * (-kThird);
    const double b = std::pow(f.a * kThird, 3.0);
    f.twiceB = b * 2;
    const double p3 = p * kThird;
    f.p3Cubed = p3 * (p3 * p3);
    f.aThird = f.a * kThird;
    f.r0 = std::sqrt(-f.p3Cubed);
    f.cubeRootR0 = std::pow(f.r0, kThird);
    f.cubeRootSlope = f.cubeRootR0 * kThird / f.r0;
    return f;
}

struct Cache
{
    bool valid = false;
    Inputs inputs;
    PreparedCalibration prepared;
};

}  // namespace

const PreparedCalibration& PreparedFor(const Configuration& configuration)
{
    thread_local Cache cache;
    const CalibrationRecord& cal = configuration.ActiveCalibration;
    const std::array<float, 3> powers{configuration.PowerModule, configuration.PowerQuadrature,
                                      configuration.PowerInphase};
    if (!cache.valid || !cache.inputs.SameAs(cal, powers)) {
        cache.inputs.Take(cal, powers);
        PreparedCalibration& p = cache.prepared;
        for (int i = 0; i < kFrequencyCount; ++i) {
            const auto n = static_cast<size_t>(i);
            const FrequencyConstants f = Prepare(cal, powers, i);
            p.at[n] = f;
            p.lanes.currentCoef[n] = f.currentCoef;
            p.lanes.airNormX[n] = f.airNormX;
            p.lanes.airNormY[n] = f.airNormY;
            p.lanes.primaryX[n] = f.primaryX;
            p.lanes.primaryY[n] = f.primaryY;
            p.lanes.gain[n] = f.gain;
            p.lanes.inphaseK[n] = f.inphaseK;
            p.lanes.moduleK[n] = f.moduleK;
            p.lanes.twiceB[n] = f.twiceB;
            p.lanes.p3Cubed[n] = f.p3Cubed;
            p.lanes.aThird[n] = f.aThird;
            p.lanes.r0[n] = f.r0;
            p.lanes.cubeRootR0[n] = f.cubeRootR0;
            p.lanes.cubeRootSlope[n] = f.cubeRootSlope;
        }
        cache.valid = true;
    }
    return cache.prepared;
}

}  // namespace orv
