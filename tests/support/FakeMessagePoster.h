#pragma once
// Records posted messages; safe to post from any thread.

#include <mutex>
#include <vector>

#include "base/MessagePoster.h"

namespace orv {

class FakeMessagePoster final : public MessagePoster
{
public:
    struct Message
    {
        uint32_t message;
        uint64_t wParam;
        int64_t lParam;
    };

    void Post(uint32_t message, uint64_t wParam, int64_t lParam) override
    {
        std::scoped_lock lock(m_mutex);
        m_messages.push_back({message, wParam, lParam});
    }
    std::vector<Message> Messages() const
    {
        std::scoped_lock lock(m_mutex);
        return m_messages;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
};

}  // namespace orv
