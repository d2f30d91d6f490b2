// The reader view with a real WebKitGTK view, on pages served from 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <wx/button.h>
#include <wx/filefn.h>
#include <wx/frame.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/webview.h>

#include "browser/core/reader_page.h"
#include "browser/pane/browser_view.h"
#include "browser_pane_fixture.h"
#include "gui_test_support.h"
#include "local_web_server.h"
#include "main_frame_fixture.h"
#include "temp_dir.h"

#include <X11/keysym.h>
#include <webkit2/webkit2.h>

using namespace lumo;
using lumo::test::LocalWebServer;
using lumo::test::WaitFor;
using lumo::test::WebResponse;

namespace {

constexpr const char* kPaperTitle = "Harbour bridge reopens after repairs - The Coast Courier";

// A paragraph of the article, long enough to count as text.
std::string Paragraph(int number)
{
    return "<p>Paragraph " + std::to_string(number) +
           " of the report: the harbour bridge carried its first cars in eight months on "
           "Tuesday morning, after engineers replaced the worn cables and the council "
           "inspected the deck, the railings and the lights along the whole span of it.</p>";
}

// A newspaper page: navigation, advertisements and a footer around the article.
std::string ArticlePage(const std::string& imageUrl, const std::string& script = "",
                        const std::string& more = "")
{
    std::string body = "<header><nav><a href='/'>Home</a> <a href='/world'>World desk</a> "
                       "<a href='/sport'>Sport desk</a> <a href='/weather'>Weather desk</a>"
                       "</nav></header>"
                       "<aside class='ad sidebar'><p>Advertisement: cheap watches, buy now</p>"
                       "<img src='" +
                       imageUrl +
                       "?ad' width='300' height='250'></aside>"
                       "<main><article><h1>Harbour bridge reopens after repairs</h1>"
                       "<p class='byline'>By Jane Reporter</p>"
                       "<figure><img src='" +
                       imageUrl +
                       "' width='600' height='300' alt='The bridge'>"
                       "<figcaption>The bridge at dawn</figcaption></figure>";
    for (int i = 1; i <= 8; ++i)
        body += Paragraph(i);
    body += more + "</article></main>"
                   "<div class='related'><a href='/x'>More from the World desk</a></div>"
                   "<footer>Copyright footer of the Courier</footer>";
    return "<!DOCTYPE html><html lang='en'><head><meta charset='utf-8'><title>" +
           std::string(kPaperTitle) +
           "</title><meta property='og:site_name' content='The Coast Courier'>"
           "<meta property='article:published_time' content='2026-03-14T09:30:00Z'>" +
           script + "</head><body>" + body + "</body></html>";
}

class ReaderViewTest : public lumo::test::ServedPaneFixture
{
protected:
    void SetUp() override
    {
        ServedPaneFixture::SetUp();
        if (IsSkipped())
            return;
        m_server.Route("/photo.svg",
                       WebResponse{200,
                                   "image/svg+xml",
                                   "<svg xmlns='http://www.w3.org/2000/svg' width='600' "
                                   "height='300'><rect width='600' height='300'/></svg>",
                                   {},
                                   0});
    }

    // What the key table makes of F9 and Esc in the page (the keys
    // themselves: PaneKeysTest).
    void RunKey(KeyCommand command) { EXPECT_TRUE(m_view->RunKeyCommand(command)); }

    static std::string Run(wxWebView* view, const std::string& script)
    {
        return lumo::test::EvaluateInView(view, script);
    }
    std::string InReader(const std::string& script)
    {
        return Run(m_view->Engine()->ReaderView(), script);
    }
    std::string InPage(const std::string& script) { return Run(m_view->WebView(), script); }

    size_t RequestsFor(const std::string& path)
    {
        const std::vector<std::string> requests = m_server.Requests();
        return std::count(requests.begin(), requests.end(), path);
    }

