// Blocking as the program keeps it: its settings in their group of the
// settings file, when the lists are fetched again, the allowed sites, the
// checksum that decides a new compilation of the shipped filters, and what
// counts as a downloaded filter list.
#include "content_filter/blocking_settings.h"
#include "content_filter/filter_lists.h"
#include "content_filter/list_schedule.h"
#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace lumo::content_filter;
using lumo::test::TempDir;
using lumo::test::WriteFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(ContentBlockingSettings, SettingsKeepTheirGroupKeysAndDefaultsInTheFile)
{
    TempDir dir;
    const std::string path = dir.File("LumoNewsReader.conf");
    {
        lumo::SettingsFile file = lumo::OpenSettingsFile(path);
        const BlockingSettings settings(file.get());
        EXPECT_TRUE(settings.Enabled());
        EXPECT_EQ(settings.EasyListAddress(), "https://easylist.to/easylist/easylist.txt");
        EXPECT_EQ(settings.EasyPrivacyAddress(), "https://easylist.to/easylist/easyprivacy.txt");
        EXPECT_EQ(settings.LastListUpdate(), 0);
        EXPECT_TRUE(settings.AllowedSites().empty());
    }
    {
        lumo::SettingsFile file = lumo::OpenSettingsFile(path);
        BlockingSettings settings(file.get());
        settings.SetEnabled(false);
        settings.SetAllowed("b.example", true);
        settings.SetAllowed("a.example", true);
        settings.SetAllowed("c.example", true);
        settings.SetAllowed("c.example", false);
        settings.SetLastListUpdate(4'102'444'800); // beyond 32 bits
        settings.SetListAddresses("http://127.0.0.1:8000/e.txt", "http://127.0.0.1:8000/p.txt");
    }
    // Written at once, each under its name in the program's own group.
    const std::string text = lumo::test::ReadFile(path);
    EXPECT_THAT(text, HasSubstr("[ContentBlocking]\n"));
    EXPECT_THAT(text, HasSubstr("Enabled=0\n"));
    EXPECT_THAT(text, HasSubstr("AllowedSites=a.example b.example\n"));
    EXPECT_THAT(text, HasSubstr("LastListUpdate=4102444800\n"));
    EXPECT_THAT(text, HasSubstr("EasyListAddress=http://127.0.0.1:8000/e.txt\n"));
    EXPECT_THAT(text, HasSubstr("EasyPrivacyAddress=http://127.0.0.1:8000/p.txt\n"));

    // What a hand made unreadable reads as its default.
    WriteFile(path, "[ContentBlocking]\nEnabled=yes please\nLastListUpdate=soon\n");
    lumo::SettingsFile file = lumo::OpenSettingsFile(path);
    const BlockingSettings settings(file.get());
    EXPECT_TRUE(settings.Enabled());
    EXPECT_EQ(settings.LastListUpdate(), 0);
    EXPECT_FALSE(settings.Allowed("a.example"));
}

TEST(ContentBlockingSettings, ListsAreFetchedAtMostEveryFourDays)
{
    const std::int64_t now = 1'800'000'000;
    const std::int64_t day = 24 * 60 * 60;
    EXPECT_TRUE(ListUpdateDue(0, now));                  // never fetched
    EXPECT_FALSE(ListUpdateDue(now, now));               // just fetched
    EXPECT_FALSE(ListUpdateDue(now - 4 * day + 1, now)); // a second short of four days
    EXPECT_TRUE(ListUpdateDue(now - 4 * day, now));
    EXPECT_TRUE(ListUpdateDue(now + day, now)); // the clock was put back
}

TEST(ContentBlockingSettings, AllowedSitesAreKeptByHost)
{
    EXPECT_EQ(SiteOf("https://News.Example.COM:8443/path?q#f"), "news.example.com");
    EXPECT_EQ(SiteOf("http://user:pw@paper.example/"), "paper.example");
    EXPECT_EQ(SiteOf("http://[::1]:8080/"), "[::1]");
    EXPECT_EQ(SiteOf("lumo://start/"), "");
    EXPECT_EQ(SiteOf("file:///home/readme.htm"), "");
    EXPECT_EQ(SiteOf("about:blank"), "");

    std::set<std::string> sites =
        ParseAllowedSites("  b.example A.example,c.example:80 b.example ");
    EXPECT_THAT(sites, ElementsAre("a.example", "b.example", "c.example"));
    EXPECT_EQ(FormatAllowedSites(sites), "a.example b.example c.example");
    EXPECT_EQ(ParseAllowedSites(FormatAllowedSites(sites)), sites);
    EXPECT_TRUE(ParseAllowedSites("").empty());
}

TEST(ContentBlockingSettings, ShippedFiltersAndTheirChecksum)
{
    TempDir dir;
    WriteFile(dir.File("trackers-1.json"), "[1]");
    WriteFile(dir.File("ads-2.json"), "[2]");
    WriteFile(dir.File("ads-1.json"), "[3]");
    WriteFile(dir.File("ads-1.json.tmp"), "[]");
    WriteFile(dir.File("other.json"), "[]");
    std::vector<std::filesystem::path> files = ShippedFilterFiles(dir.Path());
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].filename(), "ads-1.json");
    EXPECT_EQ(files[1].filename(), "ads-2.json");
    EXPECT_EQ(files[2].filename(), "trackers-1.json");
    EXPECT_TRUE(ShippedFilterFiles(dir.File("missing")).empty());

    const std::string sum = ChecksumOfFiles(files);
    EXPECT_EQ(sum.size(), 16u);
    EXPECT_EQ(ChecksumOfFiles(files), sum);
    // Any change of a file's contents, or of the files, asks for a new compilation.
    WriteFile(dir.File("ads-2.json"), "[4]");
    const std::string changed = ChecksumOfFiles(files);
    EXPECT_NE(changed, sum);
    EXPECT_NE(ChecksumOfFiles({files[0], files[1]}), changed);
    EXPECT_EQ(ChecksumOfFiles({files[0], dir.File("missing.json")}), "");
}

TEST(ContentBlockingSettings, OnlyAFilterListIsTakenFromADownload)
{
    EXPECT_TRUE(LooksLikeFilterList("[Adblock Plus 2.0]\n! Title: EasyList\n||ads.example^\n"));
    EXPECT_TRUE(LooksLikeFilterList("\xEF\xBB\xBF\r\n[Adblock Plus 2.0]\r\n"));
    EXPECT_FALSE(LooksLikeFilterList("<!doctype html><title>404 Not Found</title>"));
    EXPECT_FALSE(LooksLikeFilterList(""));
    EXPECT_FALSE(LooksLikeFilterList("||ads.example^\n"));
}
