#include "content_filter/list_schedule.h"

#include <algorithm>
#include <utility>

namespace lumo::content_filter {
namespace {

// A check waits no longer than this, and no shorter than a minute.
constexpr std::int64_t kLongestWaitSeconds = 6 * 60 * 60;
constexpr std::int64_t kShortestWaitSeconds = 60;

} // namespace

bool ListUpdateDue(std::int64_t last, std::int64_t now)
{
    return last <= 0 || last > now || now - last >= kListUpdateIntervalSeconds;
}

ListUpdateSchedule::ListUpdateSchedule(Clock clock, SetTimer setTimer)
    : m_clock(std::move(clock)), m_setTimer(std::move(setTimer))
{
}

void ListUpdateSchedule::Begin(std::chrono::milliseconds delay)
{
    if (m_begun)
        return;
    m_begun = true;
    if (!m_updating)
        SetTimerFor(delay);
}

bool ListUpdateSchedule::Check(std::int64_t last, bool allowed, bool online)
{
    if (m_updating)
        return false;
    m_begun = true;
    const std::int64_t now = m_clock();
    std::int64_t wait = kLongestWaitSeconds;
    m_waitingForNetwork = false;
    if (allowed && !ListUpdateDue(last, now)) {
        wait = std::clamp(last + kListUpdateIntervalSeconds - now, kShortestWaitSeconds,
                          kLongestWaitSeconds);
    } else if (allowed && !online) {
        m_waitingForNetwork = true;
    } else if (allowed) {
        StopTimer();
        m_updating = true;
        ++m_updates.started;
        return true;
    }
    SetTimerFor(std::chrono::seconds(wait));
    return false;
}

bool ListUpdateSchedule::NetworkChanged(bool available)
{
    return available && m_waitingForNetwork && !m_updating;
}

void ListUpdateSchedule::Ended(bool switched, const std::string& why)
{
    if (!m_updating)
        return;
    m_updating = false;
    if (switched) {
        ++m_updates.switched;
    } else {
        ++m_updates.failed;
        m_updates.lastError = why;
    }
    // Not due for four days: checked again before then only to keep to the
    // clock.
    SetTimerFor(std::chrono::seconds(kLongestWaitSeconds));
}

void ListUpdateSchedule::SetTimerFor(std::chrono::milliseconds delay)
{
    m_timerSet = true;
    m_setTimer(delay);
}

void ListUpdateSchedule::StopTimer()
{
    if (!m_timerSet)
        return;
    m_timerSet = false;
    m_setTimer(std::nullopt);
}

} // namespace lumo::content_filter