    // The addresses of the web documents that a screen reader finds showing
    // in this program, asked on the accessibility bus by a helper process
    // while the program goes on answering it.
    std::vector<std::string> ShowingDocuments()
    {
        const std::string script = m_dir.File("showing.py"), out = m_dir.File("showing.txt");
        lumo::test::WriteFile(
            script, "import sys, pyatspi\n"
                    "def walk(node, depth=0):\n"
                    "    if node is None or depth > 40: return\n"
                    "    yield node\n"
                    "    for i in range(min(node.childCount, 2000)):\n"
                    "        yield from walk(node.getChildAtIndex(i), depth + 1)\n"
                    "desktop = pyatspi.Registry.getDesktop(0)\n"
                    "for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):\n"
                    "    if app is None or app.get_process_id() != int(sys.argv[1]): continue\n"
                    "    for node in walk(app):\n"
                    "        if node.getRole() == pyatspi.ROLE_DOCUMENT_WEB and "
                    "node.getState().contains(pyatspi.STATE_SHOWING):\n"
                    "            print(node.queryDocument().getAttributeValue('URI'))\n");
        std::remove(out.c_str());
        const std::string command = "(/usr/bin/python3 " + script + " " + std::to_string(getpid()) +
                                    " > " + out + ".part; mv " + out + ".part " + out + ") &";
        EXPECT_EQ(std::system(command.c_str()), 0);
        EXPECT_TRUE(WaitFor([&] { return wxFileExists(out); }));
        std::vector<std::string> documents;
        std::istringstream lines(lumo::test::ReadFile(out));
        for (std::string line; std::getline(lines, line);)
            documents.push_back(line.rfind("lumo://start/reader", 0) == 0 ? kReaderPageAddress
                                                                          : line);
        return documents;
    }
};

// The program's window with a local server: the keys as the user presses
// them (real X key events), through the window's key table.
class PaneKeysTest : public lumo::test::MainFrameFixture
{
protected:
    void SetUp() override
    {
        if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault))
            GTEST_SKIP() << "no web engine";
        MainFrameFixture::SetUp();
        m_profile->Write(kIndexPage, IndexPage::Blank);
        MakeFrame();
        m_frame->GetStatusBar()->Show();
        m_frame->SendSizeEvent();
        ASSERT_TRUE(WaitFor([&] { return View()->WebView() != nullptr; }));
        m_frame->Raise();
        ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive(); }));
    }

    CLumoNewsReaderView* View() const { return m_frame->HtmlView(); }
    std::string Caption() const { return m_frame->GetTitle().utf8_string(); }
    std::string Status() const { return m_frame->GetStatusBar()->GetStatusText(0).utf8_string(); }
    long RequestsFor(const std::string& path)
    {
        const std::vector<std::string> requests = m_server.Requests();
        return std::count(requests.begin(), requests.end(), path);
    }
    // Gives the page the focus, as a click into it would.
    void FocusPage()
    {
        View()->FocusPage();
        ASSERT_TRUE(WaitFor([&] { return View()->PageHasFocus(); }));
    }

    LocalWebServer m_server;
};

} // namespace

TEST_F(ReaderViewTest, ArticleIsOfferedAndShowsAloneInTheProgramsOwnPage)
{
    Open(Serve("/bridge.html", ArticlePage(m_server.Url("/photo.svg"))), kPaperTitle);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderOffered(); }));
    ASSERT_NE(m_view->ReaderButton(), nullptr);
    EXPECT_TRUE(m_view->ReaderButton()->IsShownOnScreen());
    EXPECT_EQ(m_view->ReaderButton()->GetLabel(), "Reader view");

    RunKey(KeyCommand::ToggleReader);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderShown(); }));
    EXPECT_TRUE(m_view->Engine()->ReaderWindow()->IsShownOnScreen());
    EXPECT_FALSE(m_view->WebWindow()->IsShown());
    EXPECT_EQ(m_view->ReaderButton()->GetLabel(), "Original page");
    EXPECT_EQ(Caption(), std::string(kPaperTitle) + " - Lumo News Reader");
    EXPECT_EQ(InReader("location.href").rfind("lumo://start/reader", 0), 0u);

    // Headline, byline, date, every paragraph and the article's own image.
    EXPECT_EQ(InReader("document.querySelector('h1').textContent"),
              "Harbour bridge reopens after repairs");
    EXPECT_EQ(InReader("document.querySelector('.paper').textContent"), "The Coast Courier");
    EXPECT_EQ(InReader("document.querySelector('.original').href"), m_server.Url("/bridge.html"));
    const std::string byline = InReader("document.querySelector('.byline').textContent");
    EXPECT_NE(byline.find("Jane Reporter"), std::string::npos) << byline;
    EXPECT_NE(byline.find("14 March 2026"), std::string::npos) << byline;
    const std::string text = InReader("document.body.innerText");
    for (int i = 1; i <= 8; ++i)
        EXPECT_NE(text.find("Paragraph " + std::to_string(i) + " of the report"), std::string::npos)
            << i;
    EXPECT_EQ(InReader("Array.from(document.images).map(function (i) { return i.src; }).join()"),
              m_server.Url("/photo.svg"));
    // Nothing of the page around it.
    for (const char* clutter : {"Sport desk", "Weather desk", "cheap watches", "Copyright footer",
                                "More from the World desk"})
        EXPECT_EQ(text.find(clutter), std::string::npos) << clutter;
    // In the program's typography: the built-in sheet applies under the
    // page's policy, and the policy lets no script of the markup run.
    EXPECT_EQ(InReader("document.styleSheets.length + ' ' + "
                       "getComputedStyle(document.body).fontFamily.indexOf('Georgia')"),
              "1 0");
    EXPECT_EQ(InReader("document.querySelectorAll('script, iframe, style, [onclick]').length"),
              "0");
}

