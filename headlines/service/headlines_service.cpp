#include "headlines/service/headlines_service.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

#include <glib.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "headlines/core/feed_discovery.h"

namespace headlines {

HeadlinesService::HeadlinesService(const std::string& databasePath, Clock clock, FetchLimits limits,
                                   ScheduleLimits scheduleLimits)
    : m_clock(clock), m_schedule(clock, scheduleLimits), m_fetcher(limits)
{
    StoreOpenResult opened = HeadlinesStore::Open(databasePath);
    m_store = std::move(opened.store);
    m_openNotice = opened.notice;
    m_openError = opened.error;
}

HeadlinesService::~HeadlinesService()
{
    *m_alive = false;
    if (m_timer)
        g_source_remove(m_timer);
}

void HeadlinesService::SetSettings(const ServiceSettings& settings)
{
    const bool wasEnabled = m_settings.enabled;
    m_settings = settings;
    m_schedule.SetInterval(settings.interval);
    if (!settings.enabled && m_timer) {
        g_source_remove(m_timer);
        m_timer = 0;
    }
    if (settings.enabled && !wasEnabled) {
        SetPapers(m_papers);
        Refresh(false);
    }
}

const Paper* HeadlinesService::PaperOf(const std::string& page) const
{
    for (const Paper& paper : m_papers)
        if (paper.page == page)
            return &paper;
    return nullptr;
}

void HeadlinesService::SetPapers(const std::vector<Paper>& papers)
{
    m_papers = papers;
    if (!m_store)
        return;
    bool forgot = false;
    for (const std::string& page : m_store->KnownFavorites())
        if (!PaperOf(page)) {
            m_store->ClearFavorite(page);
            m_discoveries.erase(page);
            forgot = true;
        }
    for (const Paper& paper : m_papers) {
        const FavoriteFeed feed = m_store->FeedOfFavorite(paper.page);
        if (feed.choice == FeedChoice::Feed)
            m_store->SetFavoriteFeed(paper.page, paper.name, feed.feedAddress); // a new name
        else if (feed.choice == FeedChoice::NotLookedFor)
            StartDiscovery(paper);
    }
    if (forgot)
        Changed();
}

void HeadlinesService::PageShown(const std::string& address)
{
    const Paper* paper = PaperOf(address);
    if (!paper || !m_store || m_triedOnShow.contains(address))
        return;
    const FeedChoice choice = m_store->FeedOfFavorite(address).choice;
    if (choice != FeedChoice::NotFound && choice != FeedChoice::NotLookedFor)
        return;
    m_triedOnShow.insert(address);
    StartDiscovery(*paper);
}

void HeadlinesService::FindFeedOf(const Paper& paper)
{
    m_discoveries.erase(paper.page);
    StartDiscovery(paper);
}

// --- Finding a paper's feed ------------------------------------------------

void HeadlinesService::StartDiscovery(const Paper& paper)
{
    if (!m_settings.enabled || !m_store || m_discoveries.contains(paper.page))
        return;
    m_discoveries[paper.page].paper = paper;
    std::weak_ptr<bool> alive = m_alive;
    m_fetcher.FetchPage(paper.page, [this, alive, page = paper.page](PageFetchResult result) {
        if (!alive.expired())
            OnPage(page, std::move(result));
    });
}

void HeadlinesService::OnPage(const std::string& page, PageFetchResult result)
{
    auto found = m_discoveries.find(page);
    if (found == m_discoveries.end())
        return;
    Discovery& discovery = found->second;
    if (result.ok) {
        const std::string base = result.finalAddress.empty() ? page : result.finalAddress;
        for (const DiscoveredFeed& feed : DiscoverFeeds(result.html, base)) {
            discovery.tries.push_back(feed.address);
            discovery.found.push_back({feed.address, feed.title});
        }
    } else if (result.status == 0) {
        // Not reached at all (no network, no such host): looked for again later.
        m_discoveries.erase(found);
        return;
    }
    if (discovery.tries.empty()) {
        discovery.tries = FallbackFeedAddresses(page);
        discovery.fellBack = true;
    }
    if (discovery.tries.size() > kMaxFeedTriesPerPaper)
        discovery.tries.resize(kMaxFeedTriesPerPaper);
    TryNextFeed(page);
}

void HeadlinesService::TryNextFeed(const std::string& page)
{
    Discovery& discovery = m_discoveries.at(page);
    if (discovery.next == discovery.tries.size()) {
        EndDiscovery(page, {});
        return;
    }
    const std::string address = discovery.tries[discovery.next++];
    std::weak_ptr<bool> alive = m_alive;
    m_fetcher.FetchFeed({address, {}, {}}, [this, alive, page, address](FeedFetchResult result) {
        if (!alive.expired())
            OnTriedFeed(page, address, std::move(result));
    });
}

void HeadlinesService::OnTriedFeed(const std::string& page, const std::string& address,
                                   FeedFetchResult result)
{
    auto found = m_discoveries.find(page);
    if (found == m_discoveries.end())
        return;
    if (result.outcome != FetchOutcome::Fetched || !result.feed) {
        TryNextFeed(page);
        return;
    }
    Discovery& discovery = found->second;
    // A feed of the usual places is offered as found, named by its own title.
    if (discovery.fellBack)
        discovery.found.push_back({address, result.feed->title});
    const std::string feed = result.movedPermanently ? result.finalAddress : address;
    m_store->SetFavoriteFeed(page, discovery.paper.name, feed);
    m_store->StoreFetched(feed, *result.feed, result.validators, m_clock());
    EndDiscovery(page, feed);
}

void HeadlinesService::EndDiscovery(const std::string& page, const std::string& feed)
{
    auto found = m_discoveries.find(page);
    std::vector<FeedCandidate> candidates = std::move(found->second.found);
    m_discoveries.erase(found);
    if (!PaperOf(page))
        return; // removed meanwhile
    m_store->SetCandidates(page, candidates);
    if (feed.empty()) {
        m_store->SetFavoriteNotFound(page);
        return;
    }
    Changed();
}

// --- Reading the feeds -----------------------------------------------------

void HeadlinesService::Refresh(bool userAsked)
{
    if (!m_settings.enabled || !m_store)
        return;
    // A round the user asked for reads every feed, not only the first ones
    // the limits of reads at once let start now.
    m_userRound = m_userRound || userAsked;
    StartFetches(m_userRound);
    ArmTimer();
}

void HeadlinesService::StartFetches(bool userAsked)
{
    const std::vector<FeedRecord> feeds = m_store->Feeds();
    std::map<std::string, const FeedRecord*> byAddress;
    for (const FeedRecord& feed : feeds)
        byAddress[feed.address] = &feed;
    for (const std::string& address : m_schedule.StartDue(feeds, userAsked)) {
        const FeedRecord& record = *byAddress.at(address);
        m_readStarted[address] = std::chrono::steady_clock::now();
        std::weak_ptr<bool> alive = m_alive;
        m_fetcher.FetchFeed({address, record.etag, record.lastModified},
                            [this, alive, address](FeedFetchResult result) {
                                if (!alive.expired())
                                    OnFetched(address, std::move(result));
                            });
    }
}

void HeadlinesService::OnFetched(const std::string& address, FeedFetchResult result)
{
    std::optional<double> answerSeconds;
    if (auto started = m_readStarted.find(address); started != m_readStarted.end()) {
        answerSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started->second)
                .count();
        m_readStarted.erase(started);
    }
    m_schedule.Finished(address, answerSeconds);
    const std::time_t now = m_clock();
    bool changed = false;
    int failures = 0;
    for (const FeedRecord& feed : m_store->Feeds())
        if (feed.address == address)
            failures = feed.failures;
    switch (result.outcome) {
    case FetchOutcome::Fetched: {
        const StoredCounts counts =
            m_store->StoreFetched(address, *result.feed, result.validators, now);
        changed = counts.added > 0 || counts.updated > 0 || counts.dropped > 0 || failures > 0;
        break;
    }
    case FetchOutcome::NotModified:
        m_store->RecordNotModified(address, now);
        changed = failures > 0;
        break;
    case FetchOutcome::Failed: {
        const RetryTimes retry = m_schedule.AfterFailure(failures + 1, result.retryAfter);
        m_store->RecordFailure(address, result.error, now, retry.nextAttempt, retry.serverHold);
        changed = true;
        break;
    }
    }
    if (changed)
        Changed();
    // Room for the next ones under the limits of reads at once.
    if (m_settings.enabled)
        StartFetches(m_userRound);
    if (m_schedule.RunningCount() == 0)
        m_userRound = false;
    ArmTimer();
    if (m_fetcher.Pending() == 0)
        ReleaseFreedMemory();
}

