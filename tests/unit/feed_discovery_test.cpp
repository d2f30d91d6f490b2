// Finding a paper's feeds from its front page, and the usual places tried
// when the page names none.
#include "headlines/core/feed_discovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace headlines {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> Addresses(const std::vector<DiscoveredFeed>& feeds)
{
    std::vector<std::string> addresses;
    for (const DiscoveredFeed& feed : feeds)
        addresses.push_back(feed.address);
    return addresses;
}

TEST(FeedDiscoveryTest, FindsTheFeedsTheHeadNamesInDocumentOrder)
{
    const std::string page =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>The Daily</title>"
        "<link rel=\"stylesheet\" href=\"/site.css\">"
        "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"All  news &amp; more\" "
        "href=\"/rss/all.xml\">"
        "<LINK REL=\"Alternate Home\" TYPE=\"Application/Atom+XML; charset=utf-8\" "
        "HREF=\"https://feeds.example.com/atom\">"
        "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"rss/all.xml\">"
        "<link rel=\"alternate\" type=\"application/feed+json\" href=\"/feed.json\">"
        "<link rel=\"alternate\" type=\"text/html\" hreflang=\"fr\" href=\"/fr/\">"
        "<link rel=\"alternatives\" type=\"application/rss+xml\" href=\"/not-a-token\">"
        "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"javascript:alert(1)\">"
        "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"ftp://example.com/f\">"
        "<noscript><link rel=\"alternate\" type=\"application/atom+xml\" href=\"/ns.xml\">"
        "</noscript></head><body>"
        "<a rel=\"alternate\" type=\"application/rss+xml\" href=\"/body-link.xml\">RSS</a>"
        "</body></html>";
    const std::vector<DiscoveredFeed> feeds =
        DiscoverFeeds(page, "https://www.example.com/news/index.html");
    EXPECT_THAT(Addresses(feeds),
                ElementsAre("https://www.example.com/rss/all.xml", "https://feeds.example.com/atom",
                            "https://www.example.com/news/rss/all.xml",
                            "https://www.example.com/ns.xml"));
    ASSERT_FALSE(feeds.empty());
    EXPECT_EQ(feeds[0].title, "All news & more");
}

TEST(FeedDiscoveryTest, ResolvesAgainstTheBaseAndSurvivesBrokenPages)
{
    const std::string withBase = "<html><head><base href=\"//cdn.example.net/edition/\">"
                                 "<link rel=alternate type=application/rss+xml href=\"feed.xml\">"
                                 "<base href=\"https://ignored.example/\"></head></html>";
    EXPECT_THAT(Addresses(DiscoverFeeds(withBase, "http://www.example.com/")),
                ElementsAre("http://cdn.example.net/edition/feed.xml"));

    // No head, unclosed tags, stray bytes: the parser recovers.
    const std::string broken = "<title>x</title><link rel=\"alternate\" "
                               "type=\"application/rss+xml\" href=\"/r\x80ss\"><div><p>\x01";
    EXPECT_THAT(Addresses(DiscoverFeeds(broken, "https://www.example.com/")),
                ElementsAre("https://www.example.com/r%C2%80ss"));

    EXPECT_THAT(DiscoverFeeds("", "https://www.example.com/"), IsEmpty());
    EXPECT_THAT(DiscoverFeeds(std::string("\0\0\xFF\xFE garbage", 12), "https://www.example.com/"),
                IsEmpty());
}

TEST(FeedDiscoveryTest, FallbackAddressesAreTheUsualPlacesOnTheOrigin)
{
    EXPECT_THAT(FallbackFeedAddresses("https://www.example.com:8443/news/today?x=1#top"),
                ElementsAre("https://www.example.com:8443/feed", "https://www.example.com:8443/rss",
                            "https://www.example.com:8443/rss.xml",
                            "https://www.example.com:8443/feed.xml",
                            "https://www.example.com:8443/atom.xml",
                            "https://www.example.com:8443/index.xml"));
    EXPECT_EQ(FallbackFeedAddresses("http://[::1]/").front(), "http://[::1]/feed");
    EXPECT_THAT(FallbackFeedAddresses("file:///home/me/page.html"), IsEmpty());
    EXPECT_THAT(FallbackFeedAddresses("javascript:alert(1)"), IsEmpty());
    EXPECT_THAT(FallbackFeedAddresses("www.example.com"), IsEmpty());
}

} // namespace
} // namespace headlines