TEST_F(ReaderViewTest, PageThatIsNoArticleOffersNothing)
{
    Open(Serve("/index.html", "<!DOCTYPE html><html><head><title>Front page</title></head><body>"
                              "<nav><a href='/a'>World</a> <a href='/b'>Sport</a></nav>"
                              "<ul><li><a href='/1'>Bridge reopens</a></li>"
                              "<li><a href='/2'>Storm warning</a></li></ul></body></html>"),
         "Front page");
    RunKey(KeyCommand::ToggleReader);
    // The key's answer comes after the check made when the page loaded.
    ASSERT_TRUE(WaitFor([&] { return Status() == kNoArticleMessage; })) << Status();
    EXPECT_FALSE(m_view->ReaderShown());
    EXPECT_FALSE(m_view->ReaderOffered());
    EXPECT_FALSE(m_view->ReaderButton()->IsShownOnScreen());
    EXPECT_EQ(Caption(), "Front page - Lumo News Reader");
    EXPECT_EQ(m_view->Engine()->ReaderView(), nullptr);

    // An article offers it; the next page, no article, takes the offer away.
    Open(Serve("/bridge.html", ArticlePage(m_server.Url("/photo.svg"))), kPaperTitle);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderOffered(); }));
    Open(m_server.Url("/index.html"), "Front page");
    EXPECT_FALSE(m_view->ReaderOffered());
    EXPECT_FALSE(m_view->ReaderButton()->IsShownOnScreen());
}

TEST_F(ReaderViewTest, PageScriptsNeitherSeeNorChangeTheExtractor)
{
    // The page plants its own extractor and check, and watches everything the
    // program's could touch from the page's side.
    const std::string traps =
        "<script>"
        "window.seen = [];"
        "function note(what) { window.seen.push(what); }"
        "window.Readability = function () { note('Readability'); this.parse = function () {"
        "  return {title: 'FAKE', content: '<p>FAKE article</p>'}; }; };"
        "window.isProbablyReaderable = function () { note('isProbablyReaderable'); return false; };"
        "Object.defineProperty(window, 'module', {get: function () { note('module'); }});"
        "var clone = Node.prototype.cloneNode;"
        "Node.prototype.cloneNode = function () { note('cloneNode'); return clone.apply(this, "
        "arguments); };"
        "var query = Document.prototype.querySelectorAll;"
        "Document.prototype.querySelectorAll = function () { note('querySelectorAll');"
        "  return query.apply(this, arguments); };"
        "var json = JSON.stringify;"
        "JSON.stringify = function () { note('stringify'); return json.apply(this, arguments); };"
        "document.addEventListener('DOMContentLoaded', function () {"
        "  new MutationObserver(function () { note('mutation'); })"
        "    .observe(document, {subtree: true, childList: true, attributes: true,"
        "             characterData: true});"
        "});"
        "</script>";
    Open(Serve("/trap.html", ArticlePage(m_server.Url("/photo.svg"), traps)), kPaperTitle);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderOffered(); }));
    RunKey(KeyCommand::ToggleReader);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderShown(); }));
    EXPECT_EQ(InReader("document.querySelector('h1').textContent"),
              "Harbour bridge reopens after repairs");
    EXPECT_EQ(InReader("document.body.innerText.indexOf('FAKE')"), "-1");
    RunKey(KeyCommand::ToggleReader);
    ASSERT_TRUE(WaitFor([&] { return !m_view->ReaderShown(); }));
    EXPECT_EQ(InPage("window.seen.join()"), "");
}

