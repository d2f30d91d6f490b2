// The browser pane with a real WebKitGTK view on local pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <vector>

#include <wx/app.h>
#include <wx/filefn.h>
#include <wx/frame.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/webview.h>

#include "browser/engine/engine_environment.h"
#include "browser/pane/browser_view.h"
#include "browser_pane_fixture.h"
#include "common/document.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "common/url_opener.h"
#include "gui_test_support.h"
#include "temp_dir.h"

#include <X11/keysym.h>
#include <webkit2/webkit2.h>

using namespace lumo;
using lumo::test::RecordedUrlOpens;
using lumo::test::Settle;
using lumo::test::TempDir;
using lumo::test::WaitFor;
using lumo::test::WriteFile;

namespace {

class BrowserViewTest : public lumo::test::BrowserPaneFixture
{
protected:
    std::string Page(const std::string& name, const std::string& title,
                     const std::string& body = "")
    {
        std::string path = m_dir.File(name);
        WriteFile(path, lumo::test::PageHtml(title, body));
        return "file://" + path;
    }

    wxWebView* StartBrowser()
    {
        EXPECT_NE(m_view->CreateBrowser(), nullptr);
        return m_view->WebView();
    }
};

} // namespace

TEST_F(BrowserViewTest, FirstUpdateOpensTheStartPageOfEachChoice)
{
    // Default settings: the product's start page, built into the program.
    m_view->OnInitialUpdate();
    EXPECT_EQ(m_doc.m_pHtmlView, m_view);
    StartBrowser();
    EXPECT_TRUE(WaitFor([&] { return Url() == kProductStartPage; })) << Url();
    EXPECT_TRUE(WaitFor([&] {
        return Caption().find("Lumo News Reader") == 0 &&
               Caption().size() > std::string(" - Lumo News Reader").size();
    })) << Caption();
}

TEST_F(BrowserViewTest, EngineStartsOnlyOnceTheWindowIsOnScreen)
{
    // The window is not shown yet: the engine waits, as it would for a
    // window manager that has not mapped the window yet.
    m_frame->Hide();
    ASSERT_TRUE(WaitFor([&] { return !m_frame->IsShownOnScreen(); }));
    m_view->OnInitialUpdate();
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    EXPECT_EQ(m_view->Engine(), nullptr);
    m_frame->Show();
    EXPECT_TRUE(WaitFor([&] { return m_view->Engine() != nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return Url() == kProductStartPage; })) << Url();
}

TEST_F(BrowserViewTest, EngineKeepsItsStorageAndCacheInAWebFolderOfItsOwn)
{
    StartBrowser();
    m_view->NavigateTo(Page("stored.html", "Stored", "<script>localStorage.k = 'v';</script>"));
    ASSERT_TRUE(WaitForCaption("Stored"));
    const std::string data = g_get_user_data_dir(), cache = g_get_user_cache_dir();
    EXPECT_TRUE(WaitFor([&] {
        return wxDirExists(data + "/lumo-news-reader/web/storage") &&
               wxDirExists(cache + "/lumo-news-reader/web");
    })) << data;
    // Nothing under the program's own name, which in the installed layout is
    // the user's program directory.
    EXPECT_FALSE(wxDirExists(data + "/" + g_get_prgname()));
    EXPECT_FALSE(wxDirExists(cache + "/" + g_get_prgname()));
}

TEST_F(BrowserViewTest, StoredAddressOpensForThreeAndNothingForOtherValues)
{
    std::string stored = Page("stored.html", "Stored Page");
    m_profile->Write(kIndexPage, IndexPage::Current);
    m_profile->WriteProfileString(kSettingsSection, kIndexPageURL, stored);
    m_view->OnInitialUpdate();
    StartBrowser();
    EXPECT_TRUE(WaitForCaption("Stored Page")) << Caption();

    for (int value : {1, 0, 4}) {
        delete m_frame;
        wxTheApp->ProcessPendingEvents();
        m_frame = new wxFrame(nullptr, wxID_ANY, "untouched", wxDefaultPosition, wxSize(600, 400));
        m_view = new CLumoNewsReaderView(m_frame, m_doc, *m_profile);
        m_frame->Show();
        m_profile->Write(kIndexPage, IndexPage{value});
        m_view->OnInitialUpdate();
        StartBrowser();
        ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
        EXPECT_FALSE(m_view->IsLoading()) << value;
        EXPECT_EQ(Caption(), "untouched") << value;
        EXPECT_TRUE(Url().empty() || Url() == "about:blank") << value << ' ' << Url();
    }
}

