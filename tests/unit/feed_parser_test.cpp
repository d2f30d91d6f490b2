// Feeds as newspapers publish them: the three formats, the faults real feeds
// have, what makes an item the same item, the dates they write, and
// documents that are no feed or are hostile.
#include "headlines/core/feed_dates.h"
#include "headlines/core/feed_parser.h"
#include "headlines/core/plain_text.h"

#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>

namespace headlines {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kFeedAddress = "https://news.example.com/feeds/main.xml";

ParsedFeed Parse(const std::string& bytes)
{
    FeedParseResult result = ParseFeed(bytes, kFeedAddress);
    EXPECT_EQ(result.error, "");
    return result.feed.value_or(ParsedFeed{});
}

std::string Rss(const std::string& items)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
           "<title>The Daily</title><link>https://news.example.com/</link>" +
           items + "</channel></rss>";
}

// UTF-16 with a byte order mark, for ASCII text: what libxml2 reads without
// any mending beforehand.
std::string Utf16(const std::string& ascii)
{
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii)
        bytes += {c, '\0'};
    return bytes;
}

std::string AllText(const ParsedFeed& feed)
{
    std::string text = feed.title + "\n" + feed.link + "\n";
    for (const FeedItem& item : feed.items)
        text += item.identity + "\n" + item.title + "\n" + item.link + "\n" + item.summary + "\n";
    return text;
}

TEST(FeedParserTest, ReadsRss2)
{
    const ParsedFeed feed = Parse(Rss(
        "<item><title>Storm hits coast</title><link>/2024/storm</link>"
        "<description>&lt;p&gt;Winds of &lt;b&gt;120&lt;/b&gt; km/h.&lt;/p&gt;</description>"
        "<guid isPermaLink=\"false\">storm-1</guid><pubDate>Sat, 07 Sep 2002 09:42:31 GMT</pubDate>"
        "</item><item xml:base=\"/world/\"><title>Second</title><link>b</link></item>"));
    EXPECT_EQ(feed.title, "The Daily");
    EXPECT_EQ(feed.link, "https://news.example.com/");
    ASSERT_EQ(feed.items.size(), 2u);
    EXPECT_EQ(feed.items[0].title, "Storm hits coast");
    EXPECT_EQ(feed.items[0].link, "https://news.example.com/2024/storm");
    EXPECT_EQ(feed.items[0].summary, "Winds of 120 km/h.");
    EXPECT_EQ(feed.items[0].identity, "storm-1");
    EXPECT_EQ(feed.items[0].published, 1031391751);
    EXPECT_EQ(feed.items[1].link, "https://news.example.com/world/b");
    EXPECT_EQ(feed.items[1].published, 0);
}

TEST(FeedParserTest, ReadsRss1AndRss090WithItemsBesideTheChannel)
{
    const ParsedFeed rss1 =
        Parse("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
              "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
              "<channel rdf:about=\"https://news.example.com/\"><title>RDF Daily</title>"
              "<link>https://news.example.com/</link></channel>"
              "<item rdf:about=\"https://news.example.com/a\"><title>First</title>"
              "<link>https://news.example.com/a</link><description>One</description>"
              "<dc:date>2003-12-13T18:30:02+01:00</dc:date></item></rdf:RDF>");
    EXPECT_EQ(rss1.title, "RDF Daily");
    ASSERT_EQ(rss1.items.size(), 1u);
    EXPECT_EQ(rss1.items[0].identity, "https://news.example.com/a");
    EXPECT_EQ(rss1.items[0].summary, "One");
    EXPECT_EQ(rss1.items[0].published, 1071336602);

    const ParsedFeed rss090 = Parse(
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://my.netscape.com/rdf/simple/0.9/\"><channel><title>Old</title></channel>"
        "<item><title>Ninety</title><link>http://news.example.com/90</link></item></rdf:RDF>");
    ASSERT_EQ(rss090.items.size(), 1u);
    EXPECT_EQ(rss090.items[0].identity, "http://news.example.com/90");

    const ParsedFeed userland = Parse("<rss xmlns=\"http://backend.userland.com/rss2\"><channel>"
                                      "<item><title>Namespaced</title></item></channel></rss>");
    ASSERT_EQ(userland.items.size(), 1u);
}

