#pragma once

#include "base/SystemClock.h"

#include <mutex>
#include <vector>

namespace orv {

class FakeSystemClock final : public SystemClock
{
public:
    bool Set(const UtcTime& time) override
    {
        std::scoped_lock lock(m_mutex);
        sets.push_back(time);
        return !refuse;
    }
    std::vector<UtcTime> Sets() const
    {
        std::scoped_lock lock(m_mutex);
        return sets;
    }

    std::vector<UtcTime> sets;
    bool refuse = true;  // as for a desktop user without the right

private:
    mutable std::mutex m_mutex;
};

}  // namespace orv