TEST_F(ReaderViewTest, ReturningShowsThePageAsItWasWithoutLoadingIt)
{
    const std::string state = "<script>window.marker = 'set by the page';</script>";
    const std::string url = Serve("/bridge.html", ArticlePage(m_server.Url("/photo.svg"), state));
    Open(url, kPaperTitle);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderOffered(); }));
    InPage("window.scrollTo(0, 400); window.marker += ' and kept'");
    m_view->FocusPage();

    // The key, Escape, Back and the button each return.
    const auto showReader = [&] {
        RunKey(KeyCommand::ToggleReader);
        return WaitFor([&] { return m_view->ReaderShown(); });
    };
    ASSERT_TRUE(showReader());
    EXPECT_TRUE(m_view->PageHasFocus()) << "the focus follows into the reader view";
    RunKey(KeyCommand::ToggleReader);
    EXPECT_FALSE(m_view->ReaderShown());
    ASSERT_TRUE(showReader());
    RunKey(KeyCommand::LeaveReader);
    EXPECT_FALSE(m_view->ReaderShown());
    ASSERT_TRUE(showReader());
    m_view->GoBack();
    EXPECT_FALSE(m_view->ReaderShown());
    ASSERT_TRUE(showReader());
    wxCommandEvent click(wxEVT_BUTTON, m_view->ReaderButton()->GetId());
    m_view->ReaderButton()->ProcessWindowEvent(click);
    EXPECT_FALSE(m_view->ReaderShown());

    EXPECT_TRUE(m_view->WebWindow()->IsShownOnScreen());
    EXPECT_FALSE(m_view->Engine()->ReaderWindow()->IsShown());
    EXPECT_TRUE(m_view->PageHasFocus());
    EXPECT_EQ(InPage("window.marker + ' ' + window.scrollY"), "set by the page and kept 400");
    EXPECT_EQ(Url(), url);
    EXPECT_EQ(Caption(), std::string(kPaperTitle) + " - Lumo News Reader");
    EXPECT_EQ(RequestsFor("/bridge.html"), 1u);
}

TEST_F(ReaderViewTest, ZoomAndFindActOnTheReaderViewWhichKeepsAZoomOfItsOwn)
{
    Open(Serve("/bridge.html", ArticlePage(m_server.Url("/photo.svg"))), kPaperTitle);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderOffered(); }));
    m_view->ZoomBy(1); // the site's zoom: 110 %
    RunKey(KeyCommand::ToggleReader);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderShown(); }));
    EXPECT_EQ(m_view->ZoomPercent(), 100);
    const auto textHeight = [&] {
        return std::stoi(InReader("document.querySelector('.text').offsetHeight"));
    };
    const int before = textHeight();
    m_view->ZoomBy(1);
    m_view->ZoomBy(1);
    EXPECT_EQ(m_view->ZoomPercent(), 125);
    EXPECT_DOUBLE_EQ(m_view->Engine()->Zoom(), 1.25);
    // The text grows within the column: text zoom, not a bigger page.
    EXPECT_TRUE(WaitFor([&] { return textHeight() > before; })) << before;

    // "desk" is in the page's navigation four times and nowhere in the article.
    m_view->OpenFindBar();
    m_view->FindField()->SetValue("desk");
    EXPECT_TRUE(WaitFor([&] { return m_view->FindCount() == "Not found"; })) << m_view->FindCount();
    m_view->FindField()->SetValue("harbour");
    EXPECT_TRUE(WaitFor([&] { return m_view->FindCount() == "1 of 9"; })) << m_view->FindCount();
    m_view->CloseFindBar();

    // Back on the page: the site's zoom; the reader view's is kept apart.
    RunKey(KeyCommand::ToggleReader);
    EXPECT_EQ(m_view->ZoomPercent(), 110);
    EXPECT_DOUBLE_EQ(m_view->Engine()->Zoom(), 1.1);
    RunKey(KeyCommand::ToggleReader);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderShown(); }));
    EXPECT_EQ(m_view->ZoomPercent(), 125);
    const std::string settings = lumo::test::ReadFile(m_dir.File("settings/LumoNewsReader.conf"));
    EXPECT_NE(settings.find("(reader)=125"), std::string::npos) << settings;
    EXPECT_NE(settings.find("127.0.0.1=110"), std::string::npos) << settings;
}