void HeadlinesService::ArmTimer()
{
    if (m_timer) {
        g_source_remove(m_timer);
        m_timer = 0;
    }
    if (!m_settings.enabled || !m_store)
        return;
    const std::optional<std::time_t> due = m_schedule.NextDue(m_store->Feeds());
    if (!due)
        return;
    const std::time_t wait = std::clamp<std::time_t>(*due - m_clock(), 1, 24 * 3600);
    m_timer = g_timeout_add_seconds(
        static_cast<guint>(wait),
        [](gpointer data) {
            auto* me = static_cast<HeadlinesService*>(data);
            me->m_timer = 0;
            me->Refresh(false);
            return G_SOURCE_REMOVE;
        },
        this);
}

void HeadlinesService::ReleaseFreedMemory()
{
#ifdef __GLIBC__
    // A round's feeds and their documents were large and are freed; the C
    // library would otherwise keep many of their pages, unused, for good.
    malloc_trim(0);
#endif
}

// --- What the page shows ---------------------------------------------------

HeadlinesView HeadlinesService::View(HeadlinesOrder order)
{
    HeadlinesView view;
    view.order = order;
    view.now = m_clock();
    if (!m_store)
        return view;
    view.headlines = m_store->Headlines(order);
    view.papers = m_store->UnreadCounts();
    view.failures = m_store->FailingFeeds();
    return view;
}

bool HeadlinesService::MarkRead(std::int64_t headlineId)
{
    return m_store && m_store->MarkRead(headlineId);
}

bool HeadlinesService::MarkAllRead()
{
    const bool done = m_store && m_store->MarkAllRead();
    if (done)
        Changed();
    return done;
}

int HeadlinesService::Busy() const
{
    return m_fetcher.Pending() + static_cast<int>(m_discoveries.size());
}

void HeadlinesService::Changed()
{
    if (m_changed)
        m_changed();
}

} // namespace headlines
