#pragma once
// Matches GPS fixes to measurements by tick stamp. The track page asks for the position of a
// measurement (RequestPosition); the reader thread hands in every new fix (AddFix), which
// answers the queued requests by interpolating between the last fix and the new one and
// streams the fix to the page.
//
// Answers travel as posted messages through the MessagePoster named in the request, the fix by
// value in the message:
//   9034 (message::kMeasurementPosition): wParam = the measurement index, fix = its position;
//   9035 (message::kNewGpsFix): wParam = 0, fix = the new fix.
//
// Tick differences are unsigned 32-bit and taken relative to the tick of the last Reset, so
// the counter may wrap during a session.

#include "base/GpsFix.h"
#include "base/MessagePoster.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace orv {

class TickClock;

struct PositionRequest
{
    MessagePoster* window = nullptr;  // null: nobody to answer, the request is skipped
    uint32_t index = 0;               // the measurement's index in the survey
    uint32_t tickStamp = 0;           // the measurement's tick stamp
};

class GpsMatcher
{
public:
    static constexpr size_t kMaxRequests = 16;

    explicit GpsMatcher(TickClock& clock);
    GpsMatcher(const GpsMatcher&) = delete;
    GpsMatcher& operator=(const GpsMatcher&) = delete;

    // Last fix zero, reset tick = now, requests dropped, nobody notified, no fix.
    void Reset();
    // Answers the waiting requests and notifies the window of the latest request. Messages are
    // posted after the matcher's lock is released.
    void AddFix(const GpsFix& fix);
    // Queues a request; with 16 waiting the oldest is dropped. The request's window also gets
    // every new fix from now on.
    void RequestPosition(const PositionRequest& request);
    // Drops the requests of a window that goes away and stops notifying it. Waits for messages
    // being posted by AddFix at that moment, so the window may be destroyed once it returns.
    void Forget(const MessagePoster* window);

    [[nodiscard]] bool HaveFix() const;
    [[nodiscard]] GpsFix LastFix() const;
    [[nodiscard]] size_t PendingRequests() const;

private:
    struct Outgoing
    {
        MessagePoster* window = nullptr;
        ProgramMessage message;
    };

    TickClock& m_clock;
    mutable std::mutex m_mutex;
    // AddFix calls posting outside the lock, and their end, for Forget to wait on.
    int m_posting = 0;
    std::condition_variable m_posted;
    GpsFix m_last;
    uint32_t m_resetTick = 0;
    std::array<PositionRequest, kMaxRequests> m_requests{};
    size_t m_requestHead = 0;
    size_t m_requestCount = 0;
    MessagePoster* m_notifyWindow = nullptr;
    bool m_haveFix = false;
};

}  // namespace orv
