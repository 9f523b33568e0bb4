#pragma once
// What the Main pages decide, without Qt: frequency stepping over the active frequencies, the
// Start button's text, the repeat acceleration of the track page's arrow keys, the radius spin
// and the battery texts. The choice of the graphic shown is graphics/GraphicChoice.h.

#include "base/Frequencies.h"
#include "graphics/GraphicChoice.h"
#include "ui/KeyRouter.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace orv {

namespace main_page {

// The handheld's virtual-key codes of the Main pages' OK and arrow keys.
constexpr uint32_t kKeyEnter = handheld_key::kEnter;
constexpr uint32_t kKeyLeft = handheld_key::kLeft;
constexpr uint32_t kKeyUp = handheld_key::kUp;
constexpr uint32_t kKeyRight = handheld_key::kRight;
constexpr uint32_t kKeyDown = handheld_key::kDown;

using FrequencyFlags = std::array<int, kFrequencyCount>;

// The first active frequency at or after `areaFrequency` (1..14), as a number 1..14.
[[nodiscard]] int FirstActiveFrequency(int areaFrequency, const FrequencyFlags& used);

// A frequency step: delta < 0 goes to the next higher active frequency, delta > 0 to the next
// lower, both wrapping; 0 keeps the number. With no active frequency the search stays where it
// began.
[[nodiscard]] int StepFrequency(int frequencyNumber, int delta, const FrequencyFlags& used);

// String id of the Start button's text: 32791 "Start" without timer mode, 32793 "Stop" while a
// series runs, 32792 "Start" in timer mode with no series.
[[nodiscard]] int StartTextId(bool timerMode, bool timerRunning);

// The radius spin of the track page: radius − delta, wrapping within 2..99.
[[nodiscard]] int StepRadius(int radius, int delta);

// The held-key acceleration of the track page: steps per key-down.
class KeyAcceleration
{
public:
    int Steps(bool repeat)
    {
        if (!repeat) {
            m_count = 0;
            return 1;
        }
        const int n = (m_count + 1) / 10 + 1;
        m_count += n;
        return n;
    }

private:
    int m_count = 0;
};

// "%d%%" for a charge of 0..100, else empty.
[[nodiscard]] std::string BatteryText(int percent);

// The instrument's battery as control 1074 shows it: "%.1fV" of centivolts × 0.01, or "N/A".
[[nodiscard]] std::string InstrumentBatteryText(bool read, unsigned centivolts);

[[nodiscard]] std::string BatteryPopupText(int percent);

}  // namespace main_page

}  // namespace orv
