// The Headlines page on a real window and database, with papers and feeds on
// a local server: a favorite added has its feed found from its page, its
// headlines show, Enter on one opens the article and keeps it read (also
// after the program starts again), and a feed that fails says why.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include <wx/webview.h>

#include "app/main_frame.h"
#include "app/view_commands.h"
#include "browser/pane/browser_view.h"
#include "common/app_paths.h"
#include "directory/left_view.h"
#include "favorites/favorites_store.h"
#include "gui_test_support.h"
#include "headlines/core/headlines_store.h"
#include "local_web_server.h"
#include "main_frame_fixture.h"
#include "temp_dir.h"

#include <gdk/gdkkeysyms.h>
#include <webkit2/webkit2.h>

using namespace lumo;

namespace {

std::string Rss(const std::string& base)
{
    std::string items;
    for (const char* story : {"Mill reopens", "Bridge vote", "County fair"}) {
        std::string slug = story;
        slug = slug.substr(0, slug.find(' '));
        items += "<item><title>" + std::string(story) + "</title><link>" + base + slug +
                 ".html</link><guid>" + slug + "</guid><pubDate>Mon, 07 Dec 2026 09:00:00 " +
                 "GMT</pubDate></item>";
    }
    return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Alpha</title><link>" +
           base + "</link>" + items + "</channel></rss>";
}

std::string PaperPage(const std::string& feed)
{
    return "<html><head><title>Paper</title><link rel=\"alternate\" "
           "type=\"application/rss+xml\" href=\"" +
           feed + "\"></head><body>Front page</body></html>";
}

class HeadlinesTest : public lumo::test::MainFrameFixture
{
protected:
    void SetUp() override
    {
        MainFrameFixture::SetUp();
        m_dataHome.emplace("XDG_DATA_HOME", m_dir.File("data"));
        m_server.Route("/alpha/", {200, "text/html", PaperPage("feed.xml")});
        m_server.Route("/alpha/feed.xml",
                       {200, "application/rss+xml", Rss(m_server.Url("/alpha/"))});
        m_server.Route("/alpha/Mill.html",
                       {200, "text/html", "<html><head><title>Mill</title></head></html>"});
        m_server.Route("/beta/", {200, "text/html", PaperPage("/beta/rss")});
        m_server.Route("/beta/rss", {500, "text/plain", "down"});
    }

    void TearDown() override
    {
        MainFrameFixture::TearDown();
        m_dataHome.reset();
    }

    CLumoNewsReaderView& Pane() { return *m_frame->HtmlView(); }

    // The page's answer to `script`, run as the engine runs its own scripts
    // (the page's policy allows no eval).
    std::string Script(const std::string& script)
    {
        return Pane().WebView() ? lumo::test::EvaluateInView(Pane().WebView(), script) : "";
    }

    void ShowHeadlines()
    {
        ASSERT_TRUE(lumo::test::WaitFor([&] { return Pane().HasPage(); }));
        wxCommandEvent command(wxEVT_MENU, ID_HEADLINES);
        m_frame->ProcessWindowEvent(command);
        ASSERT_TRUE(lumo::test::WaitFor(
            [&] { return Pane().PageAddress().starts_with("lumo://headlines"); }));
    }

    // The text of the headline links on the page, one per line.
    std::string Headlines()
    {
        return Script("Array.from(document.querySelectorAll('a[data-item]'))"
                      ".map(a => a.textContent).join('\\n')");
    }

    lumo::test::LocalWebServer m_server;
    std::optional<lumo::test::ScopedEnvironment> m_dataHome;
};

TEST_F(HeadlinesTest, FoundFeedsShowOpenAndStayReadAcrossARestart)
{
    const FavoritesStore favorites(FavoritesFilePath(), m_reporter);
    ASSERT_TRUE(favorites.AddFavorite("Beta Times", m_server.Url("/beta/")));
    {
        // Its feed was chosen before (in its Headlines Feed dialog); it fails now.
        auto store = headlines::HeadlinesStore::Open(headlines::HeadlinesDatabasePath()).store;
        ASSERT_TRUE(store);
        store->SetFavoriteFeed(m_server.Url("/beta/"), "Beta Times", m_server.Url("/beta/rss"));
    }
    MakeFrame();

    // Added while the program runs: its feed is found from its page.
    ASSERT_TRUE(favorites.AddFavorite("Alpha Gazette", m_server.Url("/alpha/")));
    m_frame->LeftView()->RefreshFavorites();
    ShowHeadlines();
    ASSERT_TRUE(
        lumo::test::WaitFor([&] { return Headlines().find("County fair") != std::string::npos; },
                            std::chrono::seconds(30)))
        << Script("document.body.innerText");
    EXPECT_NE(Headlines().find("Mill reopens"), std::string::npos);
    // The paper whose feed fails says why, in words.
    ASSERT_TRUE(lumo::test::WaitFor(
        [&] { return Script("document.body.innerText").find("Beta Times") != std::string::npos; },
        std::chrono::seconds(30)));
    const std::string page = Script("document.body.innerText");
    EXPECT_NE(page.find("500"), std::string::npos) << page;
    EXPECT_EQ(Script("document.querySelectorAll('li.unread').length"), "3");

    // Enter on a headline opens the article in the pane and marks it read.
    Pane().Engine()->FocusPage();
    ASSERT_TRUE(lumo::test::WaitFor([&] { return Pane().PageHasFocus(); }));
    Script("document.querySelector('a[href$=\"Mill.html\"]').focus()");
    ASSERT_EQ(Script("document.activeElement.getAttribute('href')"),
              m_server.Url("/alpha/Mill.html"));
    ASSERT_TRUE(lumo::test::PressKey(GDK_KEY_Return));
    ASSERT_TRUE(lumo::test::WaitFor(
        [&] { return Pane().WebView()->GetCurrentURL().EndsWith("/Mill.html"); },
        std::chrono::seconds(20)))
        << Pane().WebView()->GetCurrentURL();
    {
        auto store = headlines::HeadlinesStore::Open(headlines::HeadlinesDatabasePath()).store;
        ASSERT_TRUE(store);
        int read = 0;
        for (const headlines::Headline& headline :
             store->Headlines(headlines::HeadlinesOrder::NewestFirst))
            read += headline.read ? 1 : 0;
        EXPECT_EQ(read, 1);
    }
    // Back on the Headlines page, its paper counts one new headline fewer.
    const auto counts = [&] {
        return Script("Array.from(document.querySelectorAll('.count'), c => c.textContent).join()");
    };
    Pane().GoBack();
    EXPECT_TRUE(lumo::test::WaitFor([&] { return counts() == "2 new"; })) << counts();

    // The next start shows it read, from the database, at once.
    MakeFrame();
    ShowHeadlines();
    ASSERT_TRUE(
        lumo::test::WaitFor([&] { return Headlines().find("Mill reopens") != std::string::npos; }));
    EXPECT_EQ(Script("document.querySelectorAll('li.unread').length"), "2");
    EXPECT_EQ(Script("document.querySelector('a[href$=\"Mill.html\"]').closest('li').className"),
              "");
}

} // namespace
