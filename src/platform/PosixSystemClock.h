#pragma once
// Sets the system's wall clock with clock_settime (CLOCK_REALTIME). Without the right to do so
// (CAP_SYS_TIME) the call is refused and Set returns false, which callers ignore.
//
// Under the test runner (ORVCONTROL_TEST set in the environment) it never touches the clock
// and returns false: tests replay captures years old, and run as root on CI.

#include "base/SystemClock.h"

namespace orv {

class PosixSystemClock final : public SystemClock
{
public:
    bool Set(const UtcTime& time) override;
};

}  // namespace orv
