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
    m_matcher.RequestPosition({&m_page, 1, 150000});
    m_matcher.RequestPosition({nullptr, 2, 150001});  // nobody to answer, nobody notified
    m_matcher.AddFix({51.5, -0.2, 160000});
    const auto messages = m_page.Messages();
    ASSERT_EQ(messages.size(), 1u);
    const GpsFix fix = PayloadOf(0);
    EXPECT_EQ(fix.latitude, 51.5);
    EXPECT_EQ(fix.longitude, -0.2);
    EXPECT_EQ(fix.tickStamp, 150000u);
    EXPECT_TRUE(m_matcher.HaveFix());
}

TEST_F(GpsMatcherTest, KeepsRequestsUntilTimeMovesAndDropsTheOldest)
{
    m_matcher.AddFix({1.0, 1.0, 110000});
    for (uint32_t i = 0; i < 20; ++i) {
        m_matcher.RequestPosition({&m_page, i, 110000 + i});
    }
    EXPECT_EQ(m_matcher.PendingRequests(), GpsMatcher::kMaxRequests);
    // A fix with the same tick answers nothing: there is no time difference to use.
    m_matcher.AddFix({1.0, 1.0, 110000});
    EXPECT_EQ(m_matcher.PendingRequests(), GpsMatcher::kMaxRequests);
    m_page.Messages();
    m_matcher.AddFix({2.0, 2.0, 111000});
    const auto messages = m_page.Messages();
    // One 9035 for the same-tick fix, sixteen answers, then a 9035 again.
    ASSERT_EQ(messages.size(), 18u);
    EXPECT_EQ(messages[1].wParam, 4u);  // requests 0..3 were dropped
    EXPECT_EQ(messages[16].wParam, 19u);
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
