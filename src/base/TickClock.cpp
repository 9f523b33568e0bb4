#include "base/TickClock.h"

#include <chrono>
#include <thread>

namespace orv {

namespace {

class SteadyClock final : public TickClock
{
public:
    uint32_t Now() override
    {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void Sleep(uint32_t milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

}  // namespace

TickClock& SteadyTickClock()
{
    static SteadyClock clock;
    return clock;
}

}  // namespace orv
