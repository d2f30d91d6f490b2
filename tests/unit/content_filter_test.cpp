// The ad and tracker filter converter: Adblock filter lines to WebKit
// content-blocker rules, by kind of rule.
#include "content_filter/filter_converter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lumo::content_filter;
using ::testing::ElementsAre;

namespace {

Conversion Convert(std::string_view list)
{
    Converter converter;
    converter.AddList(list);
    return converter.Finish();
}

std::vector<std::string> Json(const std::vector<Rule>& rules)
{
    std::vector<std::string> out;
    for (const auto& rule : rules)
        out.push_back(RuleToJson(rule));
    return out;
}

// The one blocking rule a filter line becomes.
std::string BlockOf(std::string_view line)
{
    Conversion c = Convert(line);
    EXPECT_EQ(c.blocking.size(), 1u) << line;
    return c.blocking.empty() ? std::string() : RuleToJson(c.blocking.front());
}

constexpr const char* Host = "^[a-z-]+://([^/]*\\\\.)?";
constexpr const char* Sep = "[^a-zA-Z0-9_.%-]";
constexpr const char* AllSubresources =
    R"("resource-type":["script","image","style-sheet","font","media","fetch","ping","websocket","other"])";

std::string Block(const std::string& trigger)
{
    return R"({"trigger":{)" + trigger + R"(},"action":{"type":"block"}})";
}

} // namespace

TEST(ContentFilterConverter, NetworkFilterFormsBecomeTheirUrlFiltersAndTriggers)
{
    const std::string host = Host, sep = Sep;
    // A whole host: every type, its pages too; the host in lower case.
    EXPECT_EQ(BlockOf("||Ads.Example.com^"),
              Block(R"("url-filter":")" + host + R"(ads\\.example\\.com)" + sep + R"(")"));
    // Anchors, wildcards, separators, escaped characters; no types: every
    // subresource and frames (a rule of their own).
    Conversion c = Convert("|https://x.test/a+b?c=(1)*^ad^\n");
    ASSERT_EQ(c.blocking.size(), 2u);
    EXPECT_EQ(RuleToJson(c.blocking[0]),
              Block(R"("url-filter":"^https://x\\.test/a\\+b\\?c=\\(1\\).*)" + sep + "ad(" + sep +
                    R"(.*)?$",)" + AllSubresources));
    EXPECT_EQ(RuleToJson(c.blocking[1]),
              Block(R"("url-filter":"^https://x\\.test/a\\+b\\?c=\\(1\\).*)" + sep + "ad(" + sep +
                    R"(.*)?$","resource-type":["document"],"load-context":["child-frame"])"));
    EXPECT_EQ(BlockOf("/banner/*/img|$image"),
              Block(R"("url-filter":"/banner/.*/img$","resource-type":["image"])"));
    EXPECT_EQ(BlockOf("/track^|$script"),
              Block(R"("url-filter":"/track)" + sep + R"(?$","resource-type":["script"])"));
    EXPECT_EQ(BlockOf("*$script,domain=a.test|B.test"),
              Block(R"("url-filter":".*","if-domain":["*a.test","*b.test"],)"
                    R"("resource-type":["script"])"));
    // Options: parties, excluded domains, case, every type WebKit knows.
    EXPECT_EQ(BlockOf("/Pixel.GIF$match-case,third-party,domain=~a.test|~b.test,image,xhr"),
              Block(R"("url-filter":"/Pixel\\.GIF","url-filter-is-case-sensitive":true,)"
                    R"("unless-domain":["*a.test","*b.test"],"resource-type":["image","fetch"],)"
                    R"("load-type":["third-party"])"));
    EXPECT_EQ(BlockOf("||t.test^$~third-party,stylesheet,font,media,ping,websocket,other,popup"),
              Block(R"("url-filter":")" + host + R"(t\\.test)" + sep +
                    R"(","resource-type":["style-sheet","font","media","ping","websocket",)"
                    R"("other","popup"],"load-type":["first-party"])"));
    EXPECT_EQ(BlockOf("/frame.html$subdocument"),
              Block(R"("url-filter":"/frame\\.html","resource-type":["document"],)"
                    R"("load-context":["child-frame"])"));
    // Negated types: every other subresource (and frames, in their rule).
    c = Convert("/x.js$~script,~image,~subdocument,1p");
    EXPECT_THAT(Json(c.blocking),
                ElementsAre(Block(R"("url-filter":"/x\\.js","resource-type":["style-sheet",)"
                                  R"("font","media","fetch","ping","websocket","other"],)"
                                  R"("load-type":["first-party"])")));
    // A regular expression WebKit reads is kept as it is.
    EXPECT_EQ(BlockOf("/\\/ad[0-9]+\\.js/$script"),
              Block(R"("url-filter":"\\/ad[0-9]+\\.js","resource-type":["script"])"));
}

TEST(ContentFilterConverter, ExceptionsComeAfterEveryBlockAndInEveryPart)
{
    const std::string host = Host, sep = Sep;
    Conversion c = Convert("@@||cdn.test/ads.js$script,domain=news.test\n"
                           "||cdn.test^\n"
                           "@@||paper.test^$document\n"
                           "@@||shop.test^$elemhide\n"
                           "##.ad\n"
                           "/x.gif$image,important\n"
                           "/y.gif$image\n");
    EXPECT_THAT(
        Json(c.exceptions),
        ElementsAre(
            R"({"trigger":{"url-filter":")" + host +
                R"(cdn\\.test/ads\\.js","if-domain":["*news.test"],"resource-type":["script"]},)"
                R"("action":{"type":"ignore-previous-rules"}})",
            R"({"trigger":{"url-filter":".*","if-top-url":[")" + host + R"(paper\\.test)" + sep +
                R"("]},"action":{"type":"ignore-previous-rules"}})"));
    EXPECT_THAT(Json(c.important),
                ElementsAre(Block(R"("url-filter":"/x\\.gif","resource-type":["image"])")));
    ASSERT_EQ(c.blocking.size(), 3u); // ||cdn.test^, /y.gif, ##.ad

    // Parts of five rules: at most two blocking rules, then the two
    // exceptions and the important block, in each.
    std::vector<std::string> parts = SplitIntoParts(c, 5);
    ASSERT_EQ(parts.size(), 2u);
    for (const std::string& part : parts) {
        std::vector<std::string> lines;
        for (std::size_t at = 0, end; (end = part.find('\n', at)) != std::string::npos;
             at = end + 1)
            lines.push_back(part.substr(at, end - at));
        ASSERT_GE(lines.size(), 5u);
        EXPECT_EQ(lines.front(), "[");
        EXPECT_EQ(lines.back(), "]");
        std::vector<std::string> rules(lines.begin() + 1, lines.end() - 1);
        for (auto& rule : rules)
            if (rule.back() == ',')
                rule.pop_back();
        std::vector<std::string> tail(rules.end() - 3, rules.end());
        std::vector<std::string> expectedTail = Json(c.exceptions);
        expectedTail.push_back(RuleToJson(c.important.front()));
        EXPECT_EQ(tail, expectedTail);
        for (auto it = rules.begin(); it != rules.end() - 3; ++it)
            EXPECT_EQ(it->find("ignore-previous-rules"), std::string::npos) << *it;
    }
    EXPECT_EQ(parts[0].find(R"("selector")"), std::string::npos);
    EXPECT_NE(parts[1].find(R"("selector":".ad")"), std::string::npos);
    // Exceptions that do not fit give no parts at all.
    EXPECT_TRUE(SplitIntoParts(c, 3).empty());
}

