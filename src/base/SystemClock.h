#pragma once
// Setting the system's wall clock from GPS time. A refusal (a desktop user lacks the right) is
// expected and ignored by callers, never reported as a fault.

#include <cstdint>

namespace orv {

struct UtcTime
{
    int year = 0;  // four digits
    int month = 0;  // 1..12
    int day = 0;  // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

class SystemClock
{
public:
    virtual ~SystemClock() = default;
    // Returns false when the platform refused.
    virtual bool Set(const UtcTime& time) = 0;
};

}  // namespace orv
