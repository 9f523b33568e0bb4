#pragma once
// A tick counter that moves only when told to, or when someone sleeps on it.

#include "base/TickClock.h"

#include <atomic>

namespace orv {

class FakeTickClock final : public TickClock
{
public:
    explicit FakeTickClock(uint32_t start = 1000) : now(start) {}
    uint32_t Now() override { return now.load(); }
    void Sleep(uint32_t milliseconds) override { now += milliseconds; }
    void Advance(uint32_t milliseconds) { now += milliseconds; }

    std::atomic<uint32_t> now;
};

}  // namespace orv
