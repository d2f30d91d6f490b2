#include "headlines/core/refresh_schedule.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <utility>

#include "common/address_text.h"

namespace headlines {

RefreshSchedule::RefreshSchedule(Clock clock, ScheduleLimits limits)
    : m_clock(std::move(clock)), m_limits(limits)
{
}

std::time_t RefreshSchedule::DueTime(const FeedRecord& feed) const
{
    if (feed.failures > 0 && feed.nextAttempt > 0)
        return feed.nextAttempt;
    if (feed.lastFetched == 0)
        return 0;
    return feed.lastFetched + m_limits.interval;
}

bool RefreshSchedule::IsDue(const FeedRecord& feed, bool userAsked) const
{
    if (IsRunning(feed.address))
        return false;
    const std::time_t now = m_clock();
    // A time far ahead means the clock was put back: it no longer holds.
    const auto waits = [&](std::time_t until, std::time_t longest) {
        return until > now && until - now <= longest;
    };
    if (waits(feed.serverHold, m_limits.maxServerHold))
        return false;
    if (userAsked)
        return !waits(feed.lastFetched + m_limits.userRefreshGap, m_limits.userRefreshGap);
    if (feed.lastFetched > now)
        return true; // read "in the future": the clock was put back
    const std::time_t longest =
        std::max({m_limits.interval, m_limits.maxBackoff, m_limits.maxServerHold});
    return !waits(DueTime(feed), longest);
}

bool RefreshSchedule::HasRoomFor(const std::string& host) const
{
    if (RunningCount() >= m_limits.maxRunning)
        return false;
    const auto sameHost =
        std::count_if(m_running.begin(), m_running.end(),
                      [&](const auto& running) { return running.second == host; });
    return sameHost < m_limits.maxPerHost;
}

std::vector<std::string> RefreshSchedule::StartDue(const std::vector<FeedRecord>& feeds,
                                                   bool userAsked)
{
    std::vector<const FeedRecord*> due;
    for (const FeedRecord& feed : feeds)
        if (IsDue(feed, userAsked))
            due.push_back(&feed);
    // A feed never timed counts as the slowest.
    const auto answerTime = [this](const FeedRecord* feed) {
        auto known = m_answerSeconds.find(feed->address);
        return known == m_answerSeconds.end() ? std::numeric_limits<double>::infinity()
                                              : known->second;
    };
    std::stable_sort(due.begin(), due.end(), [&](const FeedRecord* a, const FeedRecord* b) {
        const double slowA = answerTime(a), slowB = answerTime(b);
        return slowA != slowB ? slowA > slowB : a->lastFetched < b->lastFetched;
    });
    std::vector<std::string> started;
    for (const FeedRecord* feed : due) {
        const std::string host = lumo::HostOf(feed->address);
        if (IsRunning(feed->address) || !HasRoomFor(host))
            continue;
        m_running.emplace(feed->address, host);
        started.push_back(feed->address);
    }
    return started;
}

void RefreshSchedule::Finished(const std::string& feedAddress, std::optional<double> answerSeconds)
{
    m_running.erase(feedAddress);
    if (answerSeconds)
        m_answerSeconds[feedAddress] = *answerSeconds;
}

bool RefreshSchedule::IsRunning(const std::string& feedAddress) const
{
    return m_running.count(feedAddress) > 0;
}

std::optional<std::time_t> RefreshSchedule::NextDue(const std::vector<FeedRecord>& feeds) const
{
    std::optional<std::time_t> first;
    const std::time_t now = m_clock();
    for (const FeedRecord& feed : feeds) {
        if (IsRunning(feed.address))
            continue;
        const std::time_t due = IsDue(feed) ? now : std::max(DueTime(feed), feed.serverHold);
        if (!first || due < *first)
            first = due;
    }
    return first;
}

RetryTimes RefreshSchedule::AfterFailure(int failures,
                                         std::optional<std::time_t> retryAfterSeconds) const
{
    const std::time_t now = m_clock();
    std::time_t backoff = m_limits.firstRetry;
    for (int n = 1; n < failures && backoff < m_limits.maxBackoff; ++n)
        backoff *= 2;
    backoff = std::min(backoff, m_limits.maxBackoff);
    if (!retryAfterSeconds)
        return {now + backoff, 0};
    const std::time_t hold = std::clamp<std::time_t>(*retryAfterSeconds, 0, m_limits.maxServerHold);
    return {now + std::max(backoff, hold), hold > 0 ? now + hold : 0};
}

bool StatusHasRetryAfter(int status)
{
    return status == 429 || status == 503;
}

namespace {

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

int MonthOf(std::string_view word)
{
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (word.size() < 3)
        return -1;
    std::string lower;
    for (char c : word.substr(0, 3))
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (size_t i = 0; i < kMonths.size(); ++i)
        if (lower == kMonths[i])
            return static_cast<int>(i);
    return -1;
}

bool ReadClock(std::string_view word, std::tm& date)
{
    if (word.size() != 8 || word[2] != ':' || word[5] != ':')
        return false;
    const auto two = [&](size_t at) {
        return AllDigits(word.substr(at, 2)) ? std::stoi(std::string(word.substr(at, 2))) : -1;
    };
    date.tm_hour = two(0);
    date.tm_min = two(3);
    date.tm_sec = two(6);
    return date.tm_hour >= 0 && date.tm_hour < 24 && date.tm_min >= 0 && date.tm_min < 60 &&
           date.tm_sec >= 0 && date.tm_sec <= 60;
}

// "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT" and
// "Sun Nov  6 08:49:37 1994": the words in any of these orders.
std::optional<std::time_t> ParseHttpDate(std::string_view text)
{
    std::tm date{};
    int day = -1, month = -1, year = -1;
    bool haveClock = false;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find_first_of(" ,-", at);
        const std::string_view word = text.substr(at, end == text.npos ? text.npos : end - at);
        at = end == text.npos ? text.size() : end + 1;
        if (word.empty())
            continue;
        if (AllDigits(word) && word.size() <= 2 && day < 0)
            day = std::stoi(std::string(word));
        else if (AllDigits(word) && (word.size() == 4 || word.size() == 2))
            year = std::stoi(std::string(word));
        else if (MonthOf(word) >= 0 && month < 0 && word.size() == 3)
            month = MonthOf(word);
        else if (word.find(':') != word.npos)
            haveClock = ReadClock(word, date);
    }
    if (day < 1 || day > 31 || month < 0 || year < 0 || !haveClock)
        return std::nullopt;
    if (year < 100)
        year += year < 70 ? 2000 : 1900;
    date.tm_mday = day;
    date.tm_mon = month;
    date.tm_year = year - 1900;
    return timegm(&date);
}

} // namespace

std::optional<std::time_t> ParseRetryAfter(std::string_view value, std::time_t now)
{
    value = Trim(value);
    if (AllDigits(value))
        return value.size() > 9 ? std::time_t{999999999}
                                : static_cast<std::time_t>(std::stol(std::string(value)));
    const std::optional<std::time_t> date = ParseHttpDate(value);
    if (!date)
        return std::nullopt;
    return std::max<std::time_t>(0, *date - now);
}

} // namespace headlines