TEST_F(ReaderViewTest, CaptionKeepsThePageTitleForEveryArticleOpenedAsAFavorite)
{
    std::string longer;
    for (int i = 9; i <= 180; ++i)
        longer += Paragraph(i);
    ASSERT_GT(longer.size(), 40u * 1024);
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<div>";
    deep += "<p>Deep inside the report, the inspectors' notes on every cable.</p>";
    for (int i = 0; i < 300; ++i)
        deep += "</div>";
    deep += "<p>After the deep part: the council's last word on the bridge.</p>";
    const std::string photo = m_server.Url("/photo.svg");
    const struct
    {
        const char* path;
        std::string html;
        const char* last;
    } articles[] = {{"/short.html", ArticlePage(photo), "Paragraph 8 of the report"},
                    {"/long.html", ArticlePage(photo, "", longer), "Paragraph 180 of the report"},
                    {"/deep.html", ArticlePage(photo, "", deep), "the council's last word"}};
    for (const auto& article : articles) {
        // As the tree opens a favorite: with its name.
        m_frame->SetTitle("Coast Courier - Lumo News Reader");
        m_view->NavigateTo(Serve(article.path, article.html), "Coast Courier");
        ASSERT_TRUE(WaitFor([&] {
            return Caption() == std::string(kPaperTitle) + " - Lumo News Reader" &&
                   !m_view->IsLoading() && m_view->ReaderOffered();
        })) << article.path;
        RunKey(KeyCommand::ToggleReader);
        ASSERT_TRUE(WaitFor([&] { return m_view->ReaderShown(); })) << article.path;
        EXPECT_EQ(Caption(), std::string(kPaperTitle) + " - Lumo News Reader") << article.path;
        const std::string text = InReader("document.body.innerText");
        EXPECT_NE(text.find(article.last), std::string::npos) << article.path;
        if (article.html.find("Deep inside") != std::string::npos) {
            EXPECT_NE(text.find("Deep inside the report"), std::string::npos);
        }
        RunKey(KeyCommand::ToggleReader);
        ASSERT_TRUE(WaitFor([&] { return !m_view->ReaderShown(); }));
        EXPECT_EQ(Caption(), std::string(kPaperTitle) + " - Lumo News Reader") << article.path;
    }
}

TEST_F(ReaderViewTest, ScreenReadersFindOnlyTheDocumentOnScreen)
{
    const std::string url = Serve("/bridge.html", ArticlePage(m_server.Url("/photo.svg")));
    Open(url, kPaperTitle);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderOffered(); }));
    ASSERT_NE(m_view->Engine()->ReaderView(), nullptr);
    const auto showingOnly = [&](const std::string& address) {
        std::vector<std::string> documents;
        const bool alone = WaitFor([&] {
            documents = ShowingDocuments();
            return documents == std::vector<std::string>{address};
        });
        std::string all;
        for (const std::string& document : documents)
            all += document + "; ";
        return alone ? testing::AssertionSuccess() : testing::AssertionFailure() << all;
    };
    // The reader view's own, made with the offer, is hidden; then only it
    // shows; then only the page again.
    EXPECT_TRUE(showingOnly(url));
    RunKey(KeyCommand::ToggleReader);
    ASSERT_TRUE(WaitFor([&] { return m_view->ReaderShown(); }));
    EXPECT_TRUE(showingOnly(kReaderPageAddress));
    RunKey(KeyCommand::ToggleReader);
    ASSERT_FALSE(m_view->ReaderShown());
    EXPECT_TRUE(showingOnly(url));
}

