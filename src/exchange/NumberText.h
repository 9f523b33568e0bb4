#pragma once
// Numbers as text that reads back exactly and carries no noise: a displayed value is a float,
// so it is written with the fewest digits that give the same float back ("0.1", not
// "0.100000001490116"); positions are doubles and keep all their digits.

#include <string>

namespace orv {

// The shortest text that reads back as the same float, without an exponent where the digits
// reach the decimal point ("14910", never "1.491e+04"); "nan", "inf" and "-inf" for the
// values that are no numbers.
[[nodiscard]] std::string ShortestFloatText(float v);
// The same for a double.
[[nodiscard]] std::string DoubleText(double v);
// The double nearest to ShortestFloatText(v): what a writer that prints doubles with up to 15 or 17
// digits prints as that short text, and what reads back as v when narrowed to a float.
[[nodiscard]] double ShortFloat(float v);

}  // namespace orv
