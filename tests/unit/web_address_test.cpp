// Addresses as the web pane loads them, and its failure page.
#include <gtest/gtest.h>

#include "browser/core/web_address.h"

using namespace lumo;

TEST(WebAddressTest, TypedAddressesBecomeLoadableAndPlainOnesAreTriedSecureFirst)
{
    EXPECT_EQ(NormalizeAddress("  www.example.com "), "http://www.example.com");
    EXPECT_EQ(NormalizeAddress("localhost:8080/news"), "http://localhost:8080/news");
    EXPECT_EQ(NormalizeAddress("https://example.com/a"), "https://example.com/a");
    EXPECT_EQ(NormalizeAddress("mailto:desk@example.com"), "mailto:desk@example.com");
    EXPECT_EQ(NormalizeAddress(""), "about:blank");
    EXPECT_EQ(NormalizeAddress(" \t"), "about:blank");

    EXPECT_EQ(SecureFirstAddress("http://www.example.com/x?y=1"), "https://www.example.com/x?y=1");
    EXPECT_EQ(SecureFirstAddress("HTTP://Example.com:80/"), "https://Example.com/");
    EXPECT_EQ(SecureFirstAddress("http://127.0.0.1:8080/"), "https://127.0.0.1:8080/");
    EXPECT_EQ(SecureFirstAddress("https://example.com/"), std::nullopt);
    EXPECT_EQ(SecureFirstAddress("file:///tmp/readme.htm"), std::nullopt);

    EXPECT_EQ(HostOf("https://user@News.Example.com:8443/path"), "news.example.com");
    EXPECT_EQ(HostOf("http://[::1]:80/"), "[::1]");
    EXPECT_EQ(HostOf("mailto:desk@example.com"), "");

    EXPECT_EQ(RouteOf("https://example.com"), SchemeRoute::Shown);
    EXPECT_EQ(RouteOf("lumo://start/"), SchemeRoute::Shown);
    EXPECT_EQ(RouteOf("about:blank"), SchemeRoute::Shown);
    EXPECT_EQ(RouteOf("file:///etc/passwd"), SchemeRoute::Local);
    EXPECT_EQ(RouteOf("mailto:desk@example.com"), SchemeRoute::Outside);
    EXPECT_EQ(RouteOf("TEL:+15550100"), SchemeRoute::Outside);
    EXPECT_EQ(RouteOf("magnet:?xt=urn:btih:abc"), SchemeRoute::Outside);
}

TEST(WebAddressTest, FailurePageKeepsNameAndAddressAndEscapesThem)
{
    std::string name = "Le <Monde> & \"Co\"";
    std::string address = "http://example.com/a?b=1&c=<2>#top";
    std::string page = FailurePageAddress(address, name, FailureReason::TimedOut);
    std::optional<FailurePage> parsed = ParseFailurePageAddress(page);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->name, name);
    EXPECT_EQ(parsed->address, address);
    EXPECT_EQ(parsed->reason, FailureReason::TimedOut);
    EXPECT_FALSE(ParseFailurePageAddress("lumo://start/index.html"));

    std::string html = FailurePageHtml(*parsed);
    EXPECT_NE(html.find("<title>Le &lt;Monde&gt; &amp; &quot;Co&quot;</title>"), std::string::npos);
    EXPECT_NE(html.find(std::string(ReasonText(FailureReason::TimedOut))), std::string::npos);
    EXPECT_NE(html.find(std::string("href=\"") + kFailureRetryAddress +
                        "\" title=\"http://example.com/a?b=1&amp;c=&lt;2&gt;#top\">Try again"),
              std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);

    // An address the pane must not load gets no link, whatever a page put there.
    FailurePage hostile{"javascript:alert(1)", "", FailureReason::Other, ""};
    html = FailurePageHtml(hostile);
    EXPECT_EQ(html.find("href=\"javascript"), std::string::npos);
    EXPECT_EQ(html.find("Try again"), std::string::npos);
}

TEST(WebAddressTest, ScriptAndDataAddressesAreRefusedHoweverTheyAreWritten)
{
    for (const char* refused :
         {"javascript:document.title='x'+document.cookie", "JavaScript:alert(1)",
          " \x01\x1f javascript:alert(1)", "java\tscr\nipt:alert(1)", "\r\njavascript:void 0",
          "data:text/html,<script>alert(1)</script>", "DATA:,x", "blob:https://a.example/0-1"})
        EXPECT_TRUE(IsRefusedAddress(refused)) << refused;
    for (const char* allowed :
         {"https://example.com/javascript:x", "http://a/?u=data:x", "www.javascript.com",
          "javascripts:x", "about:blank", "", "localhost:8080/data"})
        EXPECT_FALSE(IsRefusedAddress(allowed)) << allowed;
}

// However the field's name is written, nothing asks the mail program to
// attach a file, and only a mail's own fields are handed on.
TEST(WebAddressTest, MailAddressesKeepOnlyTheFieldsOfAMail)
{
    for (const char* url :
         {"mailto:a@b.example?attach=/etc/passwd", "mailto:a@b.example?%61ttach=/etc/passwd",
          "mailto:a@b.example?subject=x&%41TTACHMENT=%2Fetc%2Fpasswd",
          "mailto:a@b.example%3Fattach=/etc/passwd", "MAILTO:a@b.example?Attach+=x"})
        EXPECT_EQ(MailAddressForDesktop(url), std::nullopt) << url;
    EXPECT_EQ(MailAddressForDesktop("mailto:a@b.example?subject=Hi%20there&X-Mailer=evil&body=b"
                                    "&%43c=c@b.example&in-reply-to=%3Cid%3E#top"),
              "mailto:a@b.example?subject=Hi%20there&body=b&cc=c@b.example&in-reply-to=%3Cid%3E");
    EXPECT_EQ(MailAddressForDesktop("mailto:desk@example.com"), "mailto:desk@example.com");
    EXPECT_EQ(MailAddressForDesktop("https://example.com/?attach=x"), std::nullopt);
}

// A title shows on one line with nothing invisible in it.
TEST(WebAddressTest, TitlesLoseSeparatorsAndInvisibleFormatCharacters)
{
    EXPECT_EQ(CleanTitle("Morning\u2028Edition\u2029Today"), "Morning Edition Today");
    EXPECT_EQ(CleanTitle("\u202eSport\u200b\u2060 News\u00ad\ufeff\U000e0041"), "Sport News");
    EXPECT_EQ(CleanTitle("Caf\u00e9 \u2014 \u65e5\u520a \xff\xfe"),
              "Caf\u00e9 \u2014 \u65e5\u520a ");
}
