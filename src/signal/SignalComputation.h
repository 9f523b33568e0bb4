#pragma once
// The value shown for one sounding frequency of a stored measurement: a processed signal in ADC
// units or an apparent resistivity (Ohm*m) or conductivity (mS/m). Pure functions of the slot,
// the frequency index (0..13) and the configuration, which they read at every call (signal
// switches, UsedFrequencies, ActiveCalibration): a changed setting changes every displayed
// value at the next redraw, stored measurements included.
//
// Arithmetic is double precision in the instrument's own order of operations; only the final
// result is narrowed to single precision. Missing data gives 0: an empty slot, a frequency
// missing from the slot's present mask, a frequency index outside 0..13, an unknown switch value.
// A value the arithmetic cannot give (a zero current reading, a zero air current, current
// coefficient or frequency in a normalisation, a conductivity of infinity) is likewise 0, never
// NaN or infinity, and so is a value beyond the single-precision range: the drawing code and
// the read-outs only ever see finite numbers, and never NoValue.

#include "base/Frequencies.h"

#include <span>

namespace orv {

class Configuration;
struct MeasurementSlot;

// UnitMeasure values.
namespace unit_measure {
constexpr int kAdc = 0;
constexpr int kApparent = 1;
}  // namespace unit_measure

// ApparentValueKind values.
namespace apparent_kind {
constexpr int kResistivity = 0;
constexpr int kConductivity = 1;
}  // namespace apparent_kind

// The value of frequency i before the frequency filter.
[[nodiscard]] double ComputeValue(const Configuration& configuration, const MeasurementSlot& slot,
                                  int i);

// ComputeValue of frequency i, then the frequency filter (apparent values with ApplySignalFilter
// only), narrowed to single precision. Used by the curves and the map.
[[nodiscard]] float ValueAt(const Configuration& configuration, const MeasurementSlot& slot, int i);

// The 14 values of a measurement, 0 for frequencies that are switched off, each filtered from the
// unfiltered set, so one replacement never feeds into another. Used by the section. The same
// bits as ValueAt of each frequency, several times faster (SlotValues.cpp).
void ValuesAll(const Configuration& configuration, const MeasurementSlot& slot,
               std::span<float, kFrequencyCount> out);

// Pseudo-depth of frequency i in metres: DepthScaleFactor times the DepthFactor of the active
// calibration; the first frequency lies at DepthScaleFactor metres. 0 outside 0..13.
[[nodiscard]] float DepthOf(const Configuration& configuration, int i);

}  // namespace orv