TEST(ContentFilterConverter, ElementHidingGroupsSelectorsAndKeepsExceptions)
{
    std::string list;
    for (std::size_t i = 0; i < Converter::GroupSize + 1; ++i)
        list += "##.ad-" + std::to_string(i) + "\n";
    list += "##.banner\n"
            "a.test#@#.banner\n"
            "##.gone\n"
            "#@#.gone\n"
            "a.test,b.test##.side\n"
            "b.test,a.test###top\n"
            "b.test#@##top\n"
            "~c.test##.promo\n";
    Conversion c = Convert(list);
    std::vector<std::string> json = Json(c.blocking);
    auto css = [](const std::string& trigger, const std::string& selector) {
        return R"({"trigger":{"url-filter":".*")" + trigger +
               R"(},"action":{"type":"css-display-none","selector":")" + selector + R"("}})";
    };
    std::string firstGroup = ".ad-0";
    for (std::size_t i = 1; i < Converter::GroupSize; ++i)
        firstGroup += ", .ad-" + std::to_string(i);
    EXPECT_THAT(json,
                ElementsAre(css(R"(,"unless-domain":["*a.test"])", ".banner"),
                            css(R"(,"unless-domain":["*c.test"])", ".promo"), css("", firstGroup),
                            css("", ".ad-" + std::to_string(Converter::GroupSize)),
                            css(R"(,"if-domain":["*a.test","*b.test"])", ".side"),
                            css(R"(,"if-domain":["*a.test"])", "#top")));
    EXPECT_EQ(c.summary.filtersSkipped, 0u);
}

