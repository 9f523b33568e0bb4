#pragma once
// The millisecond tick counter and sleep. Tick values are unsigned 32-bit and wrap; compare
// them only through unsigned differences. platform/ uses the monotonic clock; tests use
// FakeTickClock, whose Sleep advances time at once.

#include <cstdint>

namespace orv {

class TickClock
{
public:
    virtual ~TickClock() = default;
    [[nodiscard]] virtual uint32_t Now() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// Milliseconds of the monotonic clock, truncated to 32 bits; Sleep really sleeps.
TickClock& SteadyTickClock();

}  // namespace orv