TEST_F(BrowserViewTest, TitleFollowsEveryPageAndBackAndForwardWalkTheHistory)
{
    StartBrowser();
    // Back and forward with no history do nothing.
    m_view->GoBack();
    m_view->GoForward();

    std::string one = Page("one.html", "First &amp; Best");
    std::string two = Page("two.html", "Second");
    m_view->NavigateTo(one);
    ASSERT_TRUE(WaitForCaption("First & Best")) << Caption();
    m_view->NavigateTo(two);
    ASSERT_TRUE(WaitForCaption("Second")) << Caption();

    m_view->GoBack();
    EXPECT_TRUE(WaitFor([&] { return Url() == one; })) << Url();
    EXPECT_TRUE(WaitForCaption("First & Best")) << Caption();
    m_view->GoForward();
    EXPECT_TRUE(WaitFor([&] { return Url() == two; })) << Url();
    EXPECT_TRUE(WaitForCaption("Second")) << Caption();

    // A page that changes its own title later.
    m_view->NavigateTo(Page("later.html", "Before",
                            "<script>setTimeout(function(){document.title='After'}, 50)</script>"));
    EXPECT_TRUE(WaitForCaption("After")) << Caption();
}

TEST_F(BrowserViewTest, AddressAskedForBeforeTheEngineStartsIsOpenedWhenItDoes)
{
    std::string early = Page("early.html", "Early");
    m_view->NavigateTo(early);
    EXPECT_EQ(m_view->WebView(), nullptr);
    StartBrowser();
    EXPECT_TRUE(WaitForCaption("Early")) << Caption();
}

TEST_F(BrowserViewTest, PagesShowNoDialogs)
{
    StartBrowser();
    // With a dialog on screen the script would stop at alert() and the title
    // would never change.
    m_view->NavigateTo(Page("alert.html", "Waiting",
                            "<script>alert('hello'); var c = confirm('sure?');"
                            "var p = prompt('name?', 'x');"
                            "document.title = 'after ' + c + ' ' + p;</script>"));
    EXPECT_TRUE(WaitForCaption("after false null")) << Caption();
}

TEST_F(BrowserViewTest, NewWindowOpensOutsideAndThePaneKeepsItsPage)
{
    StartBrowser();
    // A web address: a file of the computer never leaves the program.
    std::string target = "https://news.example/target.html";
    std::string opener = Page("opener.html", "Opener",
                              "<a href='" + target +
                                  "' target='_blank' style='display:block;"
                                  "width:4000px;height:4000px'>open</a>");
    m_view->NavigateTo(opener);
    ASSERT_TRUE(WaitForCaption("Opener"));
    ASSERT_TRUE(WaitForPaint());
    // A page may open a new window only from the user's own click: click the
    // link with a real pointer event.
    ASSERT_TRUE(
        lumo::test::ClickAt(m_view->WebView()->GetScreenRect().GetPosition() + wxPoint(100, 100)));
    ASSERT_TRUE(WaitFor([&] { return !m_urls.opened.empty(); }));
    EXPECT_EQ(m_urls.opened, std::vector<std::string>{target});
    // The engine decided on the click: out, and not in the pane.
    EXPECT_EQ(Url(), opener);
    EXPECT_EQ(Caption(), "Opener - Lumo News Reader");

    // A script cannot open one by itself.
    m_urls.opened.clear();
    // (The engine hears of the window before the title that follows it.)
    m_view->NavigateTo(
        Page("popup.html", "Loading",
             "<script>window.open('" + target + "'); document.title = 'Popup';</script>"));
    ASSERT_TRUE(WaitForCaption("Popup"));
    EXPECT_TRUE(m_urls.opened.empty());
}

TEST_F(BrowserViewTest, KilledWebProcessReloadsThePageOnce)
{
    StartBrowser();
    std::string page = Page("victim.html", "Victim", "<p>still here</p>");
    m_view->NavigateTo(page);
    ASSERT_TRUE(WaitForCaption("Victim"));
    std::vector<WebProcessUsage> before = WebProcessesOfThisProgram();
    ASSERT_FALSE(before.empty());
    m_frame->SetTitle("killed");
    for (const WebProcessUsage& process : before)
        kill(process.pid, SIGKILL);
    EXPECT_TRUE(WaitFor([&] { return m_view->CrashReloadCount() == 1; }));
    EXPECT_TRUE(WaitForCaption("Victim")) << Caption();
    EXPECT_FALSE(m_view->ShowsFailurePage());
    EXPECT_EQ(Url(), page);
}