TEST(ContentFilterConverter, WhatWebKitCannotExpressIsSkippedAndCountedByReason)
{
    Conversion c = Convert("[Adblock Plus 2.0]\n"
                           "! a comment\n"
                           "\n"
                           "/ad(s|v)\\d{2}/\n"
                           "/a|b/$script\n"
                           "||ads.test^$redirect=noop.js\n"
                           "||ads.test^$csp=script-src 'none'\n"
                           "||ads.test^$removeparam=utm\n"
                           "||ads.test^$object\n"
                           "@@||ads.test^$generichide\n"
                           "@@||ads.test^$elemhide\n"
                           "||cancel.test^$script\n"
                           "||cancel.test^$script,badfilter\n"
                           "||ads.test^$domain=a.test|~b.a.test\n"
                           "||ads.test^$domain=google.*\n"
                           "||ads.test^$domain=bücher.test\n"
                           "||bücher.test^\n"
                           "a.test##+js(nobab)\n"
                           "a.test##.x:has-text(Ad)\n"
                           "a.test##.x:-abp-has(.y)\n"
                           "a.test##:xpath(//div)\n"
                           "a.test#?#.x\n"
                           "a.test#$#.x { color: red }\n"
                           "a.test##^script\n"
                           "a.test##.x { remove: true; }\n"
                           "a.test##.x\xff\n"
                           "!#if env_safari\n"
                           "||only.test^\n"
                           "!#endif\n"
                           "||kept.test^\n");
    EXPECT_EQ(c.summary.linesRead, 31u); // the last line end begins an empty line
    EXPECT_EQ(c.summary.filtersRead, 25u);
    EXPECT_EQ(c.summary.filtersSkipped, 24u);
    EXPECT_THAT(
        c.summary.skipped,
        ::testing::UnorderedElementsAre(
            std::pair<const std::string, std::size_t>("regular expression WebKit cannot read", 2),
            std::pair<const std::string, std::size_t>("option $redirect", 1),
            std::pair<const std::string, std::size_t>("option $csp", 1),
            std::pair<const std::string, std::size_t>("option $removeparam", 1),
            std::pair<const std::string, std::size_t>("option $object", 1),
            std::pair<const std::string, std::size_t>("option $generichide", 1),
            std::pair<const std::string, std::size_t>("option $elemhide", 1),
            std::pair<const std::string, std::size_t>("cancelled by $badfilter", 1),
            std::pair<const std::string, std::size_t>("$badfilter (cancels the filter it names)",
                                                      1),
            std::pair<const std::string, std::size_t>("both included and excluded domains", 1),
            std::pair<const std::string, std::size_t>(
                "domain with any top-level domain (example.*)", 1),
            std::pair<const std::string, std::size_t>("non-ASCII domain", 1),
            std::pair<const std::string, std::size_t>("non-ASCII address", 1),
            std::pair<const std::string, std::size_t>("scriptlet (##+js)", 1),
            std::pair<const std::string, std::size_t>("procedural selector (:has-text)", 1),
            std::pair<const std::string, std::size_t>("procedural selector (:-abp-...)", 1),
            std::pair<const std::string, std::size_t>("procedural selector (:xpath)", 1),
            std::pair<const std::string, std::size_t>("extended selector (#?#)", 1),
            std::pair<const std::string, std::size_t>("style injection (#$#)", 1),
            std::pair<const std::string, std::size_t>("HTML filter (##^)", 1),
            std::pair<const std::string, std::size_t>("style injection (selector { style })", 1),
            std::pair<const std::string, std::size_t>("inside !#if (for some platforms only)", 1),
            std::pair<const std::string, std::size_t>("selector not in UTF-8", 1)));
    EXPECT_THAT(Json(c.blocking), ElementsAre(::testing::HasSubstr("kept")));
    EXPECT_TRUE(c.exceptions.empty());
}

TEST(ContentFilterConverter, UrlFilterCheckerKeepsToWhatWebKitReads)
{
    for (const char* good : {"^[a-z-]+://([^/]*\\.)?ex\\.com([^a-zA-Z0-9_.%-].*)?$", "a", ".*",
                             "[^a-z]+x?", "(ab)*c$", "[\\]a-]", "\\/\\.", "^https?://"})
        EXPECT_TRUE(IsWebKitUrlFilter(good)) << good;
    for (const char* bad :
         {"",      "a|b", "a{2}", "a\\d", "\\w", "a\\b",  "a^b", "a$b",  "(a$)", "*a", "a**",
          "(?:a)", "(a",  "a)",   "[a",   "[]",  "[z-a]", "é",   "a\tb", "\\",   "()"})
        EXPECT_FALSE(IsWebKitUrlFilter(bad)) << bad;
}
