// The headlines database on real SQLite files: opening, checking and putting
// aside, what a fetch adds, keeps and drops, and two copies of the program
// sharing one file.
#include "headlines/core/headlines_store.h"

#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace headlines {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::time_t kNow = 1'750'000'000;
constexpr std::time_t kDay = 24 * 3600;
const std::string kPage = "https://paper.example/";
const std::string kFeed = "https://paper.example/rss";

FeedItem Item(const std::string& identity, const std::string& title, std::time_t published = 0)
{
    return {identity, title, "https://paper.example/" + identity, "", published};
}

ParsedFeed FeedOf(std::vector<FeedItem> items)
{
    return {"Paper", kPage, std::move(items)};
}

std::vector<std::string> Titles(const std::vector<Headline>& headlines)
{
    std::vector<std::string> titles;
    for (const Headline& headline : headlines)
        titles.push_back(headline.title + (headline.read ? " (read)" : ""));
    return titles;
}

std::vector<std::string> PutAsideFiles(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().starts_with("headlines.sqlite.damaged-"))
            names.push_back(entry.path().filename().string());
    return names;
}

class HeadlinesStoreTest : public ::testing::Test
{
protected:
    std::unique_ptr<HeadlinesStore> Open()
    {
        StoreOpenResult opened = HeadlinesStore::Open(m_path);
        EXPECT_THAT(opened.error, IsEmpty());
        m_notice = opened.notice;
        return std::move(opened.store);
    }

    std::unique_ptr<HeadlinesStore> OpenWithFeed()
    {
        auto store = Open();
        EXPECT_TRUE(store->SetFavoriteFeed(kPage, "The Paper", kFeed));
        return store;
    }

    lumo::test::TempDir m_dir;
    std::string m_path = m_dir.File("data/lumo-news-reader/headlines.sqlite");
    std::string m_notice;
};

TEST_F(HeadlinesStoreTest, OpensInWalModeAndKeepsWhatWasStoredWithoutAnyNotice)
{
    {
        auto store = OpenWithFeed();
        ASSERT_TRUE(
            store->StoreFetched(kFeed, FeedOf({Item("a", "A")}), {"\"v1\"", "Mon"}, kNow).ok);
    }
    Database raw(m_path);
    Statement mode(raw.Handle(), "PRAGMA journal_mode");
    ASSERT_TRUE(mode.Step());
    EXPECT_EQ(mode.Text(0), "wal");

    auto again = Open();
    EXPECT_THAT(m_notice, IsEmpty());
    EXPECT_THAT(Titles(again->Headlines(HeadlinesOrder::NewestFirst)), ElementsAre("A"));
    ASSERT_EQ(again->Feeds().size(), 1u);
    EXPECT_EQ(again->Feeds()[0].etag, "\"v1\"");
    EXPECT_EQ(again->Feeds()[0].lastModified, "Mon");
}

