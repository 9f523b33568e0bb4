// ValuesAll: the 14 values of a slot at once, as a section redraw asks for them for every
// station. The result is the one-frequency computation's (ComputeValue, the filter, Shown) bit
// for bit; it is reached faster in three ways.
//
// The constants of the chain come prepared per calibration (PreparedCalibration.h).
//
// The work goes stage by stage over all 14 frequencies (the chain, the cubic, each form of its
// root, the filter, the narrowing), in loops without branches that the compiler runs two
// frequencies at a time; each frequency then takes the result of its own form.
//
// The apparent conductivity of the in-phase and module components takes roots through pow, acos
// and cos, which cost more than the whole rest of the chain. Here they come from QuickRoots.h,
// which is as good as the library to a few units in the last place, and every value carries a
// bound on its distance to the value the library's roots would give: the sum of the worst
// distances of both roots to the exact one (the library's own taken as 8 units in the last
// place, where it promises 1), and of the roundings of the steps that follow, each counted
// generously. Only the single-precision value is shown, 29 bits coarser than the double; where
// the whole interval of the bound rounds to one float, that float is the one the library's
// roots give, and where the filter's choice is certain over the bounds, it is the one the
// library's values make. Where not (a value next to the middle between two floats, a choice on
// its edge, a reading whose roots the approximations do not cover, a module below about 1e-9
// whose formula cancels away nearly all its bits), the value is computed again with the
// library's roots, and with the filter all 14 of them.

#include "signal/SlotValues.h"

#include "base/MeasurementSlot.h"
#include "base/NoValue.h"
#include "config/Configuration.h"
#include "signal/ApparentConductivity.h"
#include "signal/Complex.h"
#include "signal/PreparedCalibration.h"
#include "signal/QuickRoots.h"
#include "signal/SignalComputation.h"
#include "signal/SignalSteps.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orv {

using signal_steps::ComponentOf;
using signal_steps::FilterActive;
using signal_steps::Finite;
using signal_steps::Shown;

