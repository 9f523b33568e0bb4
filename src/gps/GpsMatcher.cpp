#include "gps/GpsMatcher.h"

#include "base/MessagePoster.h"
#include "base/TickClock.h"

#include <algorithm>
#include <optional>

namespace orv {

GpsMatcher::GpsMatcher(TickClock& clock) : m_clock(clock) { m_resetTick = m_clock.Now(); }

void GpsMatcher::Reset()
{
    const uint32_t now = m_clock.Now();
    std::scoped_lock lock(m_mutex);
    m_last = GpsFix{};
    m_resetTick = now;
    m_requestHead = 0;
    m_requestCount = 0;
    m_notifyWindow = nullptr;
    m_haveFix = false;
}

GpsMatcher::Outgoing GpsMatcher::GiveUp(const PositionRequest& r)
{
    return {r.window, ProgramMessage{message::kMeasurementPosition, r.index, int64_t{r.tickStamp},
                                     std::nullopt}};
}

void GpsMatcher::AddFix(const GpsFix& fix)
{
    std::array<Outgoing, kMaxRequests + 1> outgoing{};
    size_t outgoingCount = 0;
    {
        std::scoped_lock lock(m_mutex);
        const bool first =
            m_last.tickStamp == 0 && m_last.latitude == 0.0 && m_last.longitude == 0.0;
        if (first || fix.tickStamp != m_last.tickStamp) {
            const uint32_t tLast = m_last.tickStamp - m_resetTick;
            const uint32_t tNew = fix.tickStamp - m_resetTick;
            const double span = double(uint32_t(tNew - tLast));
            const double latSlope = first ? 0.0 : (fix.latitude - m_last.latitude) / span;
            const double lonSlope = first ? 0.0 : (fix.longitude - m_last.longitude) / span;
            for (size_t i = 0; i < m_requestCount; ++i) {
                const PositionRequest& r = m_requests[(m_requestHead + i) % kMaxRequests];
                if (r.window == nullptr) {
                    continue;
                }
                const uint32_t tReq = r.tickStamp - m_resetTick;
                // How far the fixes used lie from the measurement, in ms; a fix on the other
                // side of the measurement is no further than the measurement itself.
                const uint32_t lastBefore = tReq >= tLast ? tReq - tLast : 0;
                const uint32_t newAfter = tNew >= tReq ? tNew - tReq : 0;
                const bool close =
                    first ? std::max(newAfter, tReq >= tNew ? tReq - tNew : 0) <= r.staleMs
                          : lastBefore <= r.staleMs && newAfter <= r.staleMs;
                if (!close) {
                    outgoing[outgoingCount++] = GiveUp(r);
                    continue;
                }
                GpsFix answer{fix.latitude, fix.longitude, r.tickStamp};
                if (!first) {
                    // Interpolation between the two fixes, extrapolation outside them; the
                    // unsigned differences are split by the sign of tReq - tLast.
                    if (tReq >= tLast) {
                        const double dt = double(tReq - tLast);
                        answer.latitude = m_last.latitude + latSlope * dt;
                        answer.longitude = m_last.longitude + lonSlope * dt;
                    } else {
                        const double dt = double(tLast - tReq);
                        answer.latitude = m_last.latitude - latSlope * dt;
                        answer.longitude = m_last.longitude - lonSlope * dt;
                    }
                }
                outgoing[outgoingCount++] = {
                    r.window, ProgramMessage{message::kMeasurementPosition, r.index, 0, answer}};
            }
            m_requestHead = 0;
            m_requestCount = 0;
        }
        if (m_notifyWindow != nullptr) {
            outgoing[outgoingCount++] = {m_notifyWindow,
                                         ProgramMessage{message::kNewGpsFix, 0, 0, fix}};
        }
        m_last = fix;
        m_haveFix = true;
        if (outgoingCount == 0) {
            return;
        }
        ++m_posting;
    }
    for (size_t i = 0; i < outgoingCount; ++i) {
        const Outgoing& o = outgoing[i];
        o.window->Post(o.message);
    }
    std::scoped_lock lock(m_mutex);
    --m_posting;
    m_posted.notify_all();
}

void GpsMatcher::RequestPosition(const PositionRequest& request)
{
    Outgoing dropped;
    {
        std::scoped_lock lock(m_mutex);
        if (m_requestCount == kMaxRequests) {
            dropped = GiveUp(m_requests[m_requestHead]);
            m_requestHead = (m_requestHead + 1) % kMaxRequests;
            --m_requestCount;
        }
        m_requests[(m_requestHead + m_requestCount) % kMaxRequests] = request;
        ++m_requestCount;
        m_notifyWindow = request.window;
    }
    if (dropped.window != nullptr) {
        dropped.window->Post(dropped.message);
    }
}

void GpsMatcher::Expire() { Expire(m_clock.Now()); }

void GpsMatcher::Expire(uint32_t now)
{
    std::array<Outgoing, kMaxRequests> outgoing{};
    size_t outgoingCount = 0;
    {
        std::scoped_lock lock(m_mutex);
        size_t kept = 0;
        std::array<PositionRequest, kMaxRequests> remaining{};
        for (size_t i = 0; i < m_requestCount; ++i) {
            const PositionRequest& r = m_requests[(m_requestHead + i) % kMaxRequests];
            // Signed: a request stamped a moment after `now` was read is not old.
            const auto age = int32_t(now - r.tickStamp);
            if (age > 0 && uint32_t(age) > r.staleMs) {
                if (r.window != nullptr) {
                    outgoing[outgoingCount++] = GiveUp(r);
                }
            } else {
                remaining[kept++] = r;
            }
        }
        if (kept != m_requestCount) {
            m_requests = remaining;
            m_requestHead = 0;
            m_requestCount = kept;
        }
    }
    for (size_t i = 0; i < outgoingCount; ++i) {
        outgoing[i].window->Post(outgoing[i].message);
    }
}

void GpsMatcher::Forget(const MessagePoster* window)
{
    std::unique_lock lock(m_mutex);
    // A message collected for this window before now may still be on its way to it.
    m_posted.wait(lock, [this] { return m_posting == 0; });
    size_t kept = 0;
    std::array<PositionRequest, kMaxRequests> remaining{};
    for (size_t i = 0; i < m_requestCount; ++i) {
        const PositionRequest& r = m_requests[(m_requestHead + i) % kMaxRequests];
        if (r.window != window) {
            remaining[kept++] = r;
        }
    }
    m_requests = remaining;
    m_requestHead = 0;
    m_requestCount = kept;
    if (m_notifyWindow == window) {
        m_notifyWindow = nullptr;
    }
}

bool GpsMatcher::HaveFix() const
{
    std::scoped_lock lock(m_mutex);
    return m_haveFix;
}

GpsFix GpsMatcher::LastFix() const
{
    std::scoped_lock lock(m_mutex);
    return m_last;
}

size_t GpsMatcher::PendingRequests() const
{
    std::scoped_lock lock(m_mutex);
    return m_requestCount;
}

}  // namespace orv
