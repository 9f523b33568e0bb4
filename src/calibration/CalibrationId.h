#pragma once
// The identity of one instrument calibration: the instrument's serial number and the date of the
// calibration. Identities order by serial, then year, month and day, each unsigned.

#include <compare>
#include <cstdint>

namespace orv {

struct CalibrationId
{
    uint16_t Serial = 0;
    uint16_t Year = 2000;
    uint8_t Month = 1;
    uint8_t Day = 1;

    friend constexpr auto operator<=>(const CalibrationId&, const CalibrationId&) = default;
    friend constexpr bool operator==(const CalibrationId&, const CalibrationId&) = default;
};

// The registry keeps the date as Year * 65536 + Month * 256 + Day.
constexpr uint32_t PackedDate(const CalibrationId& id)
{
    return uint32_t{id.Year} << 16 | uint32_t{id.Month} << 8 | uint32_t{id.Day};
}

}  // namespace orv