TEST(FeedParserTest, ReadsAtomWithItsTextTypesLinksAndBases)
{
    const ParsedFeed feed =
        Parse("<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"https://blog.example.net/\">"
              "<title type=\"html\">Tom &amp;amp; Jerry</title>"
              "<link rel=\"self\" href=\"/atom.xml\"/><link href=\"/\"/>"
              "<entry xml:base=\"posts/\"><id>tag:blog,2024:1</id><title>a &lt;b&gt; c</title>"
              "<link rel=\"edit\" href=\"edit/1\"/><link rel=\"alternate\" href=\"one.html\"/>"
              "<updated>2003-12-13T18:30:00Z</updated><published>2003-12-01</published>"
              "<summary type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\"><p>Para one</p>"
              "<p>two <b>bold</b>er</p></div></summary></entry>"
              "<entry><id>tag:blog,2024:2</id><title type=\"text\">Updated only</title>"
              "<updated>2003-12-13T18:30:00Z</updated>"
              "<content type=\"html\">&lt;p&gt;Body&lt;/p&gt;</content></entry></feed>");
    EXPECT_EQ(feed.title, "Tom & Jerry");
    EXPECT_EQ(feed.link, "https://blog.example.net/");
    ASSERT_EQ(feed.items.size(), 2u);
    EXPECT_EQ(feed.items[0].title, "a <b> c"); // Atom text is text, markup included
    EXPECT_EQ(feed.items[0].link, "https://blog.example.net/posts/one.html");
    EXPECT_EQ(feed.items[0].summary, "Para one two bolder");
    EXPECT_EQ(feed.items[0].published, 1070236800);
    EXPECT_EQ(feed.items[1].published, 1071340200);
    EXPECT_EQ(feed.items[1].summary, "Body");
    EXPECT_EQ(feed.items[1].link, "");
}

TEST(FeedParserTest, ToleratesTheFaultsOfRealFeeds)
{
    // A bare ampersand, HTML's named references and a control character,
    // none of which XML allows.
    const ParsedFeed loose = Parse(Rss("<item><title>AT&T&nbsp;wins \x0B Q&amp;A</title>"
                                       "<link>https://news.example.com/?a=1&b=2</link></item>"));
    ASSERT_EQ(loose.items.size(), 1u);
    EXPECT_EQ(loose.items[0].title, "AT&T wins Q&A");
    EXPECT_EQ(loose.items[0].link, "https://news.example.com/?a=1&b=2");

    // Latin-1 bytes with no encoding declared.
    const ParsedFeed latin1 =
        Parse("<rss><channel><title>Caf\xE9 du matin</title></channel></rss>");
    EXPECT_EQ(latin1.title, "Caf\u00e9 du matin");

    // CDATA holding HTML, a byte order mark, and a feed cut off mid-item.
    const ParsedFeed cut =
        Parse("\xEF\xBB\xBF<rss><channel><item><title><![CDATA[<em>Big</em> &amp; bold]]></title>"
              "<link>https://news.example.com/1</link></item><item><title>Second</title>"
              "<link>https://news.exa");
    ASSERT_GE(cut.items.size(), 1u);
    EXPECT_EQ(cut.items[0].title, "Big & bold");

    // A declared encoding is kept.
    const ParsedFeed declared =
        Parse("<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?><rss><channel><title>Prix "
              "\xA4</title></channel></rss>");
    EXPECT_EQ(declared.title, "Prix \u20ac");

    // A stray byte inside a tag of a UTF-8 document: libxml2 recovers and
    // passes it on, the text keeps U+FFFD instead.
    const ParsedFeed stray = Parse(Rss("<item><title>One</title\x86><description>"
                                       "<p>Para</p\x86><p>two</p></description></item>"));
    const std::string strayText = AllText(stray);
    EXPECT_EQ(ReplaceInvalidUtf8(strayText), strayText);
    EXPECT_THAT(strayText, HasSubstr("One"));

    // UTF-16, which the mending above must leave alone.
    const ParsedFeed wide =
        Parse(Utf16("<rss><channel><title>Wide &amp; far</title></channel></rss>"));
    EXPECT_EQ(wide.title, "Wide & far");
}

