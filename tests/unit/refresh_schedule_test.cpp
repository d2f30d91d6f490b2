// When feeds are read again: the interval, the backoff while failing, a
// server's Retry-After, and how many are read at once.
#include "headlines/core/refresh_schedule.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace headlines {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Optional;

constexpr std::time_t kMinute = 60;
constexpr std::time_t kHour = 3600;

class RefreshScheduleTest : public ::testing::Test
{
protected:
    static FeedRecord Feed(const std::string& address, std::time_t lastFetched)
    {
        FeedRecord feed;
        feed.address = address;
        feed.lastFetched = lastFetched;
        return feed;
    }

    FeedRecord Failing(std::time_t lastFetched, int failures, RetryTimes retry)
    {
        FeedRecord feed = Feed("https://a.example/f", lastFetched);
        feed.failures = failures;
        feed.nextAttempt = retry.nextAttempt;
        feed.serverHold = retry.serverHold;
        return feed;
    }

    std::time_t m_now = 1'750'000'000;
    RefreshSchedule m_schedule{[this] { return m_now; }, ScheduleLimits{.maxRunning = 6}};
};

TEST_F(RefreshScheduleTest, AFeedIsDueAfterItsIntervalOrWhenTheClockWasPutBack)
{
    EXPECT_TRUE(m_schedule.IsDue(Feed("https://a.example/f", 0)));
    EXPECT_FALSE(m_schedule.IsDue(Feed("https://a.example/f", m_now - 29 * kMinute)));
    EXPECT_TRUE(m_schedule.IsDue(Feed("https://a.example/f", m_now - 30 * kMinute)));
    EXPECT_TRUE(m_schedule.IsDue(Feed("https://a.example/f", m_now + 2 * kHour)));

    // The user's refresh skips the interval, not a read of a moment ago.
    EXPECT_TRUE(m_schedule.IsDue(Feed("https://a.example/f", m_now - 5 * kMinute), true));
    EXPECT_FALSE(m_schedule.IsDue(Feed("https://a.example/f", m_now - 10), true));
    EXPECT_EQ(m_schedule.NextDue({Feed("https://a.example/f", m_now - 10 * kMinute),
                                  Feed("https://b.example/f", m_now - 25 * kMinute)}),
              m_now + 5 * kMinute);
    EXPECT_EQ(m_schedule.NextDue({}), std::nullopt);
}

TEST_F(RefreshScheduleTest, FailuresWaitLongerEachTimeUpToADayAndServersAreHeard)
{
    std::vector<std::time_t> waits;
    for (int failures : {1, 2, 3, 4, 10, 40})
        waits.push_back(m_schedule.AfterFailure(failures, std::nullopt).nextAttempt - m_now);
    EXPECT_THAT(waits, ElementsAre(5 * kMinute, 10 * kMinute, 20 * kMinute, 40 * kMinute,
                                   24 * kHour, 24 * kHour));

    const RetryTimes shortAsk = m_schedule.AfterFailure(3, 60);
    EXPECT_EQ(shortAsk.nextAttempt, m_now + 20 * kMinute);
    EXPECT_EQ(shortAsk.serverHold, m_now + 60);
    const RetryTimes longAsk = m_schedule.AfterFailure(1, 2 * kHour);
    EXPECT_EQ(longAsk.nextAttempt, m_now + 2 * kHour);
    EXPECT_EQ(m_schedule.AfterFailure(1, 400 * 24 * kHour).serverHold, m_now + 7 * 24 * kHour);

    const FeedRecord backingOff = Failing(m_now, 5, m_schedule.AfterFailure(5, 60));
    const FeedRecord held = Failing(m_now, 1, longAsk);
    m_now += 30 * kMinute; // past the interval, not past the waits
    EXPECT_FALSE(m_schedule.IsDue(backingOff));
    EXPECT_FALSE(m_schedule.IsDue(held));
    // The user's refresh tries a failing feed again at once, but not against
    // what the server asked.
    EXPECT_TRUE(m_schedule.IsDue(backingOff, true));
    EXPECT_FALSE(m_schedule.IsDue(held, true));
    m_now += 90 * kMinute;
    EXPECT_TRUE(m_schedule.IsDue(held));
}

