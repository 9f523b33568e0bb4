#pragma once
// The apparent conductivity as ValuesAll (SlotValues.cpp) takes it, exposed for the tests that
// hold its quick roots to the library's.

#include "signal/PreparedCalibration.h"

#include <limits>

namespace orv {

// A value and a bound on its distance to the value of the straightforward computation. A bound
// of 0 means the value is that value; kUnknown that it must be computed again.
struct Bounded
{
    double v = 0.0;
    double err = 0.0;
};

constexpr double kUnknown = std::numeric_limits<double>::infinity();

// ApparentConductivity of the processed value v of `component` at the frequency whose constants
// are f. quick: the roots from QuickRoots.h, with a bound; otherwise exactly as
// ApparentConductivity computes it, with the bound 0.
[[nodiscard]] Bounded ApparentSigma(const FrequencyConstants& f, int component, double v,
                                    bool quick);

}  // namespace orv
