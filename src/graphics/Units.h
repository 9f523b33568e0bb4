#pragma once
// The units of what the graphics show, in words for the operator: the value unit of the signal
// settings, a value with its unit for the tap read-out, and a frequency in kHz from the active
// calibration. Qt-free: the pages, the drawing and orvtool share them.
//
//     ValueText(33095.68f, config)  // "33095.68 ADC units" (UnitMeasure 0)
//     ValueText(12.3f, config)      // "12.30 mS/m" (apparent conductivity)
//     FrequencyText(config, 7)      // "15.62 kHz" under the built-in calibration

#include <string>

namespace orv {

class Configuration;

// "ADC units", "Ohm·m" or "mS/m" after UnitMeasure and ApparentValueKind; empty for a unit the
// signal computation does not know (it shows 0 then).
[[nodiscard]] std::string UnitText(const Configuration& config);

// The tap read-out: the value as "%.2f" followed by the unit ("12.30 mS/m"); the number alone
// when the unit is unknown.
[[nodiscard]] std::string ValueText(float value, const Configuration& config);

// A depth for the tap read-out on the sounding curve's depth axis: "%.2f m".
[[nodiscard]] std::string DepthText(float metres);

// Frequency index f (0..13) of the active calibration in kHz, 4 significant digits ("15.62 kHz",
// "250 kHz"); empty when the calibration gives no usable frequency there.
[[nodiscard]] std::string FrequencyText(const Configuration& config, int f);

// A number for an axis or legend label whose neighbours are `step` apart: as many decimals as
// the step needs, and never "-0".
[[nodiscard]] std::string LabelNumber(double value, double step);

}  // namespace orv