namespace {

constexpr double kThird = 1.0 / 3.0;
// Arguments within which the cube roots are taken quickly: there the exponent 1/3 of pow, which
// is 2^-54/3 short of a third, moves pow's result less than 12 units in the last place from the
// true cube root.
constexpr double kRootLow = 0x1p-100;
constexpr double kRootHigh = 0x1p100;

// The four channels of a frequency block as doubles, the receiver already scaled.
struct Block
{
    Complex signal;
    Complex current;
};

// The same for all 14 blocks, one array per channel.
struct Channels
{
    FrequencyLane signalRe;
    FrequencyLane signalIm;
    FrequencyLane currentRe;
    FrequencyLane currentIm;
};

// The big-endian 24-bit value at p, sign-extended, as MeasurementSlot::Value reads it.
int32_t Wire24(const uint8_t* p)
{
    if constexpr (std::endian::native == std::endian::little) {
        // Four bytes in one load; the fourth, the next value's first, is shifted out. The last
        // value of the last block is followed by the mask, still inside the slot.
        uint32_t w = 0;
        std::memcpy(&w, p, sizeof w);
        return static_cast<int32_t>(__builtin_bswap32(w)) >> 8;
    }
    return SignExtend24(big_endian::Load24(p));
}

Channels Decode(const MeasurementSlot& slot)
{
    Channels c;
    for (size_t n = 0; n < c.signalRe.size(); ++n) {
        const uint8_t* block = &slot.bytes[kBlockSize * n];
        c.signalRe[n] = static_cast<double>(Wire24(block) >> 7);
        c.signalIm[n] = static_cast<double>(Wire24(block + 3) >> 7);
        c.currentRe[n] = static_cast<double>(Wire24(block + 6));
        c.currentIm[n] = static_cast<double>(Wire24(block + 9));
    }
    return c;
}

bool QuickRoot(double x) { return x >= kRootLow && x <= kRootHigh; }

// pow(x, 1/3), within 2^-46 of it relatively where quick.
[[gnu::always_inline]] inline Bounded CubeRoot(double x, bool quick)
{
    if (quick && QuickRoot(x)) {
        const double c = quick_roots::CubeRoot(x);
        return {c, c * 0x1p-46};
    }
    return {std::pow(x, kThird), 0.0};
}

// The module's cubic sigma^3 + a*sigma^2 - c = 0, solved as ModuleConductivity of
// ApparentConductivity.cpp solves it, in steps: the parts that depend on the reading, then
// Cardano's formula where the cubic has one real root (d >= 0), the trigonometric form where it
// has three.
struct Cubic
{
    double q = 0;
    double h = 0;
    double hh = 0;
    double d = 0;
};

[[gnu::always_inline]] inline Cubic CubicOf(double moduleK, double twiceB, double p3Cubed, double v)
{
    Cubic cubic;
    const double kv = moduleK * v;
    const double c = kv * kv;
    cubic.q = twiceB + (-c);
    cubic.h = cubic.q * 0.5;
    cubic.hh = cubic.h * cubic.h;
    cubic.d = p3Cubed + cubic.hh;
    return cubic;
}

// The sum of two cube roots.
[[gnu::always_inline]] inline Bounded Cardano(const FrequencyConstants& f, const Cubic& cubic,
                                              bool quick)
{
    const double s = std::sqrt(cubic.d);
    const Bounded u = CubeRoot(s - cubic.h, quick);
    const Bounded w = CubeRoot(cubic.q * (-0.5) - s, quick);
    const double sigma = (w.v + u.v) - f.aThird;
    if (u.err == 0 && w.err == 0) {
        return {sigma, 0.0};
    }
    return {sigma, (u.err + w.err) * 2 + std::fabs(sigma) * 0x1p-50};
}

// 2 * r^(1/3) * cos(acos(z) / 3) - a/3 with the library's roots.
inline double Trigonometric(const FrequencyConstants& f, const Cubic& cubic)
{
    const double r = std::sqrt(std::fabs(cubic.d) + cubic.hh);
    const double phi = std::acos((cubic.q / r) * (-0.5)) * kThird;
    return ((std::cos(phi) * std::pow(r, kThird)) * 2) - f.aThird;
}

// The same with the quick roots, and its bound; false where they do not cover the reading. r is
// r0 but for a few roundings: its cube root comes from the prepared one and the slope, within 17
// units in the last place of pow's (8 for each pow, 1 for the step). The library's cosine of the
// trisected arc is within 8 units of 2^-52 of the exact one, the quick one within 4. Together,
// with the roundings of the formula, that is less than 2^-45 times r^(1/3) (about a/3); the bound
// is four times as much.
[[gnu::always_inline]] inline bool QuickTrigonometric(const Cubic& cubic, double r0,
                                                      double cubeRootR0, double cubeRootSlope,
                                                      double aThird, double& sigma, double& err)
{
    const double r = std::sqrt(std::fabs(cubic.d) + cubic.hh);
    const double z = (cubic.q / r) * (-0.5);
    const double cubeRoot = cubeRootR0 + (r - r0) * cubeRootSlope;
    const double s = quick_roots::TrisectedCosineLessHalf(1 + z);
    sigma = (cubeRoot - aThird) + (2 * cubeRoot) * s;
    err = (cubeRoot + aThird) * 0x1p-44 + std::fabs(sigma) * 0x1p-50;
    return z > -1 && z < 1 && std::fabs(r - r0) <= r0 * 0x1p-40;
}

[[gnu::always_inline]] inline Bounded ModuleSigma(const FrequencyConstants& f, double v, bool quick)
{
    if (v == 0.0) {
        return {};
    }
    const Cubic cubic = CubicOf(f.moduleK, f.twiceB, f.p3Cubed, v);
    if (cubic.d >= 0) {
        return Cardano(f, cubic, quick);
    }
    Bounded sigma;
    if (quick && QuickTrigonometric(cubic, f.r0, f.cubeRootR0, f.cubeRootSlope, f.aThird, sigma.v,
                                    sigma.err)) {
        return sigma;
    }
    return {Trigonometric(f, cubic), 0.0};
}

// What Sigma makes of a bounded sigma: the library's results pass as they are, but for the
// guard against non-finite ones; a bound that leaves the sign open, or a value near the end of
// the range, asks for the value to be computed again.
[[gnu::always_inline]] inline Bounded Checked(Bounded sigma)
{
    if (sigma.err == 0) {
        return {Finite(sigma.v), 0.0};
    }
    if (!(sigma.err < std::fabs(sigma.v) * 0x1p-20) || !(std::fabs(sigma.v) < 0x1p1000)) {
        return {sigma.v, kUnknown};
    }
    return sigma;
}

[[gnu::always_inline]] inline Bounded Sigma(const FrequencyConstants& f, int component, double v,
                                            bool quick)
{
    if (f.noConductivity) {
        return {};
    }
    Bounded sigma;
    switch (component) {
        case signal_component::kQuadrature:
            return {f.kq == 0 ? 0.0 : Finite(v / f.kq), 0.0};
        case signal_component::kInphase: {
            if (f.kp == 0) {
                return {};
            }
            // y^(2/3) = (y^(1/3))^2: the exponent 2/3 of pow is twice the 1/3 of CubeRoot.
            const double y = std::fabs(f.inphaseK * v);
            if (quick && QuickRoot(y)) {
                const double c = quick_roots::CubeRoot(y);
                const double s = c * c;
                return {s, s * 0x1p-44};
            }
            sigma = {std::pow(y, 2.0 / 3.0), 0.0};
            break;
        }
        case signal_component::kModule:
            if (f.kp == 0) {
                return {};
            }
            sigma = ModuleSigma(f, v, quick);
            break;
        default:
            return {};
    }
    return Checked(sigma);
}

// The apparent value of sigma in the chosen kind.
Bounded Apparent(int kind, Bounded sigma)
{
    double v = 0.0;
    switch (kind) {
        case apparent_kind::kResistivity:
            v = sigma.v != 0 ? 1 / sigma.v : 0.0;
            break;
        case apparent_kind::kConductivity:
            v = sigma.v * 1000;
            break;
        default:
            v = sigma.v;
            break;
    }
    if (sigma.err == 0) {
        return {Finite(v), 0.0};
    }
    // sigma is known to within 2^-20 of itself, and so its sign (ApparentSigma).
    const double relative = sigma.err / std::fabs(sigma.v);
    const double err = std::fabs(v) * (relative * (1 + 0x1p-19) + 0x1p-51);
    if (!std::isfinite(v) || !std::isfinite(err)) {
        return {v, kUnknown};
    }
    return {v, err};
}

// The value of frequency n before the filter: ComputeValue, with the prepared constants.
[[gnu::always_inline]] inline Bounded RawValue(const Configuration& k, const FrequencyConstants& f,
                                               const Block& b, bool quick)
{
    Complex s = k.SignalChannelIsCurrent != 0 ? b.current : b.signal;
    const int component = k.SignalComponent;
    if (k.UnitMeasure == unit_measure::kApparent) {
        const Complex c = Scale(b.current, f.currentCoef);
        s = Divide(s, Modulus(c));
        s = Difference(s, {f.airNormX, f.airNormY});
        s = Product(s, {f.primaryX, f.primaryY});
        s = Scale(s, f.gain);
        const double v = ComponentOf(s, component).value_or(0.0);
        return Apparent(k.ApparentValueKind, Sigma(f, component, v, quick));
    }
    if (k.UnitMeasure != unit_measure::kAdc) {
        return {};
    }
    if (k.NormalizedToCurrent != 0) {
        const Complex c = Scale(b.current, f.currentCoef);
        s = Divide(s, Modulus(c));
    }
    if (k.SubtractUndercompensation != 0) {
        s = Difference(s, k.NormalizedToCurrent != 0 ? Complex{f.airNormX, f.airNormY}
                                                     : Complex{f.airX, f.airY});
    }
    if (k.PhaseEqualization != 0) {
        s = Product(s, {f.primaryX, f.primaryY});
    }
    const std::optional<double> part = ComponentOf(s, component);
    if (!part) {
        return {};
    }
    double v = *part;
    if (k.NormalizedToFrequency != 0) {
        v = v / f.frequencyPower[static_cast<size_t>(component)];
    }
    return {Finite(v), 0.0};
}

// The 14 values before the filter, with two zeros on either side for the filter's neighbours.
struct RawValues
{
    static constexpr size_t kPad = 2;
    std::array<double, kFrequencyCount + 2 * kPad> v{};
    std::array<double, kFrequencyCount + 2 * kPad> err{};

