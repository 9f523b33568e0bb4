#include "platform/PosixSystemClock.h"

#include <cstdlib>
#include <ctime>

namespace orv {

bool PosixSystemClock::Set(const UtcTime& time)
{
    if (!IsValid(time) || std::getenv("ORVCONTROL_TEST") != nullptr) {
        return false;
    }
    const int64_t ms = ToUnixMilliseconds(time);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ms / 1000);
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    return clock_settime(CLOCK_REALTIME, &ts) == 0;
}

}  // namespace orv
