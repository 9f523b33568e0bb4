#pragma once
// What the reader thread does with each chunk it reads, apart from the port: feed the parser,
// decide whether the clock is to be set, and pick the fix for the matcher. `orvtool nmea` runs
// the same steps over a file, so its fixes are the ones the thread would hand on.

#include "base/GpsFix.h"
#include "base/SystemClock.h"
#include "gps/GpsStatus.h"

#include <cstdint>
#include <optional>
#include <span>

namespace orv {

class NmeaParser;

class NmeaStream
{
public:
    struct Step
    {
        // The UTC time to set the clock to, once per stream: from the first RMC dated 2006 or
        // later (whatever its status), moved on by the time since its chunk was read.
        std::optional<UtcTime> clockTime;
        // The position of the latest RMC of the chunk, when it is new and valid ('A').
        std::optional<GpsFix> fix;
    };

    // `now` is the tick count at the moment of the call, for the clock correction.
    [[nodiscard]] Step Process(NmeaParser& parser, std::span<const uint8_t> bytes, uint32_t now);
    [[nodiscard]] const GpsStatus& Status() const { return m_status; }

private:
    GpsStatus m_status;
    bool m_clockSet = false;
    uint32_t m_lastRmc = 0;
};

}  // namespace orv