    void Set(size_t n, Bounded b)
    {
        v[n + kPad] = b.v;
        err[n + kPad] = b.err;
    }
    [[nodiscard]] Bounded Get(size_t n) const { return {v[n + kPad], err[n + kPad]}; }
};

// The frequency filter, where it is active, and the narrowing to single precision of the 14
// values, all frequencies at once (the compiler takes them two at a time). certain[n] is 1 where
// out[n] is the float of the straightforward computation, 0 where the bounds leave it open.
//
// The filter adds the neighbours in the order of Filtered, a switched-off or missing one as 0
// (the sum starts at +0 and so is never -0, to which adding 0 would make a difference): where no
// value carries a bound, mean, deviation, limit and choice are Filtered's bit for bit. Otherwise
// each carries the bound of its inputs and of its roundings in both computations, and a choice
// the bounds leave open is not certain.
void FinishLanes(const Configuration& k, const RawValues& raw,
                 std::span<float, kFrequencyCount> out,
                 std::array<double, kFrequencyCount>& certain)
{
    const auto& val = raw.v;
    const auto& err = raw.err;
    std::array<double, kFrequencyCount + 2 * RawValues::kPad> used{};
    for (size_t n = 0; n < kFrequencyCount; ++n) {
        used[n + RawValues::kPad] = k.UsedFrequencies[n] != 0 ? 1.0 : 0.0;
    }
    std::array<double, kFrequencyCount> shownV;
    std::array<double, kFrequencyCount> shownErr;
    std::array<double, kFrequencyCount> decided;
    const bool allExact = std::all_of(err.begin(), err.end(), [](double e) { return e == 0; });
    if (FilterActive(k) && allExact) {
        const double tolerance = k.FilterTolerance;
        for (size_t n = 0; n < kFrequencyCount; ++n) {
            const double v = val[n + 2];
            const double sum = (((0.0 + val[n]) + val[n + 1]) + val[n + 3]) + val[n + 4];
            const double count = ((used[n] + used[n + 1]) + used[n + 3]) + used[n + 4];
            const double m = sum / count;
            const double d = std::fabs(v - m);
            const double limit = tolerance * (v < m ? v : m);
            shownV[n] = (count >= 2) & (d > limit) ? m : v;
            shownErr[n] = 0.0;
            decided[n] = 1.0;
        }
    } else if (FilterActive(k)) {
        const double tolerance = k.FilterTolerance;
        for (size_t n = 0; n < kFrequencyCount; ++n) {
            const double v = val[n + 2];
            const double vErr = err[n + 2];
            const double sum = (((0.0 + val[n]) + val[n + 1]) + val[n + 3]) + val[n + 4];
            const double sumErr = ((err[n] + err[n + 1]) + err[n + 3]) + err[n + 4];
            const double magnitude =
                ((std::fabs(val[n]) + std::fabs(val[n + 1])) + std::fabs(val[n + 3])) +
                std::fabs(val[n + 4]);
            const double count = ((used[n] + used[n + 1]) + used[n + 3]) + used[n + 4];
            const double m = sum / count;
            const bool inexact = sumErr + vErr > 0;
            // The sums of both computations round at most 4 times each, the quotients once. The
            // bound counts only where there are at least 2 neighbours: halving bounds dividing.
            const double mBound = (sumErr * (1 + 0x1p-40) + (magnitude + sumErr) * 0x1p-48) * 0.5 +
                                  std::fabs(m) * 0x1p-50;
            const double mErr = inexact ? mBound : 0.0;
            const double d = std::fabs(v - m);
            const double dBound = (vErr + mErr) * (1 + 0x1p-40) + d * 0x1p-50;
            const double dErr = inexact ? dBound : 0.0;
            const double limit = tolerance * (v < m ? v : m);
            const double larger = vErr < mErr ? mErr : vErr;
            const double limitBound =
                std::fabs(tolerance) * larger * (1 + 0x1p-40) + std::fabs(limit) * 0x1p-50;
            const double limitErr = inexact ? limitBound : 0.0;
            const bool few = count < 2;
            const bool replace = !few & (d - dErr > limit + limitErr);
            const bool sure = few | !inexact | replace | (d + dErr < limit - limitErr);
            shownV[n] = replace ? m : v;
            shownErr[n] = replace ? mErr : vErr;
            decided[n] = sure ? 1.0 : 0.0;
        }
    } else {
        for (size_t n = 0; n < kFrequencyCount; ++n) {
            shownV[n] = val[n + 2];
            shownErr[n] = err[n + 2];
            decided[n] = 1.0;
        }
    }
    // Shown, and for a bounded value the floats of both ends of the interval, widened by more
    // than their own rounding.
    for (size_t n = 0; n < kFrequencyCount; ++n) {
        const double v = shownV[n];
        const double magnitude = std::fabs(v);
        const auto f = static_cast<float>(v);
        const bool inRange =
            (magnitude < static_cast<double>(kNoValue)) & (std::fabs(f) < kNoValue);
        const float shown = inRange ? f : 0.0f;
        const double e = shownErr[n] + magnitude * 0x1p-50;
        const auto low = static_cast<float>(v - e);
        const auto high = static_cast<float>(v + e);
        const bool exact = shownErr[n] == 0;
        const bool bounded =
            (shownErr[n] < magnitude * 0x1p-20) & (magnitude < 0x1p120) & (low == high);
        out[n] = exact ? shown : low;
        certain[n] = (decided[n] != 0) & (exact | bounded) ? 1.0 : 0.0;
    }
}

// The values of the frequencies that `holds` marks, in apparent mode, stage by stage over all 14
// blocks (the chain, the conductivity, the kind), so that the work of different frequencies
// overlaps; frequencies that hold nothing are computed alike and then set to 0.
void QuickApparentValues(const Configuration& k, const PreparedCalibration& prepared,
                         const Channels& ch, const std::array<bool, kFrequencyCount>& holds,
                         RawValues& raw)
{
    const PreparedCalibration::Lanes& l = prepared.lanes;
    const bool current = k.SignalChannelIsCurrent != 0;
    const FrequencyLane& signalRe = current ? ch.currentRe : ch.signalRe;
    const FrequencyLane& signalIm = current ? ch.currentIm : ch.signalIm;
    // The chain of ApparentValue: normalised to the current, the air signal subtracted, phase
    // equalised, scaled by the gain.
    FrequencyLane re;
    FrequencyLane im;
    for (size_t n = 0; n < re.size(); ++n) {
        const double cRe = ch.currentRe[n] * l.currentCoef[n];
        const double cIm = ch.currentIm[n] * l.currentCoef[n];
        const double k1 = 1 / std::sqrt(cRe * cRe + cIm * cIm);
        const double sRe = signalRe[n] * k1 - l.airNormX[n];
        const double sIm = signalIm[n] * k1 - l.airNormY[n];
        const double pRe = sRe * l.primaryX[n] - sIm * l.primaryY[n];
        const double pIm = l.primaryY[n] * sRe + sIm * l.primaryX[n];
        re[n] = pRe * l.gain[n];
        im[n] = pIm * l.gain[n];
    }

    const int component = k.SignalComponent;
    if (component == signal_component::kModule) {
        FrequencyLane v;
        for (size_t n = 0; n < v.size(); ++n) {
            v[n] = std::sqrt(re[n] * re[n] + im[n] * im[n]);
        }
        // The cubic for every frequency (in a loop without branches, two frequencies at a time);
        // then the frequencies gathered by the form their root takes, and each form side by side.
        std::array<Cubic, kFrequencyCount> cubic;
        for (size_t n = 0; n < v.size(); ++n) {
            cubic[n] = CubicOf(l.moduleK[n], l.twiceB[n], l.p3Cubed[n], v[n]);
        }
        std::array<size_t, kFrequencyCount> which;
        size_t trigonometric = 0;
        size_t cardano = 0;
        // The trigonometric form (see QuickTrigonometric): r and z as Trigonometric computes
        // them, the quick cosine and cube root.
        FrequencyLane tQ, tR, tR0, tCubeRootR0, tCubeRootSlope, tAThird;
        // Cardano's formula: the arguments of its two cube roots as Cardano computes them.
        FrequencyLane cFirst, cSecond, cAThird;
        for (size_t n = 0; n < v.size(); ++n) {
            const Cubic& c = cubic[n];
            if (c.d >= 0) {
                const double s = std::sqrt(c.d);
                cFirst[cardano] = s - c.h;
                cSecond[cardano] = c.q * (-0.5) - s;
                cAThird[cardano] = l.aThird[n];
                which[n] = cardano++;
            } else {
                tQ[trigonometric] = c.q;
                tR[trigonometric] = std::sqrt(std::fabs(c.d) + c.hh);
                tR0[trigonometric] = l.r0[n];
                tCubeRootR0[trigonometric] = l.cubeRootR0[n];
                tCubeRootSlope[trigonometric] = l.cubeRootSlope[n];
                tAThird[trigonometric] = l.aThird[n];
                which[n] = trigonometric++;
            }
        }
        FrequencyLane tZ, tSigma, tErr;
        for (size_t t = 0; t < trigonometric; ++t) {
            tZ[t] = (tQ[t] / tR[t]) * (-0.5);
            const double cubeRoot = tCubeRootR0[t] + (tR[t] - tR0[t]) * tCubeRootSlope[t];
            const double s = quick_roots::TrisectedCosineLessHalf(1 + tZ[t]);
            tSigma[t] = (cubeRoot - tAThird[t]) + (2 * cubeRoot) * s;
            tErr[t] = (cubeRoot + tAThird[t]) * 0x1p-44 + std::fabs(tSigma[t]) * 0x1p-50;
        }
        FrequencyLane cSigma, cErr;
        for (size_t c = 0; c < cardano; ++c) {
            const double u = quick_roots::CubeRootSideBySide(cFirst[c]);
            const double w = quick_roots::CubeRootSideBySide(cSecond[c]);
            cSigma[c] = (w + u) - cAThird[c];
            // Each root within 2^-46 of pow's (CubeRoot), both bounds doubled (Cardano).
            cErr[c] = (u + w) * 0x1p-45 + std::fabs(cSigma[c]) * 0x1p-50;
        }
        for (size_t n = 0; n < v.size(); ++n) {
            const FrequencyConstants& f = prepared.at[n];
            const size_t w = which[n];
            if (!holds[n] || f.noConductivity || f.kp == 0 || v[n] == 0) {
                raw.Set(n, {});
            } else if (cubic[n].d >= 0) {
                raw.Set(n, Checked(QuickRoot(cFirst[w]) && QuickRoot(cSecond[w])
                                       ? Bounded{cSigma[w], cErr[w]}
                                       : Cardano(f, cubic[n], true)));
            } else if (tZ[w] > -1 && tZ[w] < 1 && std::fabs(tR[w] - f.r0) <= f.r0 * 0x1p-40) {
                raw.Set(n, Checked({tSigma[w], tErr[w]}));
            } else {
                raw.Set(n, Checked({Trigonometric(f, cubic[n]), 0.0}));
            }
        }
    } else if (component == signal_component::kInphase) {
        // |y|^(2/3) = (|y|^(1/3))^2 for every frequency: the exponent 2/3 of pow is twice the 1/3
        // of the cube root.
        FrequencyLane y;
        FrequencyLane sigma;
        for (size_t n = 0; n < y.size(); ++n) {
            y[n] = std::fabs(l.inphaseK[n] * im[n]);
            const double c = quick_roots::CubeRootSideBySide(y[n]);
            sigma[n] = c * c;
        }
        for (size_t n = 0; n < y.size(); ++n) {
            const FrequencyConstants& f = prepared.at[n];
            if (!holds[n] || f.noConductivity || f.kp == 0) {
                raw.Set(n, {});
            } else if (QuickRoot(y[n])) {
                raw.Set(n, {sigma[n], sigma[n] * 0x1p-44});
            } else {
                raw.Set(n, Checked({std::pow(y[n], 2.0 / 3.0), 0.0}));
            }
        }
    } else {
        for (size_t n = 0; n < re.size(); ++n) {
            raw.Set(n, holds[n] ? Sigma(prepared.at[n], component, re[n], true) : Bounded{});
        }
    }
    const int kind = k.ApparentValueKind;
    for (size_t n = 0; n < kFrequencyCount; ++n) {
        raw.Set(n, Apparent(kind, raw.Get(n)));
    }
}

}  // namespace

