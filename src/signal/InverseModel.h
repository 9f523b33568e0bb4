#pragma once
// The inverse of the signal computation: the raw readings an instrument with the given
// calibration would report over a homogeneous half-space of a given conductivity. The instrument
// simulator builds its replies from it, so a simulated survey shows the model's conductivity
// back in apparent-conductivity mode.
//
// The readings are those of the low-induction-number response: after normalisation to the
// current, subtraction of the air signal, phase equalisation and the gain factor, the receiver
// signal is (Kq*sigma, -Kp*sigma^1.5) with sigma in S/m. So every apparent-value setting shows
// sigma back: quadrature, in-phase and module, as conductivity (mS/m) or resistivity
// (1000/sigma Ohm*m), with or without the frequency filter (a half-space gives every frequency
// the same value). In ADC mode the readings are consistent with NormalizedToCurrent,
// SubtractUndercompensation and PhaseEqualization all on: the quadrature component is then
// Kq*sigma/GF and the in-phase component -Kp*sigma^1.5/GF, the secondary field of the ground in
// ADC units; with the air subtraction off the undercompensation of the coils stays in the value,
// as on the real instrument.
//
// The transmitter current is reported as a real reading (currentIm = 0) at a nominal 8 000 000
// counts, lowered where the receiver would otherwise leave its 24-bit range (the instrument's
// range switching), so the receiver sits near full scale and its 7-bit scaling costs the least
// resolution. The receiver values carry half a step of that scaling more, so that the rounding
// down of the shift becomes rounding to nearest. What remains is the quantisation of the
// receiver: about 1 part in 60 000 of the larger of the air signal and the ground's signal. At
// the lowest frequencies the air signal dominates a low conductivity, so there a reading of
// 1 mS/m comes back to about 1 %, 10 mS/m and more to a few parts in a thousand or better.

#include "calibration/CalibrationRecord.h"

#include <array>
#include <cstdint>

namespace orv {

// The four 24-bit values of one frequency block, as sent on the wire (signal values before the
// receiver's 7-bit scaling): signalRe, signalIm, currentRe, currentIm.
using RawBlock = std::array<int32_t, 4>;

// Raw readings at frequency index `frequency` (0..13) for an apparent conductivity `sigma` in
// mS/m. False when no reading in the 24-bit range gives that conductivity: a negative or
// non-finite sigma, a frequency index out of range, or a calibration that cannot show it (a zero
// gain factor, phase factor, current coefficient or air current, a zero frequency, r1 = 0 or
// M2 = 0 for a non-zero sigma). `out` is left unchanged then.
[[nodiscard]] bool RawBlockForConductivity(double sigma, int frequency,
                                           const CalibrationRecord& calibration, RawBlock& out);

}  // namespace orv
