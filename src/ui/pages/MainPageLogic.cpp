#include "ui/pages/MainPageLogic.h"

#include <cstdio>

namespace orv::main_page {

int FirstActiveFrequency(int areaFrequency, const FrequencyFlags& used)
{
    int i = areaFrequency - 1;
    if (i < 0 || i >= kFrequencyCount) {
        i = 0;
    }
    for (int tries = 0; tries < kFrequencyCount; ++tries) {
        if (used[static_cast<size_t>(i)] != 0) {
            return i + 1;
        }
        i = (i + 1) % kFrequencyCount;
    }
    return (areaFrequency >= 1 && areaFrequency <= kFrequencyCount) ? areaFrequency : 1;
}

int StepFrequency(int frequencyNumber, int delta, const FrequencyFlags& used)
{
    if (delta == 0) {
        return frequencyNumber;
    }
    const int direction = delta < 0 ? 1 : -1;
    int i0 = 0;
    if (delta < 0) {
        i0 = frequencyNumber > 13 ? 0 : frequencyNumber;
    } else {
        i0 = frequencyNumber < 2 ? 13 : frequencyNumber - 2;
    }
    int i = i0;
    for (int tries = 0; tries < kFrequencyCount; ++tries) {
        if (used[static_cast<size_t>(i)] != 0) {
            return i + 1;
        }
        i = (i + direction + kFrequencyCount) % kFrequencyCount;
    }
    return i0 + 1;
}

int StartTextId(bool timerMode, bool timerRunning)
{
    if (!timerMode) {
        return 32791;
    }
    return timerRunning ? 32793 : 32792;
}

int StepRadius(int radius, int delta)
{
    int r = radius - delta;
    if (r < 2) {
        r += 98 * ((99 - r) / 98);
    } else if (r > 99) {
        r -= 98 * ((r - 2) / 98);
    }
    return r;
}

std::string BatteryText(int percent)
{
    if (percent < 0 || percent > 100) {
        return {};
    }
    return std::to_string(percent) + "%";
}

std::string InstrumentBatteryText(bool read, unsigned centivolts)
{
    if (!read) {
        return "N/A";
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1fV", centivolts * 0.01);
    return buffer;
}

std::string BatteryPopupText(int percent)
{
    return "Battery charge remaining: " + std::to_string(percent) + "%";
}

}  // namespace orv::main_page