Bounded ApparentSigma(const FrequencyConstants& f, int component, double v, bool quick)
{
    return Sigma(f, component, v, quick);
}

void ValuesAll(const Configuration& k, const MeasurementSlot& slot,
               std::span<float, kFrequencyCount> out)
{
    RawValues raw;
    const bool any = !slot.IsEmpty() && (k.UnitMeasure == unit_measure::kAdc ||
                                         k.UnitMeasure == unit_measure::kApparent);
    if (!any) {
        std::array<double, kFrequencyCount> certain;
        FinishLanes(k, raw, out, certain);
        return;
    }
    const PreparedCalibration& prepared = PreparedFor(k);
    const Channels ch = Decode(slot);
    auto block = [&ch](size_t n) {
        return Block{{ch.signalRe[n], ch.signalIm[n]}, {ch.currentRe[n], ch.currentIm[n]}};
    };
    // Which frequencies hold a value: switched on and present in the slot.
    std::array<bool, kFrequencyCount> holds;
    const unsigned present = slot.PresentMask();
    for (size_t n = 0; n < kFrequencyCount; ++n) {
        holds[n] = k.UsedFrequencies[n] != 0 && ((present >> n) & 1u) != 0;
    }
    if (k.UnitMeasure == unit_measure::kApparent) {
        QuickApparentValues(k, prepared, ch, holds, raw);
    } else {
        for (size_t n = 0; n < kFrequencyCount; ++n) {
            if (holds[n]) {
                raw.Set(n, RawValue(k, prepared.at[n], block(n), true));
            }
        }
    }

    std::array<double, kFrequencyCount> certain;
    FinishLanes(k, raw, out, certain);
    if (std::all_of(certain.begin(), certain.end(), [](double c) { return c != 0; })) {
        return;
    }
    // Where the bounds leave a float open: the library's roots for that frequency, or with the
    // filter for all of them, since every value may count for a neighbour.
    if (!FilterActive(k)) {
        for (size_t n = 0; n < kFrequencyCount; ++n) {
            if (certain[n] == 0) {
                out[n] = Shown(RawValue(k, prepared.at[n], block(n), false).v);
            }
        }
        return;
    }
    for (size_t n = 0; n < kFrequencyCount; ++n) {
        if (holds[n]) {
            raw.Set(n, RawValue(k, prepared.at[n], block(n), false));
        }
    }
    FinishLanes(k, raw, out, certain);
}

}  // namespace orv
