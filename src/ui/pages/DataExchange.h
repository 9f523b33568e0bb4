#pragma once
// Reading the text of an edit into a page field with range validation, and writing a field back
// as text. The messages are the pages' standard validation texts:
//   "Enter an integer."  "Enter an integer between %1 and %2."
//   "Enter a number."    "Enter a number between %1 and %2."
// Blanks around the number are allowed; anything else after it is not.

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace orv {

struct ExchangeFailure
{
    int controlId = 0;  // the control that keeps the focus
    std::string message;
};

// A decimal integer in minimum..maximum. A negative or too large number gives the range
// message; a text that is not a number gives "Enter an integer.". `value` changes only on
// success.
[[nodiscard]] bool ReadUnsignedText(std::string_view text, unsigned minimum, unsigned maximum,
                                    unsigned& value, std::string& message);
// A decimal number (with optional exponent) in minimum..maximum.
[[nodiscard]] bool ReadFloatText(std::string_view text, float minimum, float maximum, float& value,
                                 std::string& message);

std::string UnsignedText(unsigned value);
// Six significant digits, the shortest form: 1, 0.5, 12.25, 1e+06.
std::string FloatText(float value);

// A check box or radio button bound to a 0/1 flag of a page's logic: the pages show and read
// their groups of flags through a table of these.
template <typename Logic>
struct CheckFlag
{
    int controlId = 0;
    int Logic::*flag = nullptr;
};

// Shows every flag on its control: `show(controlId, checked)`.
template <typename Logic, typename Flags, typename Show>
void ShowCheckFlags(const Flags& flags, const Logic& logic, Show&& show)
{
    for (const CheckFlag<Logic>& f : flags) {
        show(f.controlId, logic.*f.flag != 0);
    }
}

// Reads every flag from its control: `checked(controlId)`.
template <typename Logic, typename Flags, typename Checked>
void ReadCheckFlags(const Flags& flags, Logic& logic, Checked&& checked)
{
    for (const CheckFlag<Logic>& f : flags) {
        logic.*f.flag = checked(f.controlId) ? 1 : 0;
    }
}

}  // namespace orv