TEST_F(HeadlinesStoreTest, PutsADamagedFileAsideOnceAndStartsANewOne)
{
    {
        auto store = OpenWithFeed();
        std::vector<FeedItem> many;
        for (int i = 0; i < 400; ++i)
            many.push_back(Item("id" + std::to_string(i), std::string(200, 'x')));
        ASSERT_TRUE(store->StoreFetched(kFeed, FeedOf(many), {}, kNow).ok);
    }
    // Pages in the middle of the file overwritten: the header still reads.
    {
        std::fstream file(m_path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096 * 3);
        const std::string junk(4096 * 4, '\x5a');
        file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    auto fresh = Open();
    ASSERT_TRUE(fresh);
    EXPECT_THAT(m_notice, HasSubstr("damaged"));
    const std::vector<std::string> aside = PutAsideFiles(m_dir.File("data/lumo-news-reader"));
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_THAT(m_notice, HasSubstr(aside[0]));
    EXPECT_THAT(fresh->Feeds(), IsEmpty());
    EXPECT_TRUE(fresh->SetFavoriteFeed(kPage, "The Paper", kFeed));

    fresh.reset();
    auto next = Open();
    EXPECT_THAT(m_notice, IsEmpty());
    EXPECT_EQ(next->Feeds().size(), 1u);

    // Not a database at all.
    next.reset();
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(m_path + suffix);
    lumo::test::WriteFile(m_path, "<html>this is no database</html>");
    ASSERT_TRUE(Open());
    EXPECT_THAT(m_notice, HasSubstr("damaged"));
    EXPECT_EQ(PutAsideFiles(m_dir.File("data/lumo-news-reader")).size(), 2u);
}

TEST_F(HeadlinesStoreTest, PutsAsideAFileOfANewerOrAnotherSchema)
{
    OpenWithFeed().reset();
    {
        Database raw(m_path);
        ASSERT_EQ(raw.Exec("PRAGMA user_version = 7"), SQLITE_OK);
    }
    ASSERT_TRUE(Open());
    EXPECT_THAT(m_notice, HasSubstr("newer version"));

    // Our version number on tables that are not ours.
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(m_path + suffix);
    {
        Database raw(m_path);
        ASSERT_EQ(raw.Exec("CREATE TABLE items(x); PRAGMA user_version = 1"), SQLITE_OK);
    }
    ASSERT_TRUE(Open());
    EXPECT_THAT(m_notice, Not(IsEmpty()));
    EXPECT_EQ(PutAsideFiles(m_dir.File("data/lumo-news-reader")).size(), 2u);
}

TEST_F(HeadlinesStoreTest, AFetchAddsOnlyWhatIsNewKeepsReadMarksAndTakesNewTitles)
{
    auto store = OpenWithFeed();
    StoredCounts first = store->StoreFetched(
        kFeed, FeedOf({Item("a", "A", kNow - 300), Item("b", "B", kNow - 200)}), {}, kNow);
    EXPECT_TRUE(first.ok);
    EXPECT_EQ(first.added, 2);
    const std::vector<Headline> shown = store->Headlines(HeadlinesOrder::NewestFirst);
    ASSERT_EQ(shown.size(), 2u);
    ASSERT_TRUE(store->MarkRead(shown[1].id)); // A

    StoredCounts second = store->StoreFetched(
        kFeed,
        FeedOf({Item("c", "C", kNow + 5000), Item("b", "B again"), Item("a", "A corrected"),
                Item("", "no identity"), Item("c", "C twice", kNow + 5000)}),
        {}, kNow + 100);
    EXPECT_EQ(second.added, 1);
    EXPECT_EQ(second.updated, 3);
    // C's date was ahead of the clock: it is taken as the time it was seen.
    EXPECT_THAT(Titles(store->Headlines(HeadlinesOrder::NewestFirst)),
                ElementsAre("C twice", "B again", "A corrected (read)"));
    EXPECT_EQ(store->Headlines(HeadlinesOrder::NewestFirst)[0].time, kNow + 100);

    // A feed no longer followed stores nothing.
    EXPECT_FALSE(
        store->StoreFetched("https://other.example/feed", FeedOf({Item("x", "X")}), {}, kNow).ok);
}

TEST_F(HeadlinesStoreTest, DropsOnlyHeadlinesOlderThanThirtyDaysThatTheFeedNoLongerLists)
{
    auto store = OpenWithFeed();
    const std::time_t then = kNow - 40 * kDay;
    ASSERT_TRUE(store
                    ->StoreFetched(kFeed,
                                   FeedOf({Item("old-listed", "old listed", then - 10),
                                           Item("old-gone", "old gone", then - 20),
                                           Item("undated-gone", "undated gone")}),
                                   {}, then)
                    .ok);
    StoredCounts later =
        store->StoreFetched(kFeed,
                            FeedOf({Item("old-listed", "old listed", then - 10),
                                    Item("recent-gone", "recent gone", kNow - kDay)}),
                            {}, kNow - kDay);
    EXPECT_EQ(later.dropped, 2);
    StoredCounts last =
        store->StoreFetched(kFeed, FeedOf({Item("old-listed", "old listed", then - 10)}), {}, kNow);
    EXPECT_EQ(last.dropped, 0);
    EXPECT_THAT(Titles(store->Headlines(HeadlinesOrder::NewestFirst)),
                ElementsAre("recent gone", "old listed"));
}

TEST_F(HeadlinesStoreTest, FavoritesFeedsCandidatesFailuresAndCounts)
{
    auto store = Open();
    EXPECT_EQ(store->FeedOfFavorite(kPage).choice, FeedChoice::NotLookedFor);
    ASSERT_TRUE(store->SetCandidates(
        kPage, {{"https://paper.example/b", "B"}, {"https://paper.example/a", "A"}}));
    EXPECT_THAT(store->Candidates(kPage),
                ElementsAre(FeedCandidate{"https://paper.example/b", "B"},
                            FeedCandidate{"https://paper.example/a", "A"}));
    ASSERT_TRUE(store->SetFavoriteNoFeed(kPage));
    EXPECT_EQ(store->FeedOfFavorite(kPage).choice, FeedChoice::None);

    ASSERT_TRUE(store->SetFavoriteFeed(kPage, "Zeta", kFeed));
    ASSERT_TRUE(
        store->SetFavoriteFeed("https://alpha.example/", "alpha", "https://alpha.example/f"));
    EXPECT_EQ(store->FeedOfFavorite(kPage).feedAddress, kFeed);
    ASSERT_TRUE(store->StoreFetched(kFeed, FeedOf({Item("z1", "Z1", kNow - 10)}), {}, kNow).ok);
    ASSERT_TRUE(store
                    ->StoreFetched("https://alpha.example/f",
                                   FeedOf({Item("a1", "A1", kNow - 20), Item("a2", "A2", kNow)}),
                                   {}, kNow)
                    .ok);
    EXPECT_THAT(Titles(store->Headlines(HeadlinesOrder::ByPaper)), ElementsAre("A2", "A1", "Z1"));
    ASSERT_TRUE(store->MarkReadByLink("https://paper.example/a2"));
    const std::vector<PaperCount> counts = store->UnreadCounts();
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts[0].paper, "alpha");
    EXPECT_EQ(counts[0].unread, 1);
    EXPECT_EQ(counts[0].total, 2);

    // Failures count up, keep their reason, and a success clears them.
    ASSERT_TRUE(store->RecordFailure(kFeed, "HTTP 404 Not Found", kNow, kNow + 300));
    ASSERT_TRUE(store->RecordFailure(kFeed, "HTTP 503 Service Unavailable", kNow + 300, kNow + 900,
                                     kNow + 3600));
    ASSERT_EQ(store->FailingFeeds().size(), 1u);
    EXPECT_EQ(store->FailingFeeds()[0].reason, "HTTP 503 Service Unavailable");
    EXPECT_EQ(store->FailingFeeds()[0].failures, 2);
    EXPECT_EQ(store->FailingFeeds()[0].lastSuccess, kNow);
    ASSERT_TRUE(store->RecordNotModified(kFeed, kNow + 4000));
    EXPECT_THAT(store->FailingFeeds(), IsEmpty());
    EXPECT_EQ(store->Feeds()[1].serverHold, 0);

    // Another feed for the paper forgets the old one's headlines.
    ASSERT_TRUE(store->SetFavoriteFeed(kPage, "Zeta", "https://paper.example/atom"));
    EXPECT_THAT(Titles(store->HeadlinesOfPaper(kPage)), IsEmpty());
    ASSERT_TRUE(store->ClearFavorite(kPage));
    EXPECT_EQ(store->FeedOfFavorite(kPage).choice, FeedChoice::NotLookedFor);
    EXPECT_THAT(store->KnownFavorites(), ElementsAre("https://alpha.example/"));
    ASSERT_TRUE(store->MarkAllRead());
    EXPECT_EQ(store->UnreadCounts()[0].unread, 0);
}

