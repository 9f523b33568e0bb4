#include "gps/GpsMatcher.h"

#include "FakeMessagePoster.h"
#include "FakeTickClock.h"
#include "base/MessagePoster.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace orv {
namespace {

class GpsMatcherTest : public ::testing::Test
{
protected:
    GpsMatcherTest() { m_matcher.Reset(); }

    // The fix carried by the n-th message posted to the page.
    GpsFix PayloadOf(size_t n)
    {
        const auto messages = m_page.Messages();
        GpsFix fix;
        EXPECT_LT(n, messages.size());
        if (n < messages.size()) {
            EXPECT_TRUE(messages[n].fix.has_value());
            fix = messages[n].fix.value_or(GpsFix{});
        }
        return fix;
    }

    FakeTickClock m_clock{100000};
    FakeMessagePoster m_page;
    GpsMatcher m_matcher{m_clock};
};

TEST_F(GpsMatcherTest, InterpolatesAndExtrapolatesByTickStamp)
{
    m_matcher.AddFix({10.0, 20.0, 200000});
    m_matcher.RequestPosition({&m_page, 7, 200250});  // 250 ms after the first fix
    m_matcher.RequestPosition({&m_page, 8, 199500});  // 500 ms before it
    EXPECT_TRUE(m_page.Messages().empty());
    m_matcher.AddFix({10.001, 20.002, 201000});

    const auto messages = m_page.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, message::kMeasurementPosition);
    EXPECT_EQ(messages[0].wParam, 7u);
    GpsFix a = PayloadOf(0);
    EXPECT_NEAR(a.latitude, 10.00025, 1e-12);
    EXPECT_NEAR(a.longitude, 20.0005, 1e-12);
    EXPECT_EQ(a.tickStamp, 200250u);
    EXPECT_EQ(messages[1].wParam, 8u);
    EXPECT_NEAR(PayloadOf(1).latitude, 9.9995, 1e-12);
    // The page's own window also gets the new fix.
    EXPECT_EQ(messages[2].message, message::kNewGpsFix);
    EXPECT_EQ(messages[2].wParam, 0u);
    EXPECT_EQ(PayloadOf(2).tickStamp, 201000u);
    EXPECT_EQ(m_matcher.PendingRequests(), 0u);
}

TEST_F(GpsMatcherTest, AnswersEarlyRequestsWithTheFirstFix)
{
    EXPECT_FALSE(m_matcher.HaveFix());
    m_matcher.RequestPosition({&m_page, 1, 156000});
    m_matcher.RequestPosition({nullptr, 2, 156001});  // nobody to answer, nobody notified
    m_matcher.RequestPosition({&m_page, 3, 154999});  // more than 5 s before the fix
    m_matcher.AddFix({51.5, -0.2, 160000});
    const auto messages = m_page.Messages();
    ASSERT_EQ(messages.size(), 3u);  // two answers and the new fix
    const GpsFix fix = PayloadOf(0);
    EXPECT_EQ(fix.latitude, 51.5);
    EXPECT_EQ(fix.longitude, -0.2);
    EXPECT_EQ(fix.tickStamp, 156000u);
    // The receiver found its first fix too late for station 3: no position, its time told.
    EXPECT_EQ(messages[1].wParam, 3u);
    EXPECT_FALSE(messages[1].fix.has_value());
    EXPECT_EQ(messages[1].lParam, 154999);
    EXPECT_TRUE(m_matcher.HaveFix());
}

