#pragma once
// The inverse of the signal computation: the raw readings an instrument with the given
// calibration would report over a homogeneous half-space of a given conductivity. The instrument
// simulator builds its replies from it, so a simulated survey shows the model's conductivity
// back in apparent-conductivity mode.

#include <array>
#include <cstdint>

#include "calibration/CalibrationRecord.h"

namespace orv {

// The four 24-bit values of one frequency block, as sent on the wire (signal values before the
// receiver's 7-bit scaling): signalRe, signalIm, currentRe, currentIm.
using RawBlock = std::array<int32_t, 4>;

// Raw readings at frequency index `frequency` (0..13) for an apparent conductivity `sigma` in
// mS/m. False when no reading in the 24-bit range gives that conductivity.
[[nodiscard]] bool RawBlockForConductivity(double sigma, int frequency,
                                           const CalibrationRecord& calibration, RawBlock& out);

}  // namespace orv
