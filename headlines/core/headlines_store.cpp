#include "headlines/core/headlines_store.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <wx/filename.h>

namespace headlines {
namespace {

namespace fs = std::filesystem;

constexpr int kSchemaVersion = 1;
// Long enough for the other copy of the program to finish storing a fetch.
constexpr int kBusyTimeoutMs = 10000;

constexpr const char* kSchema = R"sql(
CREATE TABLE favorites(
    page TEXT PRIMARY KEY,
    choice INTEGER NOT NULL
);
CREATE TABLE candidates(
    page TEXT NOT NULL,
    address TEXT NOT NULL,
    title TEXT NOT NULL,
    position INTEGER NOT NULL,
    UNIQUE(page, address)
);
CREATE TABLE feeds(
    id INTEGER PRIMARY KEY,
    address TEXT NOT NULL UNIQUE,
    page TEXT NOT NULL,
    paper TEXT NOT NULL,
    etag TEXT NOT NULL DEFAULT '',
    last_modified TEXT NOT NULL DEFAULT '',
    last_fetched INTEGER NOT NULL DEFAULT 0,
    last_success INTEGER NOT NULL DEFAULT 0,
    failure TEXT NOT NULL DEFAULT '',
    failures INTEGER NOT NULL DEFAULT 0,
    next_attempt INTEGER NOT NULL DEFAULT 0,
    server_hold INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX feeds_page ON feeds(page);
CREATE TABLE items(
    id INTEGER PRIMARY KEY,
    feed INTEGER NOT NULL REFERENCES feeds(id) ON DELETE CASCADE,
    identity TEXT NOT NULL,
    title TEXT NOT NULL,
    link TEXT NOT NULL,
    summary TEXT NOT NULL,
    published INTEGER NOT NULL,
    first_seen INTEGER NOT NULL,
    listed INTEGER NOT NULL,
    read INTEGER NOT NULL DEFAULT 0,
    UNIQUE(feed, identity)
);
CREATE INDEX items_link ON items(link);
)sql";

// Every column the program reads, to tell a file of another schema that
// claims our version number.
constexpr const char* kSchemaProbes[] = {
    "SELECT page, choice FROM favorites",
    "SELECT page, address, title, position FROM candidates",
    "SELECT id, address, page, paper, etag, last_modified, last_fetched, last_success, failure, "
    "failures, next_attempt, server_hold FROM feeds",
    "SELECT id, feed, identity, title, link, summary, published, first_seen, listed, read "
    "FROM items",
};

enum class Health
{
    Good,
    Damaged,     // fails its check, or is no database at all
    OtherSchema, // newer, or not ours
    Unusable,    // cannot be opened or read now (the error says why)
};

struct CheckResult
{
    Health health;
    std::string error;
};

bool IsDamageCode(int result)
{
    const int primary = result & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

CheckResult Unusable(Database& db)
{
    return {Health::Unusable, db.LastError()};
}

CheckResult QuickCheck(Database& db)
{
    Statement check(db.Handle(), "PRAGMA quick_check");
    if (check.Result() != SQLITE_OK)
        return IsDamageCode(check.Result()) ? CheckResult{Health::Damaged, {}} : Unusable(db);
    const bool stepped = check.Step();
    if (!stepped)
        return IsDamageCode(check.Result()) ? CheckResult{Health::Damaged, {}} : Unusable(db);
    if (check.Text(0) != "ok")
        return {Health::Damaged, {}};
    return {Health::Good, {}};
}

int UserVersion(Database& db)
{
    Statement version(db.Handle(), "PRAGMA user_version");
    return version.Step() ? static_cast<int>(version.Int(0)) : -1;
}

bool SchemaIsOurs(Database& db)
{
    for (const char* probe : kSchemaProbes)
        if (Statement(db.Handle(), probe).Result() != SQLITE_OK)
            return false;
    return true;
}

// A new file gets the schema; a second copy of the program that got there
// first is waited for and its schema taken.
CheckResult CreateSchema(Database& db)
{
    Transaction transaction(db);
    if (!transaction.Began())
        return Unusable(db);
    if (UserVersion(db) == kSchemaVersion)
        return {SchemaIsOurs(db) ? Health::Good : Health::OtherSchema, {}};
    if (db.Exec(kSchema) != SQLITE_OK)
        return {Health::OtherSchema, {}}; // tables of another program's
    const std::string setVersion = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    if (db.Exec(setVersion.c_str()) != SQLITE_OK || !transaction.Commit())
        return Unusable(db);
    return {Health::Good, {}};
}

CheckResult CheckSchema(Database& db)
{
    const int version = UserVersion(db);
    if (version == 0)
        return CreateSchema(db);
    if (version == kSchemaVersion)
        return {SchemaIsOurs(db) ? Health::Good : Health::OtherSchema, {}};
    return {Health::OtherSchema, {}};
}

CheckResult Prepare(Database& db)
{
    if (db.OpenResult() != SQLITE_OK)
        return IsDamageCode(db.OpenResult()) ? CheckResult{Health::Damaged, {}} : Unusable(db);
    sqlite3_busy_timeout(db.Handle(), kBusyTimeoutMs);
    if (CheckResult checked = QuickCheck(db); checked.health != Health::Good)
        return checked;
    // WAL lets one copy read while the other writes. It stays set in the file.
    Statement(db.Handle(), "PRAGMA journal_mode = WAL").Run();
    db.Exec("PRAGMA synchronous = NORMAL");
    db.Exec("PRAGMA foreign_keys = ON");
    return CheckSchema(db);
}

std::string Timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// Renames the file (and its journal files) out of the way; the new name, or
// an empty string when it could not be moved.
std::string PutAside(const std::string& path)
{
    std::string aside = path + ".damaged-" + Timestamp();
    for (int n = 2; fs::exists(aside); ++n)
        aside = path + ".damaged-" + Timestamp() + "-" + std::to_string(n);
    std::error_code error;
    fs::rename(path, aside, error);
    if (error)
        return {};
    for (const char* suffix : {"-wal", "-shm"})
        if (fs::exists(path + suffix))
            fs::rename(path + suffix, aside + suffix, error);
    return aside;
}

std::string PutAsideNotice(Health health, const std::string& aside)
{
    const std::string name = fs::path(aside).filename().string();
    if (health == Health::OtherSchema)
        return "The headlines database was made by a newer version of Lumo News Reader. It was "
               "put aside as " +
               name + " and a new one was started.";
    return "The headlines database was damaged. It was put aside as " + name +
           " and a new one was started; your feeds will be read again.";
}

std::time_t TimeOf(std::int64_t value)
{
    return static_cast<std::time_t>(value);
}

} // namespace

StoreOpenResult HeadlinesStore::Open(const std::string& path)
{
    std::error_code ignored;
    fs::create_directories(fs::path(path).parent_path(), ignored);
    auto db = std::make_unique<Database>(path);
    CheckResult checked = Prepare(*db);
    if (checked.health == Health::Good)
        return {std::make_unique<HeadlinesStore>(std::move(db)), {}, {}};
    if (checked.health == Health::Unusable)
        return {nullptr, {}, "The headlines database cannot be opened: " + checked.error};

    db.reset();
    const std::string aside = PutAside(path);
    if (aside.empty())
        return {nullptr, {}, "The headlines database is damaged and could not be put aside."};
    db = std::make_unique<Database>(path);
    CheckResult fresh = Prepare(*db);
    if (fresh.health != Health::Good)
        return {nullptr, {}, "A new headlines database cannot be started: " + fresh.error};
    return {
        std::make_unique<HeadlinesStore>(std::move(db)), PutAsideNotice(checked.health, aside), {}};
}

HeadlinesStore::HeadlinesStore(std::unique_ptr<Database> db) : m_db(std::move(db)) {}

bool HeadlinesStore::Run(Statement& statement)
{
    return statement.Run() == SQLITE_DONE;
}

bool HeadlinesStore::SetFavoriteFeed(const std::string& page, const std::string& paper,
                                     const std::string& feedAddress)
{
    Transaction transaction(*m_db);
    sqlite3* db = m_db->Handle();
    const bool done = transaction.Began() &&
                      Run(Statement(db, "INSERT INTO favorites(page, choice) VALUES(?, 1) "
                                        "ON CONFLICT(page) DO UPDATE SET choice = 1")
                              .Bind(1, page)) &&
                      Run(Statement(db, "DELETE FROM feeds WHERE page = ? AND address <> ?")
                              .Bind(1, page)
                              .Bind(2, feedAddress)) &&
                      Run(Statement(db, "INSERT INTO feeds(address, page, paper) VALUES(?, ?, ?) "
                                        "ON CONFLICT(address) DO UPDATE SET page = excluded.page, "
                                        "paper = excluded.paper")
                              .Bind(1, feedAddress)
                              .Bind(2, page)
                              .Bind(3, paper));
    return done && transaction.Commit();
}

bool HeadlinesStore::SetFavoriteNoFeed(const std::string& page)
{
    Transaction transaction(*m_db);
    sqlite3* db = m_db->Handle();
    const bool done = transaction.Began() &&
                      Run(Statement(db, "INSERT INTO favorites(page, choice) VALUES(?, 2) "
                                        "ON CONFLICT(page) DO UPDATE SET choice = 2")
                              .Bind(1, page)) &&
                      Run(Statement(db, "DELETE FROM feeds WHERE page = ?").Bind(1, page));
    return done && transaction.Commit();
}

bool HeadlinesStore::ClearFavorite(const std::string& page)
{
    Transaction transaction(*m_db);
    sqlite3* db = m_db->Handle();
    bool done = transaction.Began();
    for (const char* sql :
         {"DELETE FROM favorites WHERE page = ?", "DELETE FROM candidates WHERE page = ?",
          "DELETE FROM feeds WHERE page = ?"})
        done = done && Run(Statement(db, sql).Bind(1, page));
    return done && transaction.Commit();
}

FavoriteFeed HeadlinesStore::FeedOfFavorite(const std::string& page)
{
    Statement query(m_db->Handle(), "SELECT choice, (SELECT address FROM feeds WHERE page = ?1) "
                                    "FROM favorites WHERE page = ?1");
    query.Bind(1, page);
    if (!query.Step())
        return {};
    if (query.Int(0) == 2)
        return {FeedChoice::None, {}};
    return {FeedChoice::Feed, query.Text(1)};
}

bool HeadlinesStore::SetCandidates(const std::string& page,
                                   const std::vector<FeedCandidate>& candidates)
{
    Transaction transaction(*m_db);
    bool done =
        transaction.Began() &&
        Run(Statement(m_db->Handle(), "DELETE FROM candidates WHERE page = ?").Bind(1, page));
    Statement insert(m_db->Handle(), "INSERT OR IGNORE INTO candidates(page, address, title, "
                                     "position) VALUES(?, ?, ?, ?)");
    for (size_t i = 0; done && i < candidates.size(); ++i) {
        insert.Reset();
        insert.Bind(1, page).Bind(2, candidates[i].address).Bind(3, candidates[i].title);
        insert.Bind(4, static_cast<std::int64_t>(i));
        done = insert.Run() == SQLITE_DONE;
    }
    return done && transaction.Commit();
}

std::vector<FeedCandidate> HeadlinesStore::Candidates(const std::string& page)
{
    Statement query(m_db->Handle(),
                    "SELECT address, title FROM candidates WHERE page = ? ORDER BY position");
    query.Bind(1, page);
    std::vector<FeedCandidate> found;
    while (query.Step())
        found.push_back({query.Text(0), query.Text(1)});
    return found;
}

std::vector<std::string> HeadlinesStore::KnownFavorites()
{
    Statement query(m_db->Handle(), "SELECT page FROM favorites UNION SELECT page FROM candidates "
                                    "UNION SELECT page FROM feeds ORDER BY 1");
    std::vector<std::string> pages;
    while (query.Step())
        pages.push_back(query.Text(0));
    return pages;
}

std::vector<FeedRecord> HeadlinesStore::Feeds()
{
    Statement query(
        m_db->Handle(),
        "SELECT address, page, paper, etag, last_modified, last_fetched, last_success, "
        "failure, failures, next_attempt, server_hold FROM feeds ORDER BY paper, address");
    std::vector<FeedRecord> feeds;
    while (query.Step())
        feeds.push_back({query.Text(0), query.Text(1), query.Text(2), query.Text(3), query.Text(4),
                         TimeOf(query.Int(5)), TimeOf(query.Int(6)), query.Text(7),
                         static_cast<int>(query.Int(8)), TimeOf(query.Int(9)),
                         TimeOf(query.Int(10))});
    return feeds;
}

std::optional<std::int64_t> HeadlinesStore::FeedId(const std::string& feedAddress)
{
    Statement query(m_db->Handle(), "SELECT id FROM feeds WHERE address = ?");
    query.Bind(1, feedAddress);
    if (!query.Step())
        return std::nullopt;
    return query.Int(0);
}

StoredCounts HeadlinesStore::StoreFetched(const std::string& feedAddress, const ParsedFeed& feed,
                                          const FeedValidators& validators, std::time_t now)
{
    StoredCounts counts;
    Transaction transaction(*m_db);
    sqlite3* db = m_db->Handle();
    const std::optional<std::int64_t> feedId = transaction.Began() ? FeedId(feedAddress) : 0;
    if (!transaction.Began() || !feedId) {
        counts.error = transaction.Began() ? "the feed is no longer followed" : m_db->LastError();
        return counts;
    }
    const std::int64_t id = *feedId;

    // A date ahead of now (a wrong clock somewhere) would hold the top of the page.
    Statement insert(db, "INSERT INTO items(feed, identity, title, link, summary, published, "
                         "first_seen, listed) VALUES(?1, ?2, ?3, ?4, ?5, min(?6, ?7), ?7, ?7) "
                         "ON CONFLICT(feed, identity) DO NOTHING");
    Statement update(db, "UPDATE items SET title = ?3, link = ?4, summary = ?5, published = "
                         "CASE WHEN ?6 > 0 THEN min(?6, first_seen) ELSE published END, "
                         "listed = ?7 WHERE feed = ?1 AND identity = ?2");
    for (const FeedItem& item : feed.items) {
        if (item.identity.empty())
            continue;
        for (Statement* statement : {&insert, &update}) {
            statement->Reset();
            statement->Bind(1, id).Bind(2, item.identity).Bind(3, item.title).Bind(4, item.link);
            statement->Bind(5, item.summary).Bind(6, std::int64_t{item.published});
            statement->Bind(7, std::int64_t{now});
        }
        if (insert.Run() != SQLITE_DONE) {
            counts.error = m_db->LastError();
            return counts;
        }
        if (m_db->Changes() > 0) {
            ++counts.added;
            continue;
        }
        if (update.Run() != SQLITE_DONE) {
            counts.error = m_db->LastError();
            return counts;
        }
        ++counts.updated;
    }

    Statement drop(db, "DELETE FROM items WHERE feed = ? AND listed < ? AND "
                       "(CASE WHEN published > 0 THEN published ELSE first_seen END) < ?");
    drop.Bind(1, id).Bind(2, std::int64_t{now}).Bind(3, std::int64_t{now - kKeepUnlistedSeconds});
    const bool dropped = drop.Run() == SQLITE_DONE;
    counts.dropped = m_db->Changes();
    const bool noted = Run(
        Statement(
            db, "UPDATE feeds SET etag = ?1, last_modified = ?2, last_fetched = ?3, "
                "last_success = ?3, failure = '', failures = 0, next_attempt = 0, server_hold = 0 "
                "WHERE id = ?4")
            .Bind(1, validators.etag)
            .Bind(2, validators.lastModified)
            .Bind(3, std::int64_t{now})
            .Bind(4, id));
    counts.ok = dropped && noted && transaction.Commit();
    if (!counts.ok)
        counts.error = m_db->LastError();
    return counts;
}

bool HeadlinesStore::RecordNotModified(const std::string& feedAddress, std::time_t now)
{
    return Run(Statement(m_db->Handle(),
                         "UPDATE feeds SET last_fetched = ?1, last_success = ?1, failure = '', "
                         "failures = 0, next_attempt = 0, server_hold = 0 WHERE address = ?2")
                   .Bind(1, std::int64_t{now})
                   .Bind(2, feedAddress));
}

bool HeadlinesStore::RecordFailure(const std::string& feedAddress, const std::string& reason,
                                   std::time_t now, std::time_t nextAttempt, std::time_t serverHold)
{
    return Run(
        Statement(m_db->Handle(),
                  "UPDATE feeds SET last_fetched = ?1, failure = ?2, failures = failures + 1, "
                  "next_attempt = ?3, server_hold = ?4 WHERE address = ?5")
            .Bind(1, std::int64_t{now})
            .Bind(2, reason)
            .Bind(3, std::int64_t{nextAttempt})
            .Bind(4, std::int64_t{serverHold})
            .Bind(5, feedAddress));
}

std::vector<Headline> HeadlinesStore::ReadHeadlines(Statement& query)
{
    std::vector<Headline> headlines;
    while (query.Step())
        headlines.push_back({query.Int(0), query.Text(1), query.Text(2), query.Text(3),
                             query.Text(4), query.Text(5), TimeOf(query.Int(6)),
                             query.Int(7) != 0});
    return headlines;
}

namespace {

constexpr const char* kHeadlineColumns =
    "SELECT i.id, f.page, f.paper, i.title, i.link, i.summary, "
    "CASE WHEN i.published > 0 THEN i.published ELSE i.first_seen END AS time, i.read "
    "FROM items i JOIN feeds f ON f.id = i.feed ";

} // namespace

std::vector<Headline> HeadlinesStore::Headlines(HeadlinesOrder order, int limit)
{
    const std::string sql =
        std::string(kHeadlineColumns) +
        (order == HeadlinesOrder::ByPaper
             ? "ORDER BY f.paper COLLATE NOCASE, f.page, time DESC, i.id DESC LIMIT ?"
             : "ORDER BY time DESC, i.id DESC LIMIT ?");
    Statement query(m_db->Handle(), sql);
    query.Bind(1, limit);
    return ReadHeadlines(query);
}

std::vector<Headline> HeadlinesStore::HeadlinesOfPaper(const std::string& page, int limit)
{
    Statement query(m_db->Handle(), std::string(kHeadlineColumns) +
                                        "WHERE f.page = ? ORDER BY time DESC, i.id DESC LIMIT ?");
    query.Bind(1, page).Bind(2, limit);
    return ReadHeadlines(query);
}

std::vector<PaperCount> HeadlinesStore::UnreadCounts()
{
    Statement query(m_db->Handle(),
                    "SELECT f.page, f.paper, count(i.id) - total(i.read), count(i.id) "
                    "FROM feeds f LEFT JOIN items i ON i.feed = f.id "
                    "GROUP BY f.id ORDER BY f.paper COLLATE NOCASE, f.page");
    std::vector<PaperCount> counts;
    while (query.Step())
        counts.push_back({query.Text(0), query.Text(1), static_cast<int>(query.Int(2)),
                          static_cast<int>(query.Int(3))});
    return counts;
}

std::vector<FeedFailure> HeadlinesStore::FailingFeeds()
{
    Statement query(m_db->Handle(), "SELECT page, paper, address, failure, failures, last_success "
                                    "FROM feeds WHERE failures > 0 ORDER BY paper COLLATE NOCASE");
    std::vector<FeedFailure> failing;
    while (query.Step())
        failing.push_back({query.Text(0), query.Text(1), query.Text(2), query.Text(3),
                           static_cast<int>(query.Int(4)), TimeOf(query.Int(5))});
    return failing;
}

bool HeadlinesStore::MarkRead(std::int64_t headlineId)
{
    return Run(
        Statement(m_db->Handle(), "UPDATE items SET read = 1 WHERE id = ?").Bind(1, headlineId));
}

bool HeadlinesStore::MarkReadByLink(const std::string& link)
{
    return !link.empty() &&
           Run(Statement(m_db->Handle(), "UPDATE items SET read = 1 WHERE link = ?").Bind(1, link));
}

bool HeadlinesStore::MarkPaperRead(const std::string& page)
{
    return Run(Statement(m_db->Handle(), "UPDATE items SET read = 1 WHERE read = 0 AND feed IN "
                                         "(SELECT id FROM feeds WHERE page = ?)")
                   .Bind(1, page));
}

bool HeadlinesStore::MarkAllRead()
{
    return Run(Statement(m_db->Handle(), "UPDATE items SET read = 1 WHERE read = 0"));
}

std::string HeadlinesDatabasePath()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/share";
    else
        base = wxFileName::GetHomeDir().utf8_string() + "/.local/share";
    return base + "/lumo-news-reader/headlines.sqlite";
}

} // namespace headlines