TEST_F(BrowserViewTest, PageThatKeepsDyingGivesAPlainMessage)
{
    StartBrowser();
    m_view->NavigateTo(Page("dying.html", "Dying"));
    ASSERT_TRUE(WaitForCaption("Dying"));
    auto* native = static_cast<WebKitWebView*>(m_view->WebView()->GetNativeBackend());
    webkit_web_view_terminate_web_process(native);
    ASSERT_TRUE(WaitFor([&] { return m_view->CrashReloadCount() == 1; }));
    // The reload dies as well, before it could finish.
    webkit_web_view_terminate_web_process(native);
    EXPECT_TRUE(WaitFor([&] { return m_view->ShowsFailurePage(); }));
    EXPECT_TRUE(WaitForCaption("Dying")) << Caption() << " " << Url();

    // Opening another page leaves the message behind.
    m_view->NavigateTo(Page("fine.html", "Fine"));
    EXPECT_TRUE(WaitForCaption("Fine")) << Caption();
    EXPECT_FALSE(m_view->ShowsFailurePage());
}

TEST_F(BrowserViewTest, PagesCannotReadLocalFiles)
{
    StartBrowser();
    WriteFile(m_dir.File("secret.txt"), "secret");
    m_view->NavigateTo(Page("reader.html", "Reader",
                            "<script>fetch('file://" + m_dir.File("secret.txt") +
                                "').then(function(r){return r.text()})"
                                ".then(function(t){document.title='read '+t})"
                                ".catch(function(){document.title='refused'});</script>"));
    EXPECT_TRUE(WaitForCaption("refused")) << Caption();
}

TEST_F(BrowserViewTest, ZoomStepsAndIsKeptForEachSite)
{
    StartBrowser();
    const std::string start = "Lumo News Reader \u2014 Start";
    m_view->NavigateTo(kProductStartPage);
    ASSERT_TRUE(WaitForCaption(start)) << Caption();
    std::vector<int> levels;
    for (int steps : {1, 1, -1, -1, -1, 0}) {
        m_view->ZoomBy(steps);
        levels.push_back(m_view->ZoomPercent());
    }
    EXPECT_EQ(levels, (std::vector<int>{110, 125, 110, 100, 90, 100}));
    for (int i = 0; i < 20; ++i)
        m_view->ZoomBy(-1);
    EXPECT_EQ(m_view->ZoomPercent(), 30);
    for (int i = 0; i < 20; ++i)
        m_view->ZoomBy(1);
    EXPECT_EQ(m_view->ZoomPercent(), 300);
    EXPECT_DOUBLE_EQ(m_view->Engine()->Zoom(), 3.0);

    // Another site has its own level; the first keeps its own, in the
    // settings file's group of its own.
    m_view->NavigateTo(Page("zoom.html", "Zoom"));
    ASSERT_TRUE(WaitForCaption("Zoom"));
    EXPECT_EQ(m_view->ZoomPercent(), 100);
    m_view->NavigateTo(kProductStartPage);
    ASSERT_TRUE(WaitForCaption(start));
    EXPECT_EQ(m_view->ZoomPercent(), 300);
    EXPECT_DOUBLE_EQ(m_view->Engine()->Zoom(), 3.0);
    const std::string settings = lumo::test::ReadFile(m_dir.File("settings/LumoNewsReader.conf"));
    EXPECT_EQ(settings, "[Zoom]\nstart=300\n");
}

TEST_F(BrowserViewTest, FindInPageCountsWalksAndCloses)
{
    StartBrowser();
    m_view->NavigateTo(Page("find.html", "Find", "<p>news</p><p>more News</p><p>old news</p>"));
    ASSERT_TRUE(WaitForCaption("Find"));
    m_view->OpenFindBar();
    ASSERT_TRUE(m_view->FindBarShown());
    m_view->FindField()->SetValue("news");
    EXPECT_TRUE(WaitFor([&] { return m_view->FindCount() == "1 of 3"; })) << m_view->FindCount();
    m_view->FindAgain(false);
    EXPECT_TRUE(WaitFor([&] { return m_view->FindCount() == "2 of 3"; })) << m_view->FindCount();
    m_view->FindAgain(true);
    m_view->FindAgain(true);
    EXPECT_TRUE(WaitFor([&] { return m_view->FindCount() == "3 of 3"; })) << m_view->FindCount();
    m_view->FindField()->SetValue("nowhere");
    EXPECT_TRUE(WaitFor([&] { return m_view->FindCount() == "Not found"; })) << m_view->FindCount();
    m_view->CloseFindBar();
    EXPECT_FALSE(m_view->FindBarShown());

    // The built-in pages too.
    m_view->NavigateTo(kProductStartPage);
    ASSERT_TRUE(WaitForCaption("Lumo News Reader \u2014 Start"));
    m_view->OpenFindBar();
    m_view->FindField()->SetValue("newspaper");
    EXPECT_TRUE(WaitFor([&] { return m_view->FindCount().StartsWith("1 of "); }))
        << m_view->FindCount();
}

