// The headlines service reading feeds from a local server on its own clock:
// a refresh the user asks for reads every feed, also those that wait for
// room under the limits of reads at once, and fetching turned off stops the
// reads still waiting.
#include "headlines/service/headlines_service.h"

#include "local_web_server.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <algorithm>
#include <chrono>
#include <functional>

namespace headlines {
namespace {

using lumo::test::LocalWebServer;
using lumo::test::TempDir;

constexpr int kFeeds = 7; // all on 127.0.0.1: two at a time

std::string FeedPath(int feed)
{
    return "/feed" + std::to_string(feed) + ".xml";
}

bool RunUntil(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < end)
        g_main_context_iteration(nullptr, FALSE);
    return done();
}

class HeadlinesServiceTest : public ::testing::Test
{
protected:
    HeadlinesServiceTest()
    {
        std::vector<Paper> papers;
        for (int feed = 0; feed < kFeeds; ++feed) {
            const std::string rss = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel>"
                                    "<title>Paper</title><item><guid>" +
                                    std::to_string(feed) + "</guid><title>Story " +
                                    std::to_string(feed) + "</title></item></channel></rss>";
            m_server.Route(FeedPath(feed), {200, "application/rss+xml", rss, {}, 20});
            const Paper paper{"Paper " + std::to_string(feed),
                              "https://paper" + std::to_string(feed) + ".example/"};
            m_service.Store()->SetFavoriteFeed(paper.page, paper.name,
                                               m_server.Url(FeedPath(feed)));
            papers.push_back(paper);
        }
        m_service.SetPapers(papers);
    }

    // Feeds whose last read is at the clock's time now.
    int ReadNow()
    {
        const std::vector<FeedRecord> feeds = m_service.Store()->Feeds();
        return static_cast<int>(std::count_if(feeds.begin(), feeds.end(), [&](const FeedRecord& f) {
            return f.lastFetched == m_now && f.failures == 0;
        }));
    }

    int Requests() { return static_cast<int>(m_server.Requests().size()); }

    TempDir m_dir;
    LocalWebServer m_server;
    std::time_t m_now = 1'750'000'000;
    HeadlinesService m_service{m_dir.File("headlines.sqlite"), [this] { return m_now; }};
};

TEST_F(HeadlinesServiceTest, UserRefreshReadsEveryFeedPastTheLimits)
{
    ASSERT_TRUE(m_service.Usable());
    m_service.Refresh(true);
    ASSERT_TRUE(RunUntil([&] { return m_service.Busy() == 0; }));
    EXPECT_EQ(ReadNow(), kFeeds);

    // Minutes later, long before the feeds are due again, the user asks.
    m_now += 5 * 60;
    m_service.Refresh(true);
    ASSERT_TRUE(RunUntil([&] { return m_service.Busy() == 0; }));
    EXPECT_EQ(ReadNow(), kFeeds);
    EXPECT_EQ(Requests(), 2 * kFeeds);

    // Asked again at once: the feeds were just read, none is read again.
    m_now += 5;
    m_service.Refresh(true);
    EXPECT_EQ(m_service.Busy(), 0);
    EXPECT_EQ(Requests(), 2 * kFeeds);
}

TEST_F(HeadlinesServiceTest, FetchingTurnedOffStartsNoFurtherRead)
{
    ASSERT_TRUE(m_service.Usable());
    m_service.Refresh(true);
    const int started = m_service.Busy();
    ASSERT_GT(started, 0);
    ASSERT_LT(started, kFeeds);
    m_service.SetSettings({false, 30 * 60});
    ASSERT_TRUE(RunUntil([&] { return m_service.Busy() == 0; }));
    EXPECT_EQ(Requests(), started);
    EXPECT_EQ(ReadNow(), started);
}

} // namespace
} // namespace headlines
