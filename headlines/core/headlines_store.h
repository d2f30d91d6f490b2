#pragma once
// The headlines database: each favorite's feed, what its feed last said, and
// which headlines the user has read. A SQLite file that two running copies of
// the program share; every change is one statement or one transaction.
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "headlines/core/feed.h"
#include "headlines/core/sqlite_db.h"

namespace headlines {

// How long a headline the feed no longer lists is kept.
inline constexpr std::time_t kKeepUnlistedSeconds = 30 * 24 * 3600;
// At most this many headlines are read for the page.
inline constexpr int kMaxHeadlinesShown = 5000;

// What is known of a favorite's feed.
enum class FeedChoice
{
    NotLookedFor, // nothing yet: the feed is still to be found
    Feed,         // this feed
    None,         // the user chose to follow no feed for it
};

struct FavoriteFeed
{
    FeedChoice choice = FeedChoice::NotLookedFor;
    std::string feedAddress; // with FeedChoice::Feed
};

// A feed found on a favorite's page, offered to the user.
struct FeedCandidate
{
    std::string address;
    std::string title;
    bool operator==(const FeedCandidate&) const = default;
};

// A feed as the store keeps it.
struct FeedRecord
{
    std::string address;
    std::string page;  // the favorite's page address
    std::string paper; // the favorite's name
    std::string etag;
    std::string lastModified;
    std::time_t lastFetched = 0;
    std::time_t lastSuccess = 0;
    std::string failure; // why the last try failed; empty after a success
    int failures = 0;    // tries failed in a row
    // After failures: not tried again before this by the schedule...
    std::time_t nextAttempt = 0;
    // ...nor before this even when the user asks (the server's Retry-After).
    std::time_t serverHold = 0;
};

// A headline for the page.
struct Headline
{
    std::int64_t id = 0;
    std::string page;
    std::string paper;
    std::string title;
    std::string link;
    std::string summary;
    std::time_t time = 0; // published, else first seen
    bool read = false;
};

struct PaperCount
{
    std::string page;
    std::string paper;
    int unread = 0;
    int total = 0;
};

struct FeedFailure
{
    std::string page;
    std::string paper;
    std::string address;
    std::string reason;
    int failures = 0;
    std::time_t lastSuccess = 0; // 0: never read
};

enum class HeadlinesOrder
{
    NewestFirst,
    ByPaper, // paper by paper (by name), newest first within each
};

// The answer's validators, sent back with the next request.
struct FeedValidators
{
    std::string etag;
    std::string lastModified;
};

struct StoredCounts
{
    bool ok = false; // false: nothing was changed (the error says why)
    int added = 0;
    int updated = 0;
    int dropped = 0;
    std::string error;
};

class HeadlinesStore;

struct StoreOpenResult
{
    std::unique_ptr<HeadlinesStore> store; // null when the database cannot be used
    // For the user, once: the old file was put aside and a new one started.
    std::string notice;
    // Why there is no store.
    std::string error;
};

// The program's headlines database (see the file's comment). One object per
// thread that uses the database.
class HeadlinesStore
{
public:
    // Opens or creates the database at `path` (and its folder). A file that
    // fails its check, or is of a schema this program does not know, is
    // renamed to "<path>.damaged-<date>-<time>" and a new one is started.
    static StoreOpenResult Open(const std::string& path);

    // The favorite at `page` follows `feedAddress`; a feed it followed
    // before is forgotten with its headlines. Called again with the same feed
    // it only renames the paper.
    bool SetFavoriteFeed(const std::string& page, const std::string& paper,
                         const std::string& feedAddress);
    // The user wants no feed for the favorite.
    bool SetFavoriteNoFeed(const std::string& page);
    // Forgets all about the favorite (removed, or to be looked at again).
    bool ClearFavorite(const std::string& page);
    FavoriteFeed FeedOfFavorite(const std::string& page);
    // The feeds found on the favorite's page, replacing those found before.
    bool SetCandidates(const std::string& page, const std::vector<FeedCandidate>& candidates);
    std::vector<FeedCandidate> Candidates(const std::string& page);
    // The pages of every favorite the store knows anything about.
    std::vector<std::string> KnownFavorites();
    std::vector<FeedRecord> Feeds();

    // What a fetch brought, in one transaction: new headlines are added,
    // known ones get their new title and keep their read mark, and those
    // older than kKeepUnlistedSeconds that the feed no longer lists go.
    StoredCounts StoreFetched(const std::string& feedAddress, const ParsedFeed& feed,
                              const FeedValidators& validators, std::time_t now);
    bool RecordNotModified(const std::string& feedAddress, std::time_t now);
    bool RecordFailure(const std::string& feedAddress, const std::string& reason, std::time_t now,
                       std::time_t nextAttempt, std::time_t serverHold = 0);

    std::vector<Headline> Headlines(HeadlinesOrder order, int limit = kMaxHeadlinesShown);
    std::vector<Headline> HeadlinesOfPaper(const std::string& page, int limit = kMaxHeadlinesShown);
    // Every paper with a feed, by name.
    std::vector<PaperCount> UnreadCounts();
    std::vector<FeedFailure> FailingFeeds();

    bool MarkRead(std::int64_t headlineId);
    // Every headline with this link (the same story in two feeds).
    bool MarkReadByLink(const std::string& link);
    bool MarkPaperRead(const std::string& page);
    bool MarkAllRead();

    // The last database error, for a log.
    std::string LastError() const { return m_db->LastError(); }

    explicit HeadlinesStore(std::unique_ptr<Database> db);

private:
    static bool Run(Statement& statement);
    static bool Run(Statement&& statement) { return Run(statement); }
    std::vector<Headline> ReadHeadlines(Statement& query);
    std::optional<std::int64_t> FeedId(const std::string& feedAddress);

    std::unique_ptr<Database> m_db;
};

// The program's headlines database: $XDG_DATA_HOME/lumo-news-reader/headlines.sqlite,
// with ~/.local/share when XDG_DATA_HOME is unset, empty or not absolute.
std::string HeadlinesDatabasePath();

} // namespace headlines
