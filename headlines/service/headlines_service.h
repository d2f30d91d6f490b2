#pragma once
// The headlines of the user's papers, kept fresh while the program runs: it
// finds each favorite's feed on its page, reads the feeds on the refresh
// schedule (and when the user asks), and stores what they say. Runs on the
// GLib main loop of the thread that made it; fetching and parsing never block
// that loop. Tells its listener when what the Headlines page shows changed.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "headlines/core/headlines_page.h"
#include "headlines/core/headlines_store.h"
#include "headlines/core/refresh_schedule.h"
#include "headlines/net/feed_fetcher.h"

namespace headlines {

// A favorite paper: its name and its page.
struct Paper
{
    std::string name;
    std::string page;
    bool operator==(const Paper&) const = default;
};

struct ServiceSettings
{
    // With fetching off, no request for a feed or a page leaves the program.
    bool enabled = true;
    std::time_t interval = 30 * 60;
};

// How many feed addresses one discovery reads at most: the feeds the page
// names, then the usual places, until one reads as a feed.
inline constexpr std::size_t kMaxFeedTriesPerPaper = 4;

class HeadlinesService
{
public:
    // Opens the database at `databasePath`; OpenNotice says once if a damaged
    // one was put aside, OpenError why there is none.
    HeadlinesService(const std::string& databasePath, Clock clock, FetchLimits limits = {},
                     ScheduleLimits scheduleLimits = {});
    ~HeadlinesService();
    HeadlinesService(const HeadlinesService&) = delete;
    HeadlinesService& operator=(const HeadlinesService&) = delete;

    bool Usable() const { return m_store != nullptr; }
    const std::string& OpenNotice() const { return m_openNotice; }
    const std::string& OpenError() const { return m_openError; }

    void SetSettings(const ServiceSettings& settings);
    const ServiceSettings& Settings() const { return m_settings; }

    // The user's favorites now. A new one (or one whose feed was never looked
    // for) has its feed found; one removed is forgotten with its headlines.
    void SetPapers(const std::vector<Paper>& papers);
    // Reads the feeds that are due (all of them when `userAsked`, but a
    // server's Retry-After), and keeps a timer for the next due one.
    void Refresh(bool userAsked);
    // A page was shown: a favorite whose feed was not found gets one more try.
    void PageShown(const std::string& address);
    // Looks for the favorite's feeds again, now.
    void FindFeedOf(const Paper& paper);

    // What the Headlines page shows now.
    HeadlinesView View(HeadlinesOrder order);
    bool MarkRead(std::int64_t headlineId);
    bool MarkAllRead();
    HeadlinesStore* Store() { return m_store.get(); }

    // Called on the main loop when what the page shows changed.
    void SetListener(std::function<void()> changed) { m_changed = std::move(changed); }
    // Feeds and pages being read now, and discoveries under way.
    int Busy() const;

private:
    struct Discovery
    {
        Paper paper;
        std::vector<std::string> tries;
        std::vector<FeedCandidate> found;
        std::size_t next = 0;
        bool fellBack = false;
    };

    const Paper* PaperOf(const std::string& page) const;
    void StartDiscovery(const Paper& paper);
    void OnPage(const std::string& page, PageFetchResult result);
    void TryNextFeed(const std::string& page);
    void OnTriedFeed(const std::string& page, const std::string& address, FeedFetchResult result);
    void EndDiscovery(const std::string& page, const std::string& feed);
    void StartFetches(bool userAsked);
    void OnFetched(const std::string& address, FeedFetchResult result);
    void ArmTimer();
    // Gives back to the system the memory a round of reads used and freed.
    void ReleaseFreedMemory();
    void Changed();

    Clock m_clock;
    std::unique_ptr<HeadlinesStore> m_store;
    std::string m_openNotice;
    std::string m_openError;
    ServiceSettings m_settings;
    RefreshSchedule m_schedule;
    FeedFetcher m_fetcher;
    std::vector<Paper> m_papers;
    std::map<std::string, Discovery> m_discoveries; // by page
    std::set<std::string> m_triedOnShow;
    // When each read under way started, to time it.
    std::map<std::string, std::chrono::steady_clock::time_point> m_readStarted;
    std::function<void()> m_changed;
    unsigned m_timer = 0;
    // The user asked for every feed now; the round lasts until none is read.
    bool m_userRound = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace headlines