TEST_F(GpsMatcherTest, KeepsRequestsUntilTimeMovesAndGivesUpTheOldest)
{
    m_matcher.AddFix({1.0, 1.0, 110000});
    for (uint32_t i = 0; i < 20; ++i) {
        m_matcher.RequestPosition({&m_page, i, 110000 + i});
    }
    EXPECT_EQ(m_matcher.PendingRequests(), GpsMatcher::kMaxRequests);
    // The four pushed out of the full queue get no position, at once.
    auto messages = m_page.Messages();
    ASSERT_EQ(messages.size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(messages[i].wParam, i);
        EXPECT_FALSE(messages[i].fix.has_value());
    }
    // A fix with the same tick answers nothing: there is no time difference to use.
    m_matcher.AddFix({1.0, 1.0, 110000});
    EXPECT_EQ(m_matcher.PendingRequests(), GpsMatcher::kMaxRequests);
    m_matcher.AddFix({2.0, 2.0, 111000});
    messages = m_page.Messages();
    // One 9035 for the same-tick fix, sixteen answers, then a 9035 again.
    ASSERT_EQ(messages.size(), 22u);
    EXPECT_EQ(messages[4].message, message::kNewGpsFix);
    EXPECT_EQ(messages[5].wParam, 4u);
    EXPECT_TRUE(messages[5].fix.has_value());
    EXPECT_EQ(messages[20].wParam, 19u);
}

TEST_F(GpsMatcherTest, GivesAPositionOnlyFromFixesCloseToTheMeasurement)
{
    // Fixes at 200 s and at 200 s + gap; a measurement at 200 s + at; bound 5 s. Inside the
    // bound the answer is that of the ordinary interpolation or extrapolation.
    struct Case
    {
        const char* legend;
        uint32_t gap;  // ms from the last fix to the new one
        int64_t at;    // ms from the last fix to the measurement
        bool answered;
    };
    const Case cases[] = {
        {"between fixes a second apart", 1000, 500, true},
        {"a receiver silent for 8 s, measured in the middle", 8000, 4000, true},
        {"silent for 8 s, measured 2 s after the last fix", 8000, 2000, false},
        {"silent for 8 s, measured 2 s before the new fix", 8000, 6000, false},
        {"exactly 5 s on either side", 10000, 5000, true},
        {"just over 5 s after the last fix", 10000, 5001, false},
        {"extrapolated back by 5 s", 1000, -4000, true},
        {"extrapolated back by 6 s", 1000, -5000, false},
        {"extrapolated ahead by 5 s", 1000, 5000, true},
        {"extrapolated ahead by 6 s", 1000, 6000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        FakeMessagePoster page;
        m_matcher.Reset();
        m_matcher.AddFix({10.0, 20.0, 200000});
        const auto tick = uint32_t(int64_t{200000} + c.at);
        m_matcher.RequestPosition({&page, 1, tick, 5000});
        m_matcher.AddFix({10.0 + c.gap * 1e-6, 20.0, 200000 + c.gap});
        const auto messages = page.Messages();
        ASSERT_GE(messages.size(), 1u);
        EXPECT_EQ(messages[0].message, message::kMeasurementPosition);
        EXPECT_EQ(messages[0].fix.has_value(), c.answered);
        if (c.answered) {
            // One micro-degree a millisecond from the last fix.
            EXPECT_NEAR(messages[0].fix->latitude, 10.0 + double(c.at) * 1e-6, 1e-12);
            EXPECT_EQ(messages[0].fix->tickStamp, tick);
        } else {
            EXPECT_EQ(messages[0].lParam, int64_t{tick});
        }
        EXPECT_EQ(m_matcher.PendingRequests(), 0u);
    }
}

TEST_F(GpsMatcherTest, ARequestNoFixComesForIsGivenUpAfterItsBound)
{
    m_matcher.AddFix({10.0, 20.0, 200000});
    m_matcher.RequestPosition({&m_page, 1, 200500, 3000});
    m_matcher.RequestPosition({&m_page, 2, 201500, 3000});
    m_matcher.RequestPosition({&m_page, 3, 201500, 10000});
    m_matcher.Expire(203500);  // request 1 is 3 s old: not more than its bound yet
    EXPECT_TRUE(m_page.Messages().empty());
    m_matcher.Expire(203501);
    auto messages = m_page.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].wParam, 1u);
    EXPECT_FALSE(messages[0].fix.has_value());
    EXPECT_EQ(m_matcher.PendingRequests(), 2u);
    m_matcher.Expire(210000);
    messages = m_page.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].wParam, 2u);
    // A request stamped a moment after the tick the caller read is not old.
    m_matcher.RequestPosition({&m_page, 4, 210005, 3000});
    m_matcher.Expire(210000);
    EXPECT_EQ(m_matcher.PendingRequests(), 2u);
    // The fix that ends the silence is too far from both.
    m_matcher.AddFix({10.1, 20.0, 212000});
    messages = m_page.Messages();
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[2].wParam, 3u);
    EXPECT_FALSE(messages[2].fix.has_value());
    EXPECT_EQ(messages[3].wParam, 4u);
    EXPECT_FALSE(messages[3].fix.has_value());
    EXPECT_EQ(messages[4].message, message::kNewGpsFix);
}