TEST_F(RefreshScheduleTest, AtMostSixReadsAtOnceAndTwoPerHostLongestUnreadFirst)
{
    std::vector<FeedRecord> feeds;
    for (int i = 0; i < 4; ++i) {
        feeds.push_back(Feed("https://one.example/" + std::to_string(i), m_now - kHour - i));
        feeds.push_back(Feed("https://two.example/" + std::to_string(i), m_now - 2 * kHour));
        feeds.push_back(Feed("http://three.example:8080/" + std::to_string(i), 0));
    }
    feeds.push_back(Feed("https://four.example/f", m_now - 3 * kHour));

    const std::vector<std::string> first = m_schedule.StartDue(feeds);
    EXPECT_THAT(first, ElementsAre("http://three.example:8080/0", "http://three.example:8080/1",
                                   "https://four.example/f", "https://two.example/0",
                                   "https://two.example/1", "https://one.example/3"));
    EXPECT_EQ(m_schedule.RunningCount(), 6);
    EXPECT_THAT(m_schedule.StartDue(feeds), IsEmpty());

    for (size_t read : {1u, 9u}) { // two.example/0 and one.example/3
        m_schedule.Finished(feeds[read].address);
        feeds[read].lastFetched = m_now;
    }
    // Another of two.example's, one of one.example's; none started twice.
    EXPECT_THAT(m_schedule.StartDue(feeds),
                ElementsAre("https://two.example/2", "https://one.example/2"));
    EXPECT_FALSE(m_schedule.IsDue(feeds[2])); // running

    // Once timed, the slowest to answer go first; one never timed before them.
    RefreshSchedule timed([this] { return m_now; });
    const std::vector<FeedRecord> due = {Feed("https://a.example/f", 0),
                                         Feed("https://b.example/f", 0),
                                         Feed("https://c.example/f", 0)};
    ASSERT_THAT(timed.StartDue(due), ElementsAre(due[0].address, due[1].address, due[2].address));
    timed.Finished(due[0].address, 0.3);
    timed.Finished(due[2].address, 0.9);
    timed.Finished(due[1].address);
    EXPECT_THAT(timed.StartDue(due), ElementsAre(due[1].address, due[2].address, due[0].address));
}

TEST(RetryAfterTest, ReadsSecondsAndTheThreeHttpDateForms)
{
    const std::time_t now = 784111777; // Sun, 06 Nov 1994 08:49:37 GMT
    EXPECT_THAT(ParseRetryAfter(" 120 ", now), Optional(120));
    EXPECT_THAT(ParseRetryAfter("Sun, 06 Nov 1994 08:59:37 GMT", now), Optional(600));
    EXPECT_THAT(ParseRetryAfter("Sunday, 06-Nov-94 09:49:37 GMT", now), Optional(3600));
    EXPECT_THAT(ParseRetryAfter("Sun Nov  6 08:50:37 1994", now), Optional(60));
    EXPECT_THAT(ParseRetryAfter("Sat, 05 Nov 1994 08:49:37 GMT", now), Optional(0));
    EXPECT_THAT(ParseRetryAfter("99999999999999999999", now), Optional(999999999));
    EXPECT_EQ(ParseRetryAfter("soon", now), std::nullopt);
    EXPECT_EQ(ParseRetryAfter("-5", now), std::nullopt);
    EXPECT_EQ(ParseRetryAfter("Sun, 36 Nov 1994 08:49:37 GMT", now), std::nullopt);
    EXPECT_EQ(ParseRetryAfter("", now), std::nullopt);
    EXPECT_TRUE(StatusHasRetryAfter(429) && StatusHasRetryAfter(503) && !StatusHasRetryAfter(500));
}

} // namespace
} // namespace headlines
