// The reader view's page: what is kept of an article's markup, and the page
// around it.
#include <gtest/gtest.h>

#include "browser/core/reader_page.h"

using namespace lumo;

TEST(ReaderPageTest, SanitizerKeepsTextAndImagesAndRemovesEverythingActive)
{
    const std::string clean = SanitizeArticleHtml(
        "<div id='readability-page-1' class='page'>"
        "<h2 onclick='steal()' class='x' style='color:red'>Storm &amp; flood</h2>"
        "<p onmouseover=\"alert(1)\">Rain <b>fell</b> on <a href=' https://news.example/more '"
        " target='_blank' onclick='x()'>Tuesday</a> and "
        "<a href='javascript:alert(1)'>then</a> <a href='JaVaScRiPt:alert(2)'>more</a> "
        "<a href='java\tscript:alert(3)'>still</a> <a href='data:text/html,x'>data</a>.</p>"
        "<script>document.cookie</script><style>body{display:none}</style>"
        "<iframe src='https://ads.example/frame'>framed</iframe>"
        "<object data='https://ads.example/a.swf'>flash</object><embed src='x.swf'>"
        "<form action='https://evil.example/'><input name='q'><button>Go</button></form>"
        "<video src='https://cdn.example/v.mp4'>video text</video>"
        "<svg><script>alert(4)</script></svg>"
        "<figure><img src='https://img.example/a.jpg' alt='Flooded &quot;street&quot;' "
        "width='640' height='abc' onerror='alert(5)' srcset='https://evil.example/b.jpg 2x'>"
        "<figcaption>The street</figcaption></figure>"
        "<img src='data:image/png;base64,iVBORw0KGgo='>"
        "<img src='javascript:alert(6)'><img src='ftp://files.example/c.jpg'><img>"
        "<img src='data:text/html;base64,PHNjcmlwdD4='>"
        "<link rel='stylesheet' href='https://evil.example/s.css'>"
        "<custom-widget>Inside text</custom-widget><!-- a comment -->"
        "<table><tr><td colspan='2' bgcolor='red'>cell</td></tr></table>"
        "<p>Ünïcödé — text &lt;kept&gt;</p>"
        "</div>");

    // Text and structure stay, escaped as needed.
    EXPECT_NE(clean.find("<h2>Storm &amp; flood</h2>"), std::string::npos) << clean;
    EXPECT_NE(
        clean.find("<p>Rain <b>fell</b> on <a href=\"https://news.example/more\">Tuesday</a>"),
        std::string::npos)
        << clean;
    EXPECT_NE(clean.find("<p>Ünïcödé — text &lt;kept&gt;</p>"), std::string::npos) << clean;
    EXPECT_NE(clean.find("Inside text"), std::string::npos) << clean;
    EXPECT_NE(clean.find("<td colspan=\"2\">cell</td>"), std::string::npos) << clean;
    // Links other than http and https keep their text only.
    for (const char* text : {">then</a>", ">more</a>", ">still</a>", ">data</a>"})
        EXPECT_NE(clean.find(text), std::string::npos) << text << '\n' << clean;
    EXPECT_EQ(clean.find("href=\"java"), std::string::npos) << clean;
    EXPECT_EQ(clean.find("href=\"data"), std::string::npos) << clean;
    // The article's images stay, with the attributes that may stay.
    EXPECT_NE(clean.find("<figure><img src=\"https://img.example/a.jpg\" "
                         "alt=\"Flooded &quot;street&quot;\" width=\"640\">"
                         "<figcaption>The street</figcaption></figure>"),
              std::string::npos)
        << clean;
    EXPECT_NE(clean.find("<img src=\"data:image/png;base64,iVBORw0KGgo=\">"), std::string::npos)
        << clean;
    // No image of another source, and nothing active anywhere.
    EXPECT_EQ(clean.find("<img src=\"javascript"), std::string::npos) << clean;
    EXPECT_EQ(clean.find("ftp:"), std::string::npos) << clean;
    EXPECT_EQ(clean.find("data:text"), std::string::npos) << clean;
    EXPECT_EQ(clean.find("<img>"), std::string::npos) << clean;
    for (const char* gone :
         {"<script",     "document.cookie", "<style",  "display:none", "<iframe", "framed",
          "<object",     "flash",           "<embed",  "<form",        "<input",  "<button",
          "<video",      "video text",      "<svg",    "alert(4)",     "<link",   "evil.example",
          "ads.example", "onclick",         "onerror", "onmouseover",  "style=",  "class=",
          "id=",         "target=",         "srcset",  "bgcolor",      "<!--",    "<custom-widget",
          "abc"})
        EXPECT_EQ(clean.find(gone), std::string::npos) << gone << '\n' << clean;
}