TEST_F(GpsMatcherTest, WorksAcrossTheTickCounterWrap)
{
    FakeTickClock clock(0xFFFFFF00u);
    GpsMatcher matcher(clock);
    matcher.AddFix({10.0, 0.0, 0xFFFFFFF0u});
    matcher.RequestPosition({&m_page, 3, 0x00000010u});  // 32 ms later, past the wrap
    matcher.AddFix({10.064, 0.0, 0x00000030u});          // 64 ms after the first
    const auto messages = m_page.Messages();
    ASSERT_EQ(messages.size(), 2u);
    ASSERT_TRUE(messages[0].fix.has_value());
    EXPECT_NEAR(messages[0].fix->latitude, 10.032, 1e-12);
}

TEST_F(GpsMatcherTest, EveryMessageCarriesItsOwnFixHoweverManyFollow)
{
    // A page that handles its messages late still reads each station's own position: the fix
    // travels in the message, so no later fix can take its place.
    m_matcher.RequestPosition({&m_page, 0, 100001});
    for (uint32_t i = 1; i <= 200; ++i) {
        m_matcher.AddFix({double(i), 0.0, 100000 + i});
    }
    const auto messages = m_page.Messages();
    ASSERT_EQ(messages.size(), 201u);
    EXPECT_EQ(messages.front().message, message::kMeasurementPosition);
    EXPECT_EQ(messages.front().fix->tickStamp, 100001u);
    EXPECT_EQ(messages.front().fix->latitude, 1.0);
    for (size_t n = 1; n < messages.size(); ++n) {
        EXPECT_EQ(messages[n].message, message::kNewGpsFix);
        EXPECT_EQ(messages[n].fix->latitude, double(n));
    }
}

TEST_F(GpsMatcherTest, ResetAndForgetStopAllMessages)
{
    FakeMessagePoster other;
    m_matcher.RequestPosition({&m_page, 1, 100500});
    m_matcher.RequestPosition({&other, 2, 100500});
    m_matcher.Forget(&other);
    m_matcher.AddFix({1.0, 2.0, 101000});
    EXPECT_TRUE(other.Messages().empty());
    EXPECT_EQ(m_page.Messages().size(), 1u);  // the answer only: the notified window was other

    m_matcher.RequestPosition({&m_page, 3, 101500});
    m_matcher.Reset();
    EXPECT_FALSE(m_matcher.HaveFix());
    EXPECT_EQ(m_matcher.PendingRequests(), 0u);
    m_matcher.AddFix({5.0, 6.0, 102000});
    EXPECT_EQ(m_page.Messages().size(), 1u);
    EXPECT_EQ(m_matcher.LastFix().latitude, 5.0);
}

// A page that closes while the reader thread is posting it a fix: once Forget returns, the page
// may be destroyed, so no post to it may still be under way.
TEST_F(GpsMatcherTest, ForgetWaitsForAPostUnderWay)
{
    class SlowPage final : public MessagePoster
    {
    public:
        void Post(const ProgramMessage&) override
        {
            entered = true;
            while (!release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            done = true;
        }
        std::atomic<bool> entered{false};
        std::atomic<bool> release{false};
        std::atomic<bool> done{false};
    };
    SlowPage page;
    m_matcher.RequestPosition({&page, 1, 100000});
    std::thread reader([&] { m_matcher.AddFix({1.0, 2.0, 100500}); });
    while (!page.entered) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<bool> forgotten{false};
    std::thread window([&] {
        m_matcher.Forget(&page);
        forgotten = true;
        EXPECT_TRUE(page.done);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(forgotten);
    page.release = true;
    reader.join();
    window.join();
    EXPECT_TRUE(forgotten);
}

}  // namespace
}  // namespace orv