// Esc stops a load (and is the page's own with nothing to stop), F5 and
// Ctrl+R reload, Alt+Left goes back, F9 shows the reader view and F9 or Esc
// leave it: pressed in the page, as the user does.
TEST_F(PaneKeysTest, ThePanesKeysWorkFromThePageThroughTheWindowsKeyTable)
{
    using lumo::test::PressKey;
    m_server.Route("/slow.html",
                   WebResponse{200, "text/html", lumo::test::PageHtml("Slow"), {}, 4000});
    View()->NavigateTo(m_server.Url("/slow.html"));
    ASSERT_TRUE(WaitFor([&] { return View()->ShowsLoadProgress(); }, std::chrono::seconds(5)));
    FocusPage();
    ASSERT_TRUE(PressKey(XK_Escape));
    EXPECT_TRUE(WaitFor([&] { return !View()->IsLoading(); }, std::chrono::seconds(3)));
    EXPECT_TRUE(WaitFor([&] { return Status() == "Ready"; }, std::chrono::seconds(3))) << Status();

    // With nothing to stop, Esc is the page's.
    m_server.Route("/keys.html",
                   WebResponse{200,
                               "text/html",
                               lumo::test::PageHtml(
                                   "Keys", "<script>addEventListener('keydown', function(e) { "
                                           "if (e.key == 'Escape') document.title = 'Esc seen'; "
                                           "});</script>"),
                               {},
                               0});
    View()->NavigateTo(m_server.Url("/keys.html"));
    ASSERT_TRUE(WaitFor([&] { return Caption() == lumo::test::CaptionFor("Keys"); }));
    ASSERT_TRUE(WaitFor([&] { return !View()->IsLoading(); }));
    FocusPage();
    ASSERT_TRUE(lumo::test::WaitForPageToTakeKeys(View()->WebView()));
    PressKey(XK_Escape);
    EXPECT_TRUE(WaitFor([&] { return Caption() == lumo::test::CaptionFor("Esc seen"); }))
        << Caption();

    const long before = RequestsFor("/keys.html");
    PressKey(XK_F5);
    EXPECT_TRUE(WaitFor([&] { return RequestsFor("/keys.html") == before + 1; }));
    ASSERT_TRUE(WaitFor([&] { return !View()->IsLoading(); }));
    FocusPage();
    PressKey(XK_r, true);
    EXPECT_TRUE(WaitFor([&] { return RequestsFor("/keys.html") == before + 2; }));
    ASSERT_TRUE(WaitFor([&] { return !View()->IsLoading(); }));

    // The reader view comes and goes by its key, and Esc leaves it too.
    m_server.Route("/photo.svg", WebResponse{200,
                                             "image/svg+xml",
                                             "<svg xmlns='http://www.w3.org/2000/svg' width='6' "
                                             "height='3'></svg>",
                                             {},
                                             0});
    m_server.Route(
        "/bridge.html",
        WebResponse{
            200, "text/html; charset=utf-8", ArticlePage(m_server.Url("/photo.svg")), {}, 0});
    View()->NavigateTo(m_server.Url("/bridge.html"));
    ASSERT_TRUE(WaitFor([&] { return View()->ReaderOffered() && !View()->IsLoading(); }))
        << View()->PageAddress() << " " << Caption() << " hung ended "
        << View()->Engine()->HungProcessesEnded() << " crash reloads "
        << View()->CrashReloadCount();
    FocusPage();
    PressKey(XK_F9);
    ASSERT_TRUE(WaitFor([&] { return View()->ReaderShown(); }));
    ASSERT_TRUE(WaitFor([&] { return View()->PageHasFocus(); }));
    PressKey(XK_F9);
    ASSERT_TRUE(WaitFor([&] { return !View()->ReaderShown(); }));
    ASSERT_TRUE(WaitFor([&] { return View()->PageHasFocus(); }));
    PressKey(XK_F9);
    ASSERT_TRUE(WaitFor([&] { return View()->ReaderShown(); }));
    ASSERT_TRUE(WaitFor([&] { return View()->PageHasFocus(); }));
    PressKey(XK_Escape);
    EXPECT_TRUE(WaitFor([&] { return !View()->ReaderShown(); }));

    // Alt+Left goes back to the page before.
    FocusPage();
    PressKey(XK_Left, false, false, true);
    EXPECT_TRUE(WaitFor([&] { return Caption() == lumo::test::CaptionFor("Keys"); })) << Caption();

    // A ring around the pane shows while the page has the keys, and only then.
    FocusPage();
    EXPECT_TRUE(WaitFor([&] { return View()->ShowsFocusRing(); }));
    PressKey(XK_F6);
    ASSERT_TRUE(WaitFor([&] { return !View()->PageHasFocus(); }));
    EXPECT_TRUE(WaitFor([&] { return !View()->ShowsFocusRing(); }));
}
