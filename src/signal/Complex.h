#pragma once
// A complex signal value: a pair of doubles. In a receiver channel `re` is the quadrature part
// and `im` the in-phase part. Each operation keeps the order of floating-point operations of the
// instrument's own processing, so displayed values match bit for bit; do not "simplify" them.

#include <cmath>

namespace orv {

struct Complex
{
    double re = 0.0;
    double im = 0.0;
};

// re = S.re*P.re - S.im*P.im; im = P.im*S.re + S.im*P.re.
constexpr Complex Product(Complex s, Complex p)
{
    return {s.re * p.re - s.im * p.im, p.im * s.re + s.im * p.re};
}

constexpr Complex Scale(Complex s, double k) { return {s.re * k, s.im * k}; }

// Multiplies by the reciprocal, as the instrument does: not the same as dividing each part.
constexpr Complex Divide(Complex s, double d)
{
    const double k = 1 / d;
    return Scale(s, k);
}

constexpr Complex Difference(Complex s, Complex a) { return {s.re - a.re, s.im - a.im}; }

inline double Modulus(Complex s) { return std::sqrt(s.re * s.re + s.im * s.im); }

}  // namespace orv