TEST(ReaderPageTest, SanitizerSurvivesBrokenAndDeeplyNestedMarkup)
{
    EXPECT_EQ(SanitizeArticleHtml(""), "");
    EXPECT_EQ(SanitizeArticleHtml("<p>open <b>never closed"), "<p>open <b>never closed</b></p>");
    // An attribute value cannot break out of its quotes.
    const std::string quoted =
        SanitizeArticleHtml("<a href='https://x.example/\"><script>alert(1)</script>'>x</a>");
    EXPECT_EQ(quoted.find("<script"), std::string::npos) << quoted;
    // What follows an element that the parser takes for a container (embed,
    // source, wbr) is not lost with it.
    EXPECT_EQ(SanitizeArticleHtml("<p>a<embed src='x.swf'>b<wbr>c</p><picture><source srcset='s'>"
                                  "<img src='https://i.example/p.jpg'></picture><p>after</p>"),
              "<p>abc</p><img src=\"https://i.example/p.jpg\"><p>after</p>");
    // Deep nesting is flattened, its text kept and its tags balanced.
    std::string deep;
    for (int i = 0; i < 250; ++i)
        deep += "<div>";
    deep += "bottom";
    const std::string flat = SanitizeArticleHtml(deep);
    EXPECT_NE(flat.find("bottom"), std::string::npos);
    size_t opened = 0, closed = 0;
    for (size_t at = flat.find("<div>"); at != std::string::npos; at = flat.find("<div>", at + 1))
        ++opened;
    for (size_t at = flat.find("</div>"); at != std::string::npos; at = flat.find("</div>", at + 1))
        ++closed;
    EXPECT_EQ(opened, closed);
    EXPECT_LT(opened, 250u);
    // However deep, nothing after the deep part is lost.
    for (int levels : {300, 1500}) {
        std::string deeper = "<p>before</p>";
        for (int i = 0; i < levels; ++i)
            deeper += i % 2 ? "<div>" : "<span>";
        deeper += "bottom";
        for (int i = levels - 1; i >= 0; --i)
            deeper += i % 2 ? "</div>" : "</span>";
        deeper += "<p>after the deep part</p><p>the last word</p>";
        const std::string kept = SanitizeArticleHtml(deeper);
        for (const char* text : {"before", "bottom", "after the deep part", "the last word"})
            EXPECT_NE(kept.find(text), std::string::npos) << levels << ": " << text;
    }
}

TEST(ReaderPageTest, PageShowsTheArticleUnderAStrictPolicyWithItsSourceAndDate)
{
    ReaderArticle article;
    article.title = "Council <votes> on bridge";
    article.byline = "By Ann O'Neil";
    article.published = "2026-03-14T09:30:00Z";
    article.siteName = "The Daily Example";
    article.pageTitle = "Council votes on bridge | Local news";
    article.address = "https://daily.example/bridge?id=1&x=2";
    article.lang = "en\" onload=\"x";
    article.dir = "rtl";
    article.content = "<p onclick='x()'>The council met.</p><script>alert(1)</script>";
    const std::string page = ReaderPageHtml(article, "soft");

    EXPECT_NE(page.find("content=\"default-src 'none'; img-src http: https: data:; "
                        "style-src lumo://start/reader.css;"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<html dir=\"rtl\" data-skin=\"soft\">"), std::string::npos) << page;
    EXPECT_NE(page.find("<title>Council votes on bridge | Local news - The Daily Example</title>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<h1>Council &lt;votes&gt; on bridge</h1>"), std::string::npos) << page;
    EXPECT_NE(page.find("<span class=\"paper\">The Daily Example</span>"), std::string::npos);
    EXPECT_NE(page.find("href=\"https://daily.example/bridge?id=1&amp;x=2\""), std::string::npos);
    EXPECT_NE(page.find("By Ann O&#39;Neil</span> \u00b7 <time>14 March 2026</time>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("<p>The council met.</p>"), std::string::npos) << page;
    EXPECT_EQ(page.find("alert"), std::string::npos) << page;
    EXPECT_EQ(page.find("onload"), std::string::npos) << page;

    // A title that names the paper already keeps to itself; a page's address
    // of another scheme is no link.
    article.pageTitle = "Bridge vote - The Daily Example";
    article.address = "javascript:alert(1)";
    const std::string other = ReaderPageHtml(article, "\"><script>");
    EXPECT_NE(other.find("<title>Bridge vote - The Daily Example</title>"), std::string::npos);
    EXPECT_EQ(other.find("class=\"original\""), std::string::npos) << other;
    EXPECT_NE(other.find("data-skin=\"mini\""), std::string::npos) << other;
    EXPECT_EQ(ReaderDate("Tuesday morning"), "Tuesday morning");
    EXPECT_EQ(ReaderDate("2026-13-01"), "2026-13-01");
}