TEST(FeedParserTest, TitlesAndSummariesArePlainShortText)
{
    std::string longText;
    for (int i = 0; i < 80; ++i)
        longText += "\u00e9t\u00e9 "; // two-byte characters across the cut
    const ParsedFeed feed = Parse(Rss(
        "<item><title>  Line\n\tbreaks &amp;#8217;quoted&amp;#x2019; &amp;eacute; &amp;bogus;"
        "</title><description>&lt;script&gt;alert(1)&lt;/script&gt;&lt;style&gt;p{}&lt;/style&gt;"
        "&lt;!-- note --&gt;A&lt;br&gt;B &amp;lt;tag&amp;gt; 1 &lt; 2</description></item>"
        "<item><title>Long</title><description>" +
        longText + "</description></item>"));
    ASSERT_EQ(feed.items.size(), 2u);
    EXPECT_EQ(feed.items[0].title, "Line breaks \u2019quoted\u2019 \u00e9 &bogus;");
    EXPECT_EQ(feed.items[0].summary, "A B <tag> 1 < 2");

    const std::string& summary = feed.items[1].summary;
    EXPECT_THAT(summary, testing::EndsWith("\u00e9t\u00e9\u2026")); // at a word's end
    EXPECT_LE(summary.size(), kSummaryLength * 2 + 3);
    EXPECT_GE(summary.size(), kSummaryLength);
}

TEST(FeedParserTest, AnItemIsKnownByItsGuidElseItsLinkElseItsTitleAndDate)
{
    const ParsedFeed feed = Parse(
        Rss("<item><guid>https://news.example.com/p/1</guid><title>Permalink guid</title></item>"
            "<item><guid>urn:uuid:2</guid><link>https://news.example.com/2</link></item>"
            "<item><link>https://news.example.com/3</link><title>Link only</title></item>"
            "<item><title>Title only</title><pubDate>Sat, 07 Sep 2002 09:42:31 GMT</pubDate></item>"
            "<item><title>Title only</title><pubDate>Sun, 08 Sep 2002 09:42:31 GMT</pubDate></item>"
            "<item><guid>urn:uuid:2</guid><title>Repeated guid</title></item>"
            "<item><description></description></item>"));
    ASSERT_EQ(feed.items.size(), 5u);
    EXPECT_EQ(feed.items[0].identity, "https://news.example.com/p/1");
    EXPECT_EQ(feed.items[0].link, "https://news.example.com/p/1");
    EXPECT_EQ(feed.items[1].identity, "urn:uuid:2");
    EXPECT_EQ(feed.items[2].identity, "https://news.example.com/3");
    EXPECT_NE(feed.items[3].identity, feed.items[4].identity);
    EXPECT_THAT(feed.items[3].identity, StartsWith("Title only"));
}

