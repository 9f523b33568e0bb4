#pragma once
// Matches GPS fixes to measurements by tick stamp. The track page asks for the position of a
// measurement (RequestPosition); the reader thread hands in every new fix (AddFix), which
// answers the queued requests by interpolating between the last fix and the new one and
// streams the fix to the page.
//
// Answers travel as posted messages through the MessagePoster named in the request, the fix by
// value in the message:
//   9034 (message::kMeasurementPosition): wParam = the measurement index, fix = its position;
//        or, without a fix, lParam = the measurement's tick stamp: no position can be given;
//   9035 (message::kNewGpsFix): wParam = 0, fix = the new fix.
//
// A position is never older than the request's stale bound S (PositionRequest::staleMs): a
// request is answered only when the last fix is at most S before the measurement and the new
// fix at most S after it (the first fix of a session: at most S away). Otherwise, and when a
// request waits longer than S (Expire, called by the reader thread while the link runs) or is
// pushed out of the full queue, the page gets the answer without a fix, and the station stays
// unpositioned: never the last known position of a receiver that went quiet.
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
    // The stale bound S in ms: the fixes used may lie at most this far from the measurement,
    // and the request is given up this long after it (GpsStaleSeconds).
    uint32_t staleMs = 5000;
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
    // Queues a request; with 16 waiting the oldest is given up (answered without a fix). The
    // request's window also gets every new fix from now on.
    void RequestPosition(const PositionRequest& request);
    // Gives up every request made more than its stale bound before `now` (a tick count), or
    // before the clock's present tick.
    void Expire(uint32_t now);
    void Expire();
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
    // The answer of a request that gets no position.
    static Outgoing GiveUp(const PositionRequest& request);

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
