#pragma once
// Fetches the papers' feeds, and their pages to find feeds on, over HTTP
// with the libsoup the web engine links. Everything runs on the GLib main
// loop of the thread that made the fetcher and never blocks it; a fetched
// feed is parsed on a worker thread. Answers arrive on that main loop.
#include <chrono>
#include <cstddef>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "headlines/core/feed.h"
#include "headlines/core/headlines_store.h"

namespace headlines {

struct FetchLimits
{
    // For the whole fetch, redirects and all.
    std::chrono::milliseconds timeLimit{20000};
    std::size_t maxFeedBytes = std::size_t{5} << 20;
    std::size_t maxPageBytes = std::size_t{2} << 20;
    int maxRedirects = 5;
    // Connections open at once, to all servers: one for each read the
    // refresh schedule lets run at once (two a server is libsoup's own).
    int maxConnections = 64;
};

struct FeedRequest
{
    std::string address;
    // From the last answer, so an unchanged feed is not sent again.
    std::string etag;
    std::string lastModified;
};

enum class FetchOutcome
{
    Fetched,
    NotModified,
    Failed,
};

struct FeedFetchResult
{
    FetchOutcome outcome = FetchOutcome::Failed;
    std::optional<ParsedFeed> feed; // when fetched
    FeedValidators validators;      // when fetched: for the next request
    std::string finalAddress;       // after the redirects
    // Every redirect was permanent (301, 308): the feed now lives at finalAddress.
    bool movedPermanently = false;
    int status = 0;    // the HTTP status; 0 when no answer came
    std::string error; // when failed: why, for the user
    // The wait the server asked for (429 and 503), in seconds.
    std::optional<std::time_t> retryAfter;
};

struct PageFetchResult
{
    bool ok = false;
    std::string html;
    bool truncated = false; // only the first maxPageBytes were read
    std::string finalAddress;
    int status = 0;
    std::string error;
};

// Fetches on the main loop (see the file's comment). Destroying it cancels
// what is under way; no answer is given after that.
class FeedFetcher
{
public:
    explicit FeedFetcher(FetchLimits limits = {});
    ~FeedFetcher();
    FeedFetcher(const FeedFetcher&) = delete;
    FeedFetcher& operator=(const FeedFetcher&) = delete;

    // The feed, asked for with the request's validators, parsed off the main thread.
    void FetchFeed(const FeedRequest& request, std::function<void(FeedFetchResult)> done);
    // A paper's page, for the feeds it names; a longer one is cut at maxPageBytes.
    void FetchPage(const std::string& address, std::function<void(PageFetchResult)> done);
    // Fetches under way.
    int Pending() const;

    // Defined with the fetcher's code.
    struct Shared;
    class Transfer;

private:
    std::shared_ptr<Shared> m_shared;
};

} // namespace headlines