TEST_F(HeadlinesStoreTest, TwoCopiesShareReadMarksWhileBothWrite)
{
    auto first = OpenWithFeed();
    auto second = Open();
    std::vector<FeedItem> items;
    for (int i = 0; i < 50; ++i)
        items.push_back(Item("id" + std::to_string(i), "T" + std::to_string(i), kNow - i));
    ASSERT_TRUE(first->StoreFetched(kFeed, FeedOf(items), {}, kNow).ok);
    std::vector<Headline> seen = second->Headlines(HeadlinesOrder::NewestFirst);
    ASSERT_EQ(seen.size(), 50u);

    // One copy marks every headline read while the other stores fetch after fetch.
    std::atomic<int> markFailures{0};
    std::thread marker([&] {
        for (const Headline& headline : seen)
            if (!second->MarkRead(headline.id))
                ++markFailures;
    });
    int storeFailures = 0;
    for (int round = 0; round < 30; ++round)
        if (!first->StoreFetched(kFeed, FeedOf(items), {}, kNow + round).ok)
            ++storeFailures;
    marker.join();
    EXPECT_EQ(markFailures, 0);
    EXPECT_EQ(storeFailures, 0);
    const std::vector<Headline> after = first->Headlines(HeadlinesOrder::NewestFirst);
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](const Headline& h) { return h.read; }));
    EXPECT_EQ(after.size(), 50u);
}

} // namespace
} // namespace headlines