// Opened again, the find bar shows the last text selected, so that typing
// replaces it, even after the page's match took the desktop's selection.
TEST_F(BrowserViewTest, FindBarOpenedAgainSelectsItsTextForTyping)
{
    using lumo::test::PressKey;
    StartBrowser();
    m_view->NavigateTo(Page("find.html", "Find", "<p>news</p><p>more News</p><p>old news</p>"));
    ASSERT_TRUE(WaitForCaption("Find"));
    m_frame->Raise();
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive(); }));
    struct Search
    {
        std::vector<unsigned long> keys;
        wxString text;
        wxString count;
    };
    const Search searches[] = {{{XK_n, XK_e, XK_w, XK_s}, "news", "1 of 3"},
                               {{XK_m, XK_o, XK_r, XK_e}, "more", "1 of 1"},
                               {{XK_o, XK_l, XK_d}, "old", "1 of 1"}};
    wxTextCtrl* field = nullptr;
    for (std::size_t round = 0; round < std::size(searches); ++round) {
        m_view->OpenFindBar();
        field = m_view->FindField();
        ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == field; }));
        if (round > 0) {
            // The text searched again, and still selected once the page answered.
            const Search& last = searches[round - 1];
            EXPECT_TRUE(WaitFor([&] { return m_view->FindCount() == last.count; }))
                << m_view->FindCount();
            // The page takes the desktop's selection when it answers, and the
            // field selects its text again after that.
            long from = -1, to = -1;
            EXPECT_TRUE(WaitFor([&] {
                field->GetSelection(&from, &to);
                return std::min(from, to) == 0 &&
                       std::max(from, to) == static_cast<long>(last.text.size());
            })) << round
                << ": " << from << " to " << to;
        }
        for (unsigned long key : searches[round].keys)
            PressKey(key);
        EXPECT_TRUE(WaitFor([&] { return field->GetValue() == searches[round].text; }))
            << field->GetValue();
        EXPECT_TRUE(WaitFor([&] { return m_view->FindCount() == searches[round].count; }))
            << m_view->FindCount();
        m_view->CloseFindBar();
    }

    // The window closed with the bar open and its text offered: the field's
    // selection watch ends before the bar does.
    m_view->OpenFindBar();
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == field; }));
    delete m_frame;
    m_frame = nullptr;
    wxTheApp->ProcessPendingEvents();
}

// The status bar names the link under the pointer, and forgets it when
// another page comes.
TEST_F(BrowserViewTest, StatusBarForgetsTheHoveredLinkWhenThePageChanges)
{
    wxStatusBar* bar = m_frame->CreateStatusBar();
    StartBrowser();
    const std::string target = Page("target.html", "Target");
    m_view->NavigateTo(
        Page("links.html", "Links",
             "<a href='" + target + "' style='display:block;width:4000px;height:4000px'>link</a>"));
    ASSERT_TRUE(WaitForCaption("Links"));
    ASSERT_TRUE(WaitForPaint());
    const wxPoint inside = m_view->WebView()->GetScreenRect().GetPosition() + wxPoint(100, 100);
    ASSERT_TRUE(lumo::test::MovePointerTo(inside - wxPoint(10, 10)));
    ASSERT_TRUE(lumo::test::MovePointerTo(inside));
    ASSERT_TRUE(WaitFor([&] { return bar->GetStatusText() == target; })) << bar->GetStatusText();

    // The pointer stays where it is, over nothing of the new page.
    m_view->NavigateTo(Page("plain.html", "Plain", "<p>no links</p>"));
    ASSERT_TRUE(WaitForCaption("Plain"));
    EXPECT_TRUE(WaitFor([&] { return !m_view->IsLoading(); }));
    EXPECT_TRUE(WaitFor([&] { return bar->GetStatusText() == kIdleMessage; }))
        << bar->GetStatusText();
}
