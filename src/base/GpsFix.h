#pragma once
// One GPS position with the tick count it belongs to. The track survey keeps one per
// measurement; the matcher hands them to the track page.

#include <cstdint>

namespace orv {

struct GpsFix
{
    double latitude = 0.0;   // degrees, north positive
    double longitude = 0.0;  // degrees, east positive
    uint32_t tickStamp = 0;  // ms of the TickClock, the clock of the measurements' tick stamps
};

}  // namespace orv
