#pragma once
// Records posted messages; safe to post from any thread.

#include "base/MessagePoster.h"

#include <mutex>
#include <vector>

namespace orv {

class FakeMessagePoster final : public MessagePoster
{
public:
    void Post(const ProgramMessage& message) override
    {
        std::scoped_lock lock(m_mutex);
        m_messages.push_back(message);
    }
    std::vector<ProgramMessage> Messages() const
    {
        std::scoped_lock lock(m_mutex);
        return m_messages;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<ProgramMessage> m_messages;
};

}  // namespace orv
