// The schedule of the filter list updates over simulated days, with a clock
// and a timer the test drives: a program left running fetches the lists
// every four days, whatever came of each update, and the network's comings
// and goings never leave more than one timer waiting.
#include "content_filter/list_schedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

using namespace lumo::content_filter;
using namespace std::chrono_literals;

namespace {

constexpr std::int64_t kDay = 24 * 60 * 60;

// A main loop with one clock; the timers set on it, as a real loop keeps
// them: each set adds one, unless the schedule asked to stop the last.
class SimulatedLoop
{
public:
    std::int64_t Now() const { return m_nowMs / 1000; }
    void Advance(std::int64_t seconds) { m_nowMs += seconds * 1000; }

    // The timers waiting, in the order they go off.
    std::size_t Waiting() const { return m_timers.size(); }
    bool RunNextTimer(ListUpdateSchedule& schedule)
    {
        if (m_timers.empty())
            return false;
        m_nowMs = m_timers.front();
        m_timers.erase(m_timers.begin());
        schedule.TimerFired();
        return true;
    }

    ListUpdateSchedule::SetTimer Setter()
    {
        return [this](std::optional<std::chrono::milliseconds> delay) {
            // The one timer the schedule owns: a new one takes the place of
            // the last, as its owner removes the last before it sets one.
            m_timers.clear();
            if (delay)
                m_timers.push_back(m_nowMs + delay->count());
            ++m_sets;
        };
    }
    int Sets() const { return m_sets; }

private:
    std::int64_t m_nowMs = std::int64_t{1'800'000'000} * 1000;
    std::vector<std::int64_t> m_timers;
    int m_sets = 0;
};

} // namespace

TEST(ContentListSchedule, ListsAreFetchedEveryFourDaysWhateverEachUpdateCameTo)
{
    SimulatedLoop loop;
    ListUpdateSchedule schedule([&] { return loop.Now(); }, loop.Setter());
    const std::int64_t start = loop.Now();
    std::int64_t last = 0; // never fetched
    std::vector<std::int64_t> fetched;

    schedule.Begin(60s);
    schedule.Begin(60s); // ready again after an update: still one first check
    ASSERT_EQ(loop.Waiting(), 1u);
    while (loop.Now() < start + 41 * kDay) {
        ASSERT_EQ(loop.Waiting(), 1u) << "day " << (loop.Now() - start) / kDay;
        ASSERT_TRUE(loop.RunNextTimer(schedule));
        if (!schedule.Check(last, true, true))
            continue;
        EXPECT_EQ(loop.Waiting(), 0u); // none while the update runs
        last = loop.Now();
        fetched.push_back(last);
        // Downloading, converting and compiling take a while; every other
        // update fails (the list is gone, or not a list).
        loop.Advance(90);
        const bool switched = fetched.size() % 2 == 0;
        schedule.Ended(switched, switched ? "" : "HTTP status 404");
    }

    ASSERT_EQ(fetched.size(), 11u);
    EXPECT_EQ(fetched.front(), start + 60);
    for (std::size_t i = 1; i < fetched.size(); ++i) {
        EXPECT_GE(fetched[i] - fetched[i - 1], 4 * kDay) << i;
        EXPECT_LE(fetched[i] - fetched[i - 1], 4 * kDay + 60) << i;
    }
    EXPECT_EQ(schedule.Updates().started, 11);
    EXPECT_EQ(schedule.Updates().switched, 5);
    EXPECT_EQ(schedule.Updates().failed, 6);
    EXPECT_EQ(schedule.Updates().lastError, "HTTP status 404");

    // Blocking turned off for a while: nothing fetched, yet the checks go on
    // and fetch once it is on again.
    while (loop.Now() < last + 4 * kDay + 6 * 60 * 60) {
        ASSERT_TRUE(loop.RunNextTimer(schedule));
        EXPECT_FALSE(schedule.Check(last, false, true));
        ASSERT_EQ(loop.Waiting(), 1u);
    }
    ASSERT_TRUE(loop.RunNextTimer(schedule));
    EXPECT_TRUE(schedule.Check(last, true, true));
}

TEST(ContentListSchedule, NetworkChangesLeaveOneTimerAndDueListsWaitForTheNetwork)
{
    SimulatedLoop loop;
    ListUpdateSchedule schedule([&] { return loop.Now(); }, loop.Setter());
    std::int64_t last = loop.Now() - kDay; // fetched yesterday
    schedule.Begin(60s);
    ASSERT_TRUE(loop.RunNextTimer(schedule));
    EXPECT_FALSE(schedule.Check(last, true, true));
    ASSERT_EQ(loop.Waiting(), 1u);

    // Ten network changes while nothing is due: no check, one timer.
    const int sets = loop.Sets();
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(schedule.NetworkChanged(i % 2 == 0));
    EXPECT_EQ(loop.Waiting(), 1u);
    EXPECT_EQ(loop.Sets(), sets);

    // Due with no network: the lists wait for it, with one timer still.
    while (schedule.Updates().started == 0 && loop.Now() < last + 4 * kDay) {
        ASSERT_TRUE(loop.RunNextTimer(schedule));
        EXPECT_FALSE(schedule.Check(last, true, false));
    }
    EXPECT_EQ(loop.Waiting(), 1u);
    EXPECT_FALSE(schedule.NetworkChanged(false));
    // The network comes back, and flaps ten times: one update, one timer.
    int checks = 0;
    for (int i = 0; i < 10; ++i)
        if (schedule.NetworkChanged(i % 2 == 0) && schedule.Check(last, true, true))
            ++checks;
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(schedule.Updates().started, 1);
    EXPECT_EQ(loop.Waiting(), 0u);
    schedule.Ended(true, {});
    EXPECT_EQ(loop.Waiting(), 1u);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(schedule.NetworkChanged(true));
    EXPECT_EQ(loop.Waiting(), 1u);
}
