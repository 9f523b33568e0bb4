#pragma once
// Quick approximations of the roots that the apparent conductivity takes: the cube root that
// pow(x, 1/3) gives and the cosine of a third of an arc cosine. They are within a few units in
// the last place of the exact roots, while the C library's pow, acos and cos are within one; the
// bulk computation (ValuesAll) carries the sum of those distances along as a bound and keeps a
// quick value only where the bound shows it rounds to the same single-precision result as the
// library's would. Multiplications and additions only, but for one division in the cosine.

#include <bit>
#include <cmath>
#include <cstdint>

namespace orv::quick_roots {

// x^(1/3) for 2^-1022 <= x < infinity, within 4 units in the last place. Splits x into
// 2^(3q) * y with y in [1, 8), takes a polynomial estimate of y^(-1/3) and refines it twice by
// Newton's division-free step g += g * (1 - y*g^3) / 3 (each squares the relative error), then
// y^(1/3) = y * g^2.
[[gnu::always_inline]] inline double CubeRoot(double x)
{
    const auto bits = std::bit_cast<uint64_t>(x);
    // The biased exponent plus a multiple of 3 that keeps the dividend positive.
    const int e = static_cast<int>(bits >> 52) - 1023 + 3 * 342;
    const int q = e / 3;
    const int r = e - 3 * q;
    const double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    // m^(-1/3) on [1, 2] within 4.5e-5, and 2^(-r/3).
    double g = (((0.02778280101858424 * m - 0.21636185469244387) * m + 0.6846527077322325) * m -
                1.1623973573078166) *
                   m +
               1.6662787377309156;
    constexpr double kStep[3] = {1.0, 0.79370052598409979, 0.62996052494743658};
    g *= kStep[r];
    const double y = m * static_cast<double>(1 << r);
    g += g * (1 - y * (g * g * g)) * (1.0 / 3.0);
    g += g * (1 - y * (g * g * g)) * (1.0 / 3.0);
    const double scale = std::bit_cast<double>(static_cast<uint64_t>(q - 342 + 1023) << 52);
    return ((y * g) * g) * scale;
}

// The same for loops over several x, which the compiler runs side by side: exponent and scale
// pass through the bits of doubles rather than through integers, and the choices by the
// exponent's remainder are selections. Same range and bound.
[[gnu::always_inline]] inline double CubeRootSideBySide(double x)
{
    const auto bits = std::bit_cast<uint64_t>(x);
    // The exponent, read as the integer in the low bits of 2^52 + exponent.
    const double e = std::bit_cast<double>((bits >> 52) | 0x4330000000000000ull) - (0x1p52 + 1023);
    // floor(e / 3): e / 3 lies 0, 1/3 or 2/3 above it, so (e - 1) / 3 is nearest to it; adding
    // and taking away 1.5 * 2^52 rounds to the nearest integer.
    const double q = ((e - 1) * (1.0 / 3.0) + 0x1.8p52) - 0x1.8p52;
    const double r = e - 3 * q;  // 0, 1 or 2
    const double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const double poly =
        (((0.02778280101858424 * m - 0.21636185469244387) * m + 0.6846527077322325) * m -
         1.1623973573078166) *
            m +
        1.6662787377309156;
    const double step = r < 0.5 ? 1.0 : r < 1.5 ? 0.79370052598409979 : 0.62996052494743658;
    const double y = m * (r < 0.5 ? 1.0 : r < 1.5 ? 2.0 : 4.0);
    double g = poly * step;
    g += g * (1 - y * (g * g * g)) * (1.0 / 3.0);
    g += g * (1 - y * (g * g * g)) * (1.0 / 3.0);
    // 2^q from the bits of 2^52 + q + 1023, the integer moved into the exponent.
    const double scale = std::bit_cast<double>(std::bit_cast<uint64_t>(q + (0x1p52 + 1023)) << 52);
    return ((y * g) * g) * scale;
}

// cos(acos(z) / 3) - 1/2 for -1 < z < 1, given w = 1 + z, within 4 * 2^-52. It is the root s in
// [0, 1/2] of 4s^3 + 6s^2 = w (the triple-angle formula 4t^3 - 3t = z with t = 1/2 + s), which
// depends smoothly on sqrt(w): s = sqrt(w) * tau(sqrt(w)) with tau approximated within 5.3e-9
// by a polynomial, then one Newton step.
[[gnu::always_inline]] inline double TrisectedCosineLessHalf(double w)
{
    const double u = std::sqrt(w);
    // Estrin's scheme: four independent pairs, then their combination.
    const double u2 = u * u;
    const double u4 = u2 * u2;
    const double p01 = 0.40824828833167665 + -0.055555310061689206 * u;
    const double p23 = 0.01889563445699911 + -0.008194234134653791 * u;
    const double p45 = 0.0038997434485706396 + -0.0018014981024214497 * u;
    const double p67 = 0.0006879019987388783 + -0.00017674793673831584 * u;
    const double p8 = 2.1624913062546992e-05;
    const double tau = (p01 + p23 * u2) + ((p45 + p67 * u2) + p8 * u4) * u4;
    const double s = u * tau;
    const double residual = (s * s) * (6 + 4 * s) - w;
    return s - residual / ((12 * s) * (1 + s));
}

}  // namespace orv::quick_roots
