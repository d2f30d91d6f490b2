// The checks a filter list fetched anew must pass before it replaces the
// filters in use: each form of a list that would take every page down is
// refused, a sound list passes (the packaged EasyList and EasyPrivacy too),
// and a list far off the shipped one's size is refused.
#include "content_filter/list_checks.h"
#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

using namespace lumo::content_filter;
using ::testing::HasSubstr;

namespace {

std::string Check(const std::string& list)
{
    Converter converter;
    converter.AddList("[Adblock Plus 2.0]\n! Title: EasyList\n||ads.example^\n/banner/*$image\n"
                      "##.ad-box\nnews.example##body > .overlay\n" +
                      list);
    return CheckRules(converter.Finish());
}

} // namespace

TEST(ContentListChecks, AListThatWouldBlockOrHideEveryPageIsRefused)
{
    EXPECT_EQ(Check(""), "");
    for (const std::string rule :
         {"|http", "|https://", "*", "*$document", "|http$document", "://", ".com/",
          "/^https?:\\/\\//", "*$image,domain=~paper.example", "|http$third-party", "/index."})
        EXPECT_THAT(Check(rule + "\n"), HasSubstr("blocks the plain addresses of any site"))
            << rule;
    for (const std::string rule :
         {"##body", "##html", "##:root", "##*", "##body > *", "##html body", "news.example##body",
          "##.ad-box, body", "##div[class=\"a, b\"],html"})
        EXPECT_THAT(Check(rule + "\n"), HasSubstr("hides the whole page")) << rule;

    // What names a site, or a part of a page, is no such rule.
    EXPECT_EQ(Check("||example.com^\n"
                    "|https://tracker.example/\n"
                    "*$script,domain=paper.example\n"
                    "##body#news-app li.promoted\n"
                    "paper.example##.sponsored + *\n"
                    "##li[data-m*=\"Native\"] > a > *\n"
                    "##[class=\"body\"]\n"),
              "");
}

TEST(ContentListChecks, ThePackagedListsPass)
{
    for (const char* name : {"easylist", "easyprivacy"}) {
        std::ifstream in(std::string(LUMO_EASYLIST_DIR) + "/" + name + ".txt");
        ASSERT_TRUE(in) << name;
        std::stringstream text;
        text << in.rdbuf();
        Converter converter;
        converter.AddList(text.str());
        EXPECT_EQ(CheckRules(converter.Finish()), "") << name;
    }
}

TEST(ContentListChecks, AListIsKeptWithinHalfToTwiceTheShippedSize)
{
    // Counted in the parts as written, the program's last rule too.
    Converter converter;
    converter.AddList("||a.example^\n||b.example^\n##.ad\n##[title=\"{\\\"trigger\\\":\"]\n"
                      "@@||c.example^$image\n");
    const std::vector<std::string> parts = SplitIntoParts(converter.Finish(), WebKitMaxRules);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(CountRules(parts.front()), 4u);
    EXPECT_EQ(CountRules(AppendRules(parts.front(), {ExemptPagesOf("lumo")})), 5u);
    EXPECT_EQ(CountRules(SplitIntoParts(Converter().Finish(), WebKitMaxRules).front()), 0u);
    lumo::test::TempDir shipped;
    lumo::test::WriteFile(shipped.File("ads-1.json"), parts.front());
    lumo::test::WriteFile(shipped.File("ads-2.json"), parts.front());
    lumo::test::WriteFile(shipped.File("trackers-1.json"), parts.front());
    EXPECT_EQ(CountShippedRules({shipped.File("ads-1.json"), shipped.File("ads-2.json"),
                                 shipped.File("trackers-1.json")}),
              (std::map<std::string, std::size_t>{{"ads", 8}, {"trackers", 4}}));

    EXPECT_EQ(CheckRuleCount("ads", 60000, 60000), "");
    EXPECT_EQ(CheckRuleCount("ads", 30000, 60000), "");
    EXPECT_EQ(CheckRuleCount("ads", 120000, 60000), "");
    EXPECT_EQ(CheckRuleCount("ads", 29999, 60000),
              "ads: 29999 rules where the shipped list has 60000");
    EXPECT_NE(CheckRuleCount("ads", 120001, 60000), "");
    EXPECT_NE(CheckRuleCount("trackers", 0, 60000), "");
}
