#pragma once
// When each feed is read again: every half hour, later and later while it
// fails, never before a server's Retry-After, and never too many at once.
// Policy only: the clock is given, nothing is fetched here.
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "headlines/core/headlines_store.h"

namespace headlines {

using Clock = std::function<std::time_t()>;

struct ScheduleLimits
{
    std::time_t interval = 30 * 60;
    std::time_t firstRetry = 5 * 60; // after one failure; doubled after each further one
    std::time_t maxBackoff = 24 * 3600;
    std::time_t maxServerHold = 7 * 24 * 3600; // a longer Retry-After is cut to this
    std::time_t userRefreshGap = 60;           // a feed read this recently is not read again
    // Each paper's server gets at most two reads at once; across servers,
    // enough at once that a hundred feeds come in about two seconds.
    int maxRunning = 64;
    int maxPerHost = 2;
};

// When a failed feed is tried again.
struct RetryTimes
{
    std::time_t nextAttempt = 0;
    std::time_t serverHold = 0; // 0 when the server asked for no wait
};

// Which feeds to read now; it also counts those being read, so that none is
// started twice and the limits on reads at once hold.
class RefreshSchedule
{
public:
    explicit RefreshSchedule(Clock clock, ScheduleLimits limits = {});

    // The due feeds that may start now, in the order to start them (the one
    // whose server answered slowest last time first, so that the slow ones
    // never end a round alone; then the one read longest ago); they count as
    // running until Finished. When
    // `userAsked`, the interval and the backoff are skipped (after an outage
    // the user need not wait a day), a server's Retry-After is not.
    std::vector<std::string> StartDue(const std::vector<FeedRecord>& feeds, bool userAsked = false);
    // `answerSeconds`: how long the read took, when it was timed.
    void Finished(const std::string& feedAddress, std::optional<double> answerSeconds = {});
    // How long a feed read rests before it is read again.
    void SetInterval(std::time_t interval) { m_limits.interval = interval; }
    bool IsRunning(const std::string& feedAddress) const;
    int RunningCount() const { return static_cast<int>(m_running.size()); }

    bool IsDue(const FeedRecord& feed, bool userAsked = false) const;
    // When the first feed not running falls due, for a timer; nullopt when
    // there is none.
    std::optional<std::time_t> NextDue(const std::vector<FeedRecord>& feeds) const;

    // When to try again a feed that has now failed `failures` times in a row.
    // `retryAfter`: the server's Retry-After value, for 429 and 503 answers.
    RetryTimes AfterFailure(int failures, std::optional<std::time_t> retryAfterSeconds) const;

private:
    std::time_t DueTime(const FeedRecord& feed) const;
    bool HasRoomFor(const std::string& host) const;

    Clock m_clock;
    ScheduleLimits m_limits;
    std::map<std::string, std::string> m_running;  // feed address -> host
    std::map<std::string, double> m_answerSeconds; // feed address -> its last read's time
};

// Whether a status's Retry-After is honoured (429 Too Many Requests, 503).
bool StatusHasRetryAfter(int status);

// The wait a Retry-After value asks for, in seconds from `now`: a number of
// seconds or an HTTP date (the three forms HTTP allows); nullopt when it is
// neither.
std::optional<std::time_t> ParseRetryAfter(std::string_view value, std::time_t now);

} // namespace headlines
