// The Headlines page as a browser reads it (libxml2's HTML parser): its
// headings, links and their spoken text, and feed text that stays text.
#include "headlines/core/headlines_page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>

#include <cstdlib>
#include <memory>

namespace headlines {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::time_t kNow = 1'750'000'000; // Sunday 15 June 2025, 15:06:40 UTC
constexpr std::time_t kHour = 3600;

struct DocFree
{
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

// The text of every node `xpath` selects, blanks squeezed.
std::vector<std::string> Texts(const std::string& html, const char* xpath)
{
    std::unique_ptr<xmlDoc, DocFree> doc(
        htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "utf-8",
                       HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
    std::vector<std::string> texts;
    xmlXPathContextPtr context = xmlXPathNewContext(doc.get());
    xmlXPathObjectPtr found = xmlXPathEvalExpression(BAD_CAST xpath, context);
    for (int i = 0; found && found->nodesetval && i < found->nodesetval->nodeNr; ++i) {
        xmlChar* content = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
        std::string text;
        for (const char* c = reinterpret_cast<const char*>(content); c && *c; ++c)
            if (*c != ' ' || (!text.empty() && text.back() != ' '))
                text += *c;
        texts.push_back(text);
        xmlFree(content);
    }
    xmlXPathFreeObject(found);
    xmlXPathFreeContext(context);
    return texts;
}

class HeadlinesPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        m_view.now = kNow;
        m_view.headlines = {
            {1, "https://a.example/", "Alpha <Times>",
             "Storm & \"flood\" <script>alert(1)</script>", "https://a.example/1?x=1&y=\"2\"", "",
             kNow - 5 * 60, false},
            {2, "https://b.example/", "Beta", "Bad \xff bytes\x01", "https://b.example/2", "",
             kNow - 3 * kHour, true},
            {3, "https://a.example/", "Alpha <Times>", "Older", "", "", kNow - 20 * kHour, false},
            {4, "https://b.example/", "Beta", "Last week", "https://b.example/4", "",
             kNow - 8 * 24 * kHour, false}};
        m_view.papers = {{"https://a.example/", "Alpha <Times>", 2, 2},
                         {"https://b.example/", "Beta", 1, 2}};
        m_view.failures = {{"https://c.example/", "Gamma", "https://c.example/rss",
                            "HTTP 404 Not Found", 3, kNow - 2 * 24 * kHour}};
    }

    HeadlinesView m_view;
};

TEST_F(HeadlinesPageTest, NewestFirstHasADayHeadingEachAndLinksThatSayPaperAndTime)
{
    const std::string html = HeadlinesPageHtml(m_view);
    EXPECT_THAT(Texts(html, "//section[ul[@class='list']]/h2"),
                ElementsAre("Today", "Yesterday", "Saturday 7 June"));
    EXPECT_THAT(Texts(html, "//main/section//li/a"),
                ElementsAre("Storm & \"flood\" <script>alert(1)</script>, Alpha <Times>, 5 min ago",
                            "Bad \xef\xbf\xbd bytes, Beta, 3 h ago", "Last week, Beta, 7 Jun"));
    // A headline without a link is text, not a link.
    EXPECT_THAT(Texts(html, "//ul[@class='list']/li[not(a)]"),
                ElementsAre("Older, Alpha <Times>, yesterday"));
    EXPECT_THAT(Texts(html, "//li[@class='unread']//*[@class='title']"),
                ElementsAre("Storm & \"flood\" <script>alert(1)</script>", "Older", "Last week"));
    EXPECT_THAT(Texts(html, "//a[@data-item='1']/@href"),
                ElementsAre("https://a.example/1?x=1&y=\"2\""));
    EXPECT_THAT(Texts(html, "//section[@class='failures']//li"),
                ElementsAre("Gamma: HTTP 404 Not Found (last read 2 days ago)"));
    EXPECT_THAT(Texts(html, "//ul[@class='papers']/li"),
                ElementsAre("Alpha <Times> 2 new", "Beta 1 new"));
    EXPECT_THAT(Texts(html, "//header//a/@href"),
                ElementsAre("lumo://headlines?sort=newest", "lumo://headlines?sort=paper",
                            "lumo://headlines/mark-all-read?sort=newest"));
    EXPECT_THAT(Texts(html, "//script"), ::testing::SizeIs(1));
    EXPECT_THAT(html, Not(HasSubstr("<script>alert")));
}

TEST_F(HeadlinesPageTest, ByPaperHasAHeadingEachWithItsNewCountAndTheUpdateKeepsTextAsText)
{
    m_view.order = HeadlinesOrder::ByPaper;
    std::swap(m_view.headlines[1], m_view.headlines[2]); // as the store orders them
    const std::string html = HeadlinesPageHtml(m_view);
    EXPECT_THAT(Texts(html, "//section[ul[@class='list']]/h2"),
                ElementsAre("Alpha <Times> 2 new", "Beta 1 new"));
    EXPECT_THAT(Texts(html, "//a[@aria-current]"), ElementsAre("By paper"));
    EXPECT_THAT(Texts(html, "//section[ul[@class='list']][2]//a"),
                ElementsAre("Bad \xef\xbf\xbd bytes, Beta, 3 h ago", "Last week, Beta, 7 Jun"));

    const std::string script = HeadlinesUpdateScript(m_view);
    EXPECT_THAT(script, Not(HasSubstr("<")));
    EXPECT_THAT(script, HasSubstr("&quot;flood&quot;"));
    EXPECT_THAT(script, HasSubstr("class=\\\"title\\\"")); // no quote ends the string early
    EXPECT_THAT(script, Not(HasSubstr("\n")));
}

TEST(HeadlinesAddressTest, RelativeTimesAndWhatEachAddressAsksFor)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const std::time_t noon = 1'750'075'200; // Monday 16 June 2025, 12:00 UTC
    EXPECT_EQ(RelativeTime(noon - 30, noon), "just now");
    EXPECT_EQ(RelativeTime(noon + 600, noon), "just now");
    EXPECT_EQ(RelativeTime(noon - 59 * 60, noon), "59 min ago");
    EXPECT_EQ(RelativeTime(noon - 11 * kHour, noon), "11 h ago");
    EXPECT_EQ(RelativeTime(noon - 13 * kHour, noon), "yesterday");
    EXPECT_EQ(RelativeTime(noon - 3 * 24 * kHour, noon), "3 days ago");
    EXPECT_EQ(RelativeTime(noon - 200 * 24 * kHour, noon), "28 Nov 2024");

    using Action = HeadlinesRequest::Action;
    const auto parsed = [](const char* address) {
        std::optional<HeadlinesRequest> request = ParseHeadlinesAddress(address);
        return request ? std::make_pair(request->action, request->order)
                       : std::make_pair(Action::Show, static_cast<HeadlinesOrder>(-1));
    };
    EXPECT_EQ(parsed("lumo://headlines"),
              std::make_pair(Action::Show, HeadlinesOrder::NewestFirst));
    EXPECT_EQ(parsed("lumo://headlines/?sort=paper#x"),
              std::make_pair(Action::Show, HeadlinesOrder::ByPaper));
    EXPECT_EQ(parsed(MarkAllReadAddress(HeadlinesOrder::ByPaper).c_str()),
              std::make_pair(Action::MarkAllRead, HeadlinesOrder::ByPaper));
    EXPECT_FALSE(ParseHeadlinesAddress("lumo://headlinesx"));
    EXPECT_FALSE(ParseHeadlinesAddress("lumo://headlines/other"));
    EXPECT_FALSE(ParseHeadlinesAddress("lumo://start/index.html"));
}

} // namespace
} // namespace headlines
