#pragma once
// When the filter lists are fetched again. Plain C++: no wx, no GTK.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lumo::content_filter {

// The lists are fetched at most this often.
inline constexpr std::int64_t kListUpdateIntervalSeconds = 4 * 24 * 60 * 60;

// Whether the lists are due to be fetched again at `now`, last fetched at
// `last` (0: never). A last time in the future (the clock was put back) makes
// them due rather than never.
bool ListUpdateDue(std::int64_t last, std::int64_t now);

// What became of the list updates so far.
struct FilterListUpdates
{
    int started = 0;
    int switched = 0; // fetched, converted, compiled and in use
    int failed = 0;   // the filters in use were kept
    std::string lastError;
};

// The schedule of the list updates: one timer, which the schedule alone sets,
// waits for the next check at any time, and each update ends with the next
// check set, whatever came of it. The clock and the timer are given, so that
// a test drives them.
class ListUpdateSchedule
{
public:
    // Seconds since 1970.
    using Clock = std::function<std::int64_t()>;
    // Sets the one timer to go off once after the time given, in place of
    // any set before, or stops it (nullopt).
    using SetTimer = std::function<void(std::optional<std::chrono::milliseconds>)>;

    ListUpdateSchedule(Clock clock, SetTimer setTimer);

    // The filters are ready: the first check comes after `delay`. Once only.
    void Begin(std::chrono::milliseconds delay);
    // The timer went off (a check follows).
    void TimerFired() { m_timerSet = false; }
    // A check: true when the lists, last fetched at `last`, are due and may
    // be fetched (`allowed`: blocking is on and in use) over a network
    // (`online`): an update begins, which Ended ends. Otherwise the timer is
    // set for the next check, when they are due or in six hours at the
    // latest (a system that slept holds back timers, not the clock); due
    // lists without a network are checked again also when it returns.
    bool Check(std::int64_t last, bool allowed, bool online);
    // The network came (`available`) or went: true when a check is to run
    // now, for due lists that waited for it.
    bool NetworkChanged(bool available);
    // The update that Check began ended: its filters are in use
    // (`switched`), or those in use were kept for the reason `why`.
    void Ended(bool switched, const std::string& why);

    bool Updating() const { return m_updating; }
    bool TimerSet() const { return m_timerSet; }
    const FilterListUpdates& Updates() const { return m_updates; }

private:
    void SetTimerFor(std::chrono::milliseconds delay);
    void StopTimer();

    Clock m_clock;
    SetTimer m_setTimer;
    bool m_begun = false;
    bool m_updating = false;
    bool m_timerSet = false;
    bool m_waitingForNetwork = false;
    FilterListUpdates m_updates;
};

} // namespace lumo::content_filter
