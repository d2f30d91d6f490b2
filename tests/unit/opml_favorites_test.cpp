// Favorites in and out of OPML on real files: which favorite an outline
// becomes, what an export writes, and imports that must change nothing.
#include "headlines/core/opml_favorites.h"

#include "capturing_reporter.h"
#include "headlines/core/headlines_store.h"
#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace headlines {
namespace {

using lumo::FavoriteEntry;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

TEST(OpmlFavoritesTest, OutlinesBecomeFavoritesAtTheirPageOrTheSiteOfTheirFeed)
{
    const std::pair<OpmlOutline, FavoriteEntry> cases[] = {
        {{" Le Monde ", "https://www.lemonde.fr/", "https://www.lemonde.fr/rss/une.xml"},
         {"Le Monde", "https://www.lemonde.fr/"}},
        {{"", "https://www.zeit.de/index", ""}, {"www.zeit.de", "https://www.zeit.de/index"}},
        {{"Feed only", "", "https://reader@News.example:8443/feeds/all.xml?x=1#top"},
         {"Feed only", "https://News.example:8443/"}},
        {{"", "", "http://[2001:db8::1]:8080/rss"},
         {"[2001:db8::1]", "http://[2001:db8::1]:8080/"}},
    };
    for (const auto& [outline, favorite] : cases)
        EXPECT_EQ(FavoriteOfOutline(outline), favorite) << outline.xmlUrl;
}

TEST(OpmlFavoritesTest, AnExportListsWebFavoritesWithTheirFeedsAndReadsBackAsThem)
{
    const std::vector<FavoriteEntry> favorites = {
        {"Le Monde & co <b>", "https://www.lemonde.fr/"},
        {"Script", "javascript:alert(1)"},
        {"Disk", "file:///home/me/page.html"},
        {"Zeit", "http://www.zeit.de/?a=1&b=2"},
    };
    const std::vector<OpmlOutline> outlines =
        OutlinesOfFavorites(favorites, [](const std::string& page) {
            return page == "https://www.lemonde.fr/" ? "https://www.lemonde.fr/rss" : "";
        });
    EXPECT_THAT(outlines, ElementsAre(OpmlOutline{"Le Monde & co <b>", "https://www.lemonde.fr/",
                                                  "https://www.lemonde.fr/rss"},
                                      OpmlOutline{"Zeit", "http://www.zeit.de/?a=1&b=2", ""}));
    std::vector<FavoriteEntry> readBack;
    for (const OpmlOutline& outline : ReadOpml(WriteOpml(outlines)).outlines)
        readBack.push_back(FavoriteOfOutline(outline));
    EXPECT_THAT(readBack, ElementsAre(favorites[0], favorites[3]));
}

class OpmlImportTest : public ::testing::Test
{
protected:
    OpmlImportResult Import(const std::string& opml)
    {
        lumo::test::WriteFile(m_opml, opml);
        return ImportOpmlFavorites(m_opml, m_store, m_database);
    }

    lumo::test::TempDir m_dir;
    const std::string m_opml = m_dir.File("list.opml");
    const std::string m_favorites = m_dir.File("Favorites.xml");
    const std::string m_database = m_dir.File("data/headlines.sqlite");
    lumo::test::CapturingReporter m_reporter;
    lumo::FavoritesStore m_store{m_favorites, m_reporter};
};

TEST_F(OpmlImportTest, AHostileOrUselessFileIsRefusedWithAReasonAndChangesNothing)
{
    const std::string kept = "<Favorites>\n</Favorites>\n";
    lumo::test::WriteFile(m_favorites, kept);
    std::string many = "<opml><body>";
    for (int i = 0; i < 100000; ++i)
        many += "<outline xmlUrl=\"https://p" + std::to_string(i) + ".example/rss\"/>";
    many += "</body></opml>";
    const std::pair<std::string, std::string> files[] = {
        {"just some text", "not XML"},
        {"<!DOCTYPE opml [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;\">]>"
         "<opml><body><outline title=\"&b;\" xmlUrl=\"https://a.example/\"/></body></opml>",
         "declares entities"},
        {many, "more than 10,000 outlines"},
        {"<opml><body><outline title=\"x\" htmlUrl=\"javascript:alert(1)\"/></body></opml>",
         "no outline of the file has a web address"},
        {"<opml><body><outline title=\"Folder\"/></body></opml>", "lists no papers or feeds"},
    };
    for (const auto& [opml, reason] : files) {
        const OpmlImportResult result = Import(opml);
        EXPECT_FALSE(result.changed) << reason;
        EXPECT_THAT(result.message, HasSubstr(reason));
    }
    EXPECT_EQ(lumo::test::ReadFile(m_favorites), kept);
    EXPECT_FALSE(lumo::test::FileExists(m_database));
    EXPECT_THAT(m_reporter.messages, IsEmpty());
}

TEST_F(OpmlImportTest, FeedsGoToFavoritesWithoutAChoiceAndTheMessageCountsEverything)
{
    lumo::test::WriteFile(m_favorites, "<Favorites><Favorite><title>Zeit</title>"
                                       "<url>https://www.zeit.de/</url></Favorite></Favorites>");
    {
        StoreOpenResult opened = HeadlinesStore::Open(m_database);
        ASSERT_TRUE(opened.store);
        ASSERT_TRUE(opened.store->SetFavoriteNoFeed("https://www.zeit.de/"));
    }
    const OpmlImportResult result =
        Import("<opml version=\"2.0\"><body><outline text=\"News\">"
               "<outline title=\"Le Monde\" htmlUrl=\"https://www.lemonde.fr/\""
               " xmlUrl=\"https://www.lemonde.fr/rss\"/>"
               "<outline title=\"Zeit\" htmlUrl=\"https://www.zeit.de/\""
               " xmlUrl=\"https://www.zeit.de/rss\"/></outline>"
               "<outline xmlUrl=\"https://feeds.example/all\"/>"
               "<outline title=\"Bad\" xmlUrl=\"file:///etc/passwd\"/></body></opml>");
    EXPECT_TRUE(result.changed);
    EXPECT_EQ(result.message,
              "Added 2 favorites; 1 was already there. 1 outline was left out: it has no web "
              "address.");
    EXPECT_THAT(m_store.LoadFavorites(),
                ElementsAre(FavoriteEntry{"Zeit", "https://www.zeit.de/"},
                            FavoriteEntry{"Le Monde", "https://www.lemonde.fr/"},
                            FavoriteEntry{"feeds.example", "https://feeds.example/"}));
    StoreOpenResult opened = HeadlinesStore::Open(m_database);
    ASSERT_TRUE(opened.store);
    EXPECT_EQ(opened.store->FeedOfFavorite("https://www.lemonde.fr/").feedAddress,
              "https://www.lemonde.fr/rss");
    EXPECT_EQ(opened.store->FeedOfFavorite("https://feeds.example/").feedAddress,
              "https://feeds.example/all");
    // The user's choice of no feed stays.
    EXPECT_EQ(opened.store->FeedOfFavorite("https://www.zeit.de/").choice, FeedChoice::None);
}

} // namespace
} // namespace headlines