TEST(FeedParserTest, KeepsOnlyWebLinks)
{
    const ParsedFeed feed =
        Parse(Rss("<link>javascript:alert(1)</link>"
                  "<item><title>a</title><link>javascript:alert(1)</link></item>"
                  "<item><title>b</title><link> data:text/html,x</link></item>"
                  "<item><title>c</title><link>mailto:desk@example.com</link></item>"
                  "<item><title>d</title><link>file:///etc/passwd</link></item>"
                  "<item><title>e</title><link>\n  HTTPS://news.example.com/e  \n</link></item>"));
    ASSERT_EQ(feed.items.size(), 5u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(feed.items[i].link, "") << feed.items[i].title;
    EXPECT_EQ(feed.items[4].link, "HTTPS://news.example.com/e");
    EXPECT_EQ(feed.link, "https://news.example.com/"); // the first, good, channel link
}

TEST(FeedParserTest, ReadsTheDateFormsFeedsWrite)
{
    const std::vector<std::pair<std::string, std::time_t>> forms = {
        {"Sat, 07 Sep 2002 09:42:31 GMT", 1031391751},
        {"Sat, 07 Sep 2002 09:42:31 +0200", 1031384551},
        {"7 Sep 2002 09:42 EST", 1031409720},
        {"Saturday, 07 September 2002 09:42:31 PDT", 1031416951},
        {"Sat, 7 Sep 02 09:42:31 Z", 1031391751},
        {"Sat, 07 Sep 2002 09:42:31 +02:00", 1031384551},
        {"Sat, 07 Sep 2002", 1031356800},
        {"Sat, 07 Sep 2002 09:42 +0530", 1031371920},
        {"2002-09-07T09:42:31Z", 1031391751},
        {"2002-09-07T11:42:31.250+02:00", 1031391751},
        {"2002-09-07 09:42:31", 1031391751},
        {"2024-02-29T23:59:59z", 1709251199},
        {"2003-12-01", 1070236800},
        {"2003", 1041379200},
        {"", 0},
        {"yesterday", 0},
        {"Sat, 31 Feb 2002 09:42:31 GMT", 0},
        {"2002-13-07T09:42:31Z", 0},
        {"2002-09-07T25:42:31Z", 0},
        {"Sat, 07 Foo 2002 09:42:31 GMT", 0},
        {"1969-12-31T00:00:00Z", 0},
    };
    for (const auto& [text, expected] : forms)
        EXPECT_EQ(ParseFeedDate(text), expected) << text;
}

TEST(FeedParserTest, RefusesWhatIsNoFeedWithAReason)
{
    const std::vector<std::pair<std::string, std::string>> documents = {
        {"", "empty"},
        {" \n", "empty"},
        {"<!DOCTYPE html><html><head><title>x</title></head><body><p>Hi</body></html>", "web page"},
        {"<?xml version=\"1.0\"?><note><to>x</to></note>", "<note>"},
        {"\x89PNG\r\n\x1a\n\0\0\0\rIHDR", "not XML"},
        {std::string(kMaxFeedSize + 1, ' ') + "<rss/>", "larger than"},
    };
    for (const auto& [bytes, reason] : documents) {
        const FeedParseResult result = ParseFeed(bytes, kFeedAddress);
        EXPECT_FALSE(result.feed);
        EXPECT_THAT(result.error, StartsWith("not a feed: "));
        EXPECT_THAT(result.error, HasSubstr(reason));
    }
}

TEST(FeedParserTest, HostileFeedsExpandNothingAndReadNoFiles)
{
    lumo::test::TempDir dir;
    const std::string secret = dir.File("secret.txt");
    lumo::test::WriteFile(secret, "SECRET");
    lumo::test::WriteFile(dir.File("evil.dtd"), "<!ENTITY leak \"DTD-SECRET\">");

    std::string laughs = "<!DOCTYPE rss [<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 10; ++i)
        laughs += "<!ENTITY l" + std::to_string(i) + " \"" + [&] {
            std::string ten;
            for (int k = 0; k < 10; ++k)
                ten += "&l" + std::to_string(i - 1) + ";";
            return ten;
        }() + "\">";
    const std::string parameterLaughs =
        "<!DOCTYPE rss [<!ENTITY % a \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">"
        "<!ENTITY % b \"%a;%a;%a;%a;%a;%a;%a;%a;%a;%a;%a;%a;%a;%a;%a;%a;\">"
        "<!ENTITY % c \"%b;%b;%b;%b;%b;%b;%b;%b;%b;%b;%b;%b;%b;%b;%b;%b;\">"
        "<!ENTITY % d \"%c;%c;%c;%c;%c;%c;%c;%c;%c;%c;%c;%c;%c;%c;%c;%c;\">"
        "<!ENTITY big \"%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;%d;\">";
    const std::string laughsFeed =
        laughs + "]><rss><channel><item><title>&l9;</title></item></channel></rss>";
    const std::vector<std::string> documents = {
        laughsFeed,
        Utf16(laughsFeed),
        parameterLaughs + "]><rss><channel><item><title>&big;&big;</title></item></channel></rss>",
        "<!DOCTYPE rss [<!ENTITY f SYSTEM \"file://" + secret +
            "\">]><rss><channel><item><title>a &f;</title></item></channel></rss>",
        "<!DOCTYPE rss SYSTEM \"" + dir.File("evil.dtd") +
            "\"><rss><channel><item><title>&leak;</title></item></channel></rss>",
    };
    for (const std::string& bytes : documents) {
        const FeedParseResult result = ParseFeed(bytes, kFeedAddress);
        if (!result.feed)
            continue; // refusing is as good as reading nothing
        const std::string text = AllText(*result.feed);
        EXPECT_LT(text.size(), 1000u);
        EXPECT_THAT(text, Not(HasSubstr("SECRET")));
        EXPECT_THAT(text, Not(HasSubstr("lollol")));
    }
}

TEST(FeedParserTest, ParsesOnSeveralThreadsAtOnce)
{
    std::string items;
    for (int i = 0; i < 200; ++i)
        items += "<item><title>T&amp;" + std::to_string(i) + "</title><link>/" + std::to_string(i) +
                 "</link></item>";
    const std::string feed = Rss(items);
    const std::string expected = AllText(Parse(feed));
    std::vector<std::future<std::string>> runs;
    for (int t = 0; t < 4; ++t)
        runs.push_back(std::async(std::launch::async, [&] {
            std::string last;
            for (int k = 0; k < 20; ++k)
                last = AllText(ParseFeed(feed, kFeedAddress).feed.value_or(ParsedFeed{}));
            return last;
        }));
    for (auto& run : runs)
        EXPECT_EQ(run.get(), expected);
}

} // namespace
} // namespace headlines
