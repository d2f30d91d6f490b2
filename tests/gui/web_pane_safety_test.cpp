// The web pane against pages that open windows, link to other programs,
// fail, hang or eat memory: a real WebKitGTK view on pages served from
// 127.0.0.1, plain and over TLS.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <iostream>
#include <memory>
#include <unistd.h>

#include <wx/app.h>
#include <wx/datetime.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/msgdlg.h>
#include <wx/statusbr.h>
#include <wx/testing.h>
#include <wx/webview.h>

#include "browser/core/web_address.h"
#include "browser/engine/engine_environment.h"
#include "browser/pane/browser_view.h"
#include "browser_pane_fixture.h"
#include "common/document.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "common/url_opener.h"
#include "gui_test_support.h"
#include "local_web_server.h"
#include "temp_dir.h"

#include <webkit2/webkit2.h>

using namespace lumo;
using lumo::test::LocalWebServer;
using lumo::test::RecordedUrlOpens;
using lumo::test::Settle;
using lumo::test::TempDir;
using lumo::test::WaitFor;
using lumo::test::WebResponse;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

// Time between two clicks that open windows: a pop-up loop gets one window
// to the outside in a second.
constexpr milliseconds kBetweenOpens{1100};

using lumo::test::PageHtml;

// A block of the page that runs `onclick` when clicked, at `top` pixels.
std::string ClickArea(int top, const std::string& onclick)
{
    return "<div style='position:absolute;left:0;top:" + std::to_string(top) +
           "px;width:600px;height:80px' onclick=\"" + onclick + "\">area</div>";
}

class WebPaneTest : public lumo::test::ServedPaneFixture
{
protected:
    void SetUp() override
    {
        // The engine's clock runs as much ahead as the test moves it.
        SetEngineClock([this] { return std::chrono::steady_clock::now() + m_clockAhead; });
        ServedPaneFixture::SetUp();
    }

    void TearDown() override
    {
        ServedPaneFixture::TearDown();
        SetEngineClock({});
    }

    // Moves the engine's clock past the interval in which pop-ups count as one burst.
    void PastPopUpBurst() { m_clockAhead += kBetweenOpens; }

    using ServedPaneFixture::Serve;
    std::string Serve(const std::string& path, const std::string& title, const std::string& body)
    {
        return Serve(path, PageHtml(title, body));
    }

    milliseconds m_clockAhead{0};
    std::optional<FailurePage> Failure() const { return ParseFailurePageAddress(Url()); }
    // Waits until the failure page headed `name` has loaded, named in the caption.
    bool WaitForFailurePage(const std::string& name)
    {
        return WaitFor([&] {
            return Failure() && Failure()->name == name && !m_view->IsLoading() &&
                   m_view->WebView()->GetCurrentTitle().utf8_string() == name &&
                   Caption() == lumo::test::CaptionFor(name);
        });
    }

    // Clicks a point of the page, in page coordinates.
    void ClickPage(int x, int y, unsigned button = 1)
    {
        ASSERT_TRUE(
            lumo::test::ClickAt(m_view->WebView()->GetScreenPosition() + wxPoint(x, y), button));
    }
};

// A port on which nothing listens.
int ClosedPort()
{
    LocalWebServer probe;
    return probe.Port();
}

} // namespace

TEST_F(WebPaneTest, EveryRouteToANewWindowOpensOutsideAndThePaneKeepsItsPage)
{
    std::string target = Serve("/target.html", "Target", "");
    std::string later = m_server.Url("/later.html");
    std::string menu = m_server.Url("/from-menu.html");
    std::string image = m_server.Url("/photo.svg");
    m_server.Route("/photo.svg", WebResponse{200,
                                             "image/svg+xml",
                                             "<svg xmlns='http://www.w3.org/2000/svg' width='600' "
                                             "height='80'><rect width='600' height='80'/></svg>",
                                             {},
                                             0});
    std::string opener = Serve(
        "/opener.html", "Opener",
        "<a href='" + target +
            "' target='_blank' style='position:absolute;top:0;left:0;"
            "width:600px;height:80px;display:block'>blank target</a>" +
            ClickArea(100, "window.open('" + target + "?script', 'x', 'width=400,height=300')") +
            ClickArea(200, "var w = window.open(); w.location.href = '" + later + "'") +
            ClickArea(300, "for (var i = 0; i < 50; i++) window.open('" + target +
                               "?loop' + i); window.looped = true") +
            "<a href='" + menu +
            "' style='position:absolute;top:400px;left:0;width:600px;"
            "height:80px;display:block'>menu</a>"
            "<img src='" +
            image + "' style='position:absolute;top:500px;left:0'>");
    m_view->NavigateTo(opener);
    ASSERT_TRUE(WaitForCaption("Opener"));
    ASSERT_TRUE(WaitForPaint());

    // Each route in turn sends one more address out.
    auto opened = [&](std::size_t count) {
        bool done = WaitFor([&] { return m_urls.opened.size() == count; }, seconds(5));
        PastPopUpBurst();
        return done;
    };
    auto chooseFromContextMenu = [&](int y, int item) {
        ClickPage(100, y, 3);
        ASSERT_TRUE(WaitFor(lumo::test::PopupMenuShown));
        for (int i = 0; i < item; ++i)
            lumo::test::PressKey(XK_Down);
        lumo::test::PressKey(XK_Return);
    };
    ClickPage(100, 40);
    ASSERT_TRUE(opened(1));
    ClickPage(100, 140);
    ASSERT_TRUE(opened(2));
    ClickPage(100, 240);
    ASSERT_TRUE(opened(3));
    // "Open Link in New Window" is the second item of a link's menu, "Open
    // Image in New Window" the first of an image's.
    chooseFromContextMenu(440, 2);
    ASSERT_TRUE(opened(4));
    chooseFromContextMenu(540, 1);
    ASSERT_TRUE(opened(5));
    // Fifty pop-ups from one click: one goes out, and the program answers.
    ClickPage(100, 340);
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() == 6; }, seconds(5)));
    // Each window.open() waits for the program's answer: once the page's
    // loop is over, every one of them was answered.
    EXPECT_TRUE(WaitFor([&] { return RunScript("window.looped") == "true"; }));
    PastPopUpBurst();
    EXPECT_EQ(m_urls.opened, (std::vector<std::string>{target, target + "?script", later, menu,
                                                       image, target + "?loop0"}));
    EXPECT_EQ(Url(), opener);
    EXPECT_EQ(Caption(), "Opener - Lumo News Reader");

    // A script without a click opens nothing (the engine hears of the window
    // before the title that follows it).
    m_view->NavigateTo(
        Serve("/by-itself.html", "By Itself",
              "<script>window.open('" + target + "?itself'); document.title = 'Tried';</script>"));
    ASSERT_TRUE(WaitForCaption("Tried"));
    EXPECT_EQ(m_urls.opened.size(), 6u) << m_urls.opened.back();
}

TEST_F(WebPaneTest, OtherSchemesAndDownloadsGoToOtherProgramsAndFailuresAreSaid)
{
    m_server.Route("/paper.zip", WebResponse{200, "application/zip", "PK\x03\x04zip", {}, 0});
    m_server.Route(
        "/notes.txt",
        WebResponse{
            200, "text/plain", "notes", {"Content-Disposition: attachment; filename=n.txt"}, 0});
    std::string links =
        Serve("/links.html", "Links",
              "<a style='position:absolute;top:0;height:60px;width:600px;display:block' "
              "href='mailto:editor@example.com'>mail</a>"
              "<a style='position:absolute;top:100px;height:60px;width:600px;display:block' "
              "href='/paper.zip'>zip</a>"
              "<a style='position:absolute;top:200px;height:60px;width:600px;display:block' "
              "href='/notes.txt'>notes</a>"
              "<a style='position:absolute;top:300px;height:60px;width:600px;display:block' "
              "href='file:///etc/hostname'>local file</a>");
    m_view->NavigateTo(links);
    ASSERT_TRUE(WaitForCaption("Links"));
    ASSERT_TRUE(WaitForPaint());

    ClickPage(100, 30);
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() == 1; }, seconds(5)));
    ClickPage(100, 130);
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() == 2; }, seconds(5)));
    ClickPage(100, 230);
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() == 3; }, seconds(5)));
    // A web page cannot open a local file: the mail link clicked after it
    // is the next address out.
    ClickPage(100, 330);
    ClickPage(100, 30);
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() == 4; }, seconds(5)));
    EXPECT_EQ(m_urls.opened,
              (std::vector<std::string>{"mailto:editor@example.com", m_server.Url("/paper.zip"),
                                        m_server.Url("/notes.txt"), "mailto:editor@example.com"}));
    EXPECT_EQ(Url(), links);

    // A favorite of another scheme goes out the same way.
    m_view->NavigateTo("tel:+15550100");
    EXPECT_EQ(m_urls.opened.back(), "tel:+15550100");

    // When nothing can be started it is said: in the status bar when shown,
    // else over the page.
    m_urls.succeed = false;
    ClickPage(100, 30);
    EXPECT_TRUE(
        WaitFor([&] { return Status().find("No program could be started") == 0; }, seconds(5)))
        << Status();
    m_frame->GetStatusBar()->Hide();
    m_frame->SendSizeEvent();
    m_view->NavigateTo("mailto:desk@example.com");
    EXPECT_TRUE(WaitFor(
        [&] { return m_view->PaneNotice() == CannotOpenMessage("mailto:desk@example.com"); },
        seconds(5)))
        << m_view->PaneNotice();

    // The blank start page is a true empty page.
    m_view->NavigateTo("about:blank");
    ASSERT_TRUE(WaitFor([&] { return Url() == "about:blank" && !m_view->IsLoading(); }));
    EXPECT_EQ(RunScript("document.body ? document.body.innerText : ''"), "");
}

TEST_F(WebPaneTest, AFailedPageNamesThePaperSaysWhyAndTriesAgain)
{
    // Refused, on the address as written (after the secure attempt).
    int port = ClosedPort();
    std::string address = "http://127.0.0.1:" + std::to_string(port) + "/news.html";
    m_view->NavigateTo(address, "The Daily Test");
    ASSERT_TRUE(WaitForFailurePage("The Daily Test")) << Url() << " " << Caption();
    EXPECT_EQ(Failure()->address, address);
    EXPECT_EQ(Failure()->reason, FailureReason::Refused);
    EXPECT_NE(m_view->WebView()->GetPageSource().utf8_string().find("refused the connection"),
              std::string::npos);

    // The paper comes back; "Try again" (the page's one link) reloads it.
    LocalWebServer revived(port);
    revived.Route("/news.html",
                  WebResponse{200, "text/html", PageHtml("Daily News", "<p>news</p>"), {}, 0});
    m_view->FocusPage();
    ASSERT_TRUE(WaitFor([&] { return m_view->PageHasFocus(); }));
    lumo::test::PressKey(XK_Tab);
    ASSERT_TRUE(lumo::test::WaitForPageToTakeKeys(m_view->WebView()));
    lumo::test::PressKey(XK_Return);
    ASSERT_TRUE(WaitForCaption("Daily News")) << Caption();
    EXPECT_EQ(Url(), address);
    // Back passes over the failure page as over any page.
    m_view->GoBack();
    EXPECT_TRUE(WaitForCaption("The Daily Test"));

    // An untrusted certificate is shown as such, never accepted.
    ASSERT_TRUE(m_server.MakeCertificate(m_dir.Path()));
    m_server.SetTlsMode(LocalWebServer::TlsMode::Serve);
    Serve("/secure.html", "Secure", "");
    m_view->NavigateTo(m_server.Url("/secure.html", "https"), "Secure Paper");
    ASSERT_TRUE(WaitForFailurePage("Secure Paper")) << Caption();
    EXPECT_EQ(Failure()->reason, FailureReason::Untrusted);

    // A name that cannot be found; with no network at all, the network is
    // said first.
    SetNetworkAvailableCheck([] { return true; });
    m_view->NavigateTo("http://no-such-paper.invalid/", "Missing Paper");
    ASSERT_TRUE(WaitForFailurePage("Missing Paper")) << Caption();
    EXPECT_EQ(Failure()->reason, FailureReason::NameNotFound);
    SetNetworkAvailableCheck([] { return false; });
    m_view->NavigateTo("http://no-such-paper.invalid/", "Offline Paper");
    ASSERT_TRUE(WaitForFailurePage("Offline Paper")) << Caption();
    SetNetworkAvailableCheck({});
    EXPECT_EQ(Failure()->reason, FailureReason::NotConnected);
    const std::string source = m_view->WebView()->GetPageSource().utf8_string();
    EXPECT_NE(source.find("This computer is not connected"), std::string::npos);
    EXPECT_EQ(source.find("mistyped"), std::string::npos);
}

TEST_F(WebPaneTest, PlainAddressesAreTriedSecureFirstAndFallBackOnlyWhenNeeded)
{
    ASSERT_TRUE(m_server.MakeCertificate(m_dir.Path()));
    GTlsCertificate* certificate =
        g_tls_certificate_new_from_file(m_server.CertificateFile().c_str(), nullptr);
    ASSERT_NE(certificate, nullptr);
    webkit_web_context_allow_tls_certificate_for_host(webkit_web_context_get_default(), certificate,
                                                      "127.0.0.1");
    g_object_unref(certificate);

    // A site that speaks TLS gets the secure request only.
    m_server.SetTlsMode(LocalWebServer::TlsMode::Serve);
    std::string page = Serve("/paper.html", "Paper", "");
    m_view->NavigateTo(page);
    ASSERT_TRUE(WaitForCaption("Paper"));
    EXPECT_EQ(Url(), m_server.Url("/paper.html", "https"));
    EXPECT_EQ(m_server.Requests(), std::vector<std::string>{"tls:/paper.html"});

    // A site that refuses TLS opens on the address as written.
    m_server.SetTlsMode(LocalWebServer::TlsMode::Refuse);
    std::string plain = Serve("/plain.html", "Plain", "");
    auto start = std::chrono::steady_clock::now();
    m_view->NavigateTo(plain);
    ASSERT_TRUE(WaitForCaption("Plain"));
    auto refusedMs =
        std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(Url(), plain);
    std::cout << "secure attempt refused to plain page: " << refusedMs.count() << " ms\n";

    // A site that never answers TLS opens on it after a few seconds; an
    // address without a scheme is taken as http://.
    m_server.SetTlsMode(LocalWebServer::TlsMode::Stall);
    std::string stalled = Serve("/stalled.html", "Stalled", "");
    m_view->NavigateTo("127.0.0.1:" + std::to_string(m_server.Port()) + "/stalled.html");
    ASSERT_TRUE(WaitForCaption("Stalled", seconds(15)));
    EXPECT_EQ(Url(), stalled);
}

TEST_F(WebPaneTest, LoadingShowsProgressAndStatusAndStopsAndReloads)
{
    m_server.Route("/slow.html", WebResponse{200, "text/html", PageHtml("Slow", ""), {}, 4000});
    m_view->NavigateTo(m_server.Url("/slow.html"));
    ASSERT_TRUE(WaitFor([&] { return m_view->ShowsLoadProgress(); }, seconds(5)));
    EXPECT_EQ(Status(), "Loading 127.0.0.1\u2026");
    EXPECT_TRUE(m_view->IsLoading());
    // What Esc, F5, Ctrl+R and Alt+Left run (the keys themselves: PaneKeysTest).
    EXPECT_TRUE(m_view->RunKeyCommand(KeyCommand::StopLoading));
    EXPECT_TRUE(WaitFor([&] { return !m_view->ShowsLoadProgress(); }, seconds(3)));
    EXPECT_EQ(Status(), "Ready");
    EXPECT_FALSE(m_view->RunKeyCommand(KeyCommand::StopLoading)); // no load: the page's own Escape

    // A hovered link shows its address; F5 and Ctrl+R reload.
    std::string target = m_server.Url("/elsewhere.html");
    std::string page = Serve("/hover.html", "Hover",
                             "<a href='" + target +
                                 "' style='display:block;width:600px;height:100px'>link</a>"
                                 "<div style='height:300px'></div>");
    m_view->NavigateTo(page);
    ASSERT_TRUE(WaitForCaption("Hover"));
    ASSERT_TRUE(WaitFor([&] { return !m_view->IsLoading(); }));
    lumo::test::MovePointerTo(m_view->WebView()->GetScreenPosition() + wxPoint(50, 50));
    EXPECT_TRUE(WaitFor([&] { return Status() == target; }, seconds(5))) << Status();
    lumo::test::MovePointerTo(m_view->WebView()->GetScreenPosition() + wxPoint(50, 250));
    EXPECT_TRUE(WaitFor([&] { return Status() == "Ready"; }, seconds(5))) << Status();

    auto requestsOfPage = [&] {
        auto all = m_server.Requests();
        return std::count(all.begin(), all.end(), "/hover.html");
    };
    long before = requestsOfPage();
    EXPECT_TRUE(m_view->RunKeyCommand(KeyCommand::Reload));
    EXPECT_TRUE(WaitFor([&] { return requestsOfPage() == before + 1; }, seconds(5)));
    EXPECT_TRUE(m_view->RunKeyCommand(KeyCommand::Reload));
    EXPECT_TRUE(WaitFor([&] { return requestsOfPage() == before + 2; }, seconds(5)));

    // Alt+Left goes back.
    ASSERT_TRUE(WaitFor([&] { return !m_view->IsLoading(); }));
    EXPECT_TRUE(m_view->RunKeyCommand(KeyCommand::Back));
    EXPECT_TRUE(WaitFor([&] { return Url() != page; }, seconds(5))) << Url();
}

// A page whose leave handler spins holds neither the next paper nor the
// window: its page process is ended, and the window's loop runs on.
TEST_F(WebPaneTest, APageThatSpinsAsItIsLeftHoldsNeitherTheNextPaperNorTheWindow)
{
    const std::string after = Serve("/after-spin.html", "After Spin", "<p>next</p>");
    // Another paper after a spinning pagehide or visibilitychange; Home
    // after a spinning beforeunload.
    for (const char* event : {"pagehide", "visibilitychange", "beforeunload"}) {
        const bool home = std::string(event) == "beforeunload";
        const std::string next = home ? std::string(kProductStartPage) : after;
        const std::string title = home ? "Lumo News Reader \u2014 Start" : "After Spin";
        Open(Serve(std::string("/spin-") + event + ".html", "Spinning",
                   std::string("<script>addEventListener('") + event +
                       "', function() { var end = Date.now() + 30000; "
                       "while (Date.now() < end) {} });</script>"),
             "Spinning");
        // The main loop's pulse: how late a 20 ms timer comes at worst.
        wxTimer pulse;
        auto last = std::chrono::steady_clock::now();
        milliseconds worstLate{0};
        pulse.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            const auto now = std::chrono::steady_clock::now();
            worstLate = std::max(worstLate, std::chrono::duration_cast<milliseconds>(now - last) -
                                                milliseconds(20));
            last = now;
        });
        pulse.Start(20);
        const auto start = std::chrono::steady_clock::now();
        m_view->NavigateTo(next, home ? "" : "Next Paper");
        EXPECT_TRUE(
            WaitFor([&] { return Url() == next && Caption() == lumo::test::CaptionFor(title); },
                    seconds(15)))
            << event << ": " << Url() << " " << Caption();
        const auto took =
            std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
        pulse.Stop();
        std::cout << event << " spinning page to " << (home ? "Home" : "the next paper") << ": "
                  << took.count() << " ms, main loop late by " << worstLate.count()
                  << " ms at worst\n";
        // Generous failure limits, not a measure of speed.
        EXPECT_LT(took, seconds(10)) << event;
        EXPECT_LT(worstLate, milliseconds(1000)) << event;
    }
}

TEST_F(WebPaneTest, HungOrGreedyPageGivesWayToTheNextPage)
{
    std::string next = Serve("/next.html", "Next", "<p>next</p>");
    m_view->NavigateTo(
        Serve("/loop.html", "Loop",
              "<script>setTimeout(function(){navigator.sendBeacon('/looping'); while(true){}}, 100)"
              "</script>"));
    ASSERT_TRUE(WaitForCaption("Loop"));
    // The page tells the server just before it loops.
    ASSERT_TRUE(WaitFor([&] {
        auto asked = m_server.Requests();
        return std::find(asked.begin(), asked.end(), "/looping") != asked.end();
    }));
    auto start = std::chrono::steady_clock::now();
    m_view->NavigateTo(next, "Next Paper");
    ASSERT_TRUE(WaitForCaption("Next", seconds(30))) << Caption();
    std::cout << "looping page to next page: "
              << std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start)
                     .count()
              << " ms\n";
    EXPECT_GE(m_view->Engine()->HungProcessesEnded(), 1);

    // A page that eats memory is ended at the ceiling and says so.
    SetWebProcessMemoryLimit(std::size_t(400) << 20);
    m_view->NavigateTo(Serve("/greedy.html", "Greedy",
                             "<script>var keep = []; setInterval(function() {"
                             "for (var i = 0; i < 8; i++) keep.push(new Array(1 << 20).fill(i));"
                             "}, 20);</script>"),
                       "Greedy Paper");
    EXPECT_TRUE(
        WaitFor([&] { return Failure() && Failure()->reason == FailureReason::TooMuchMemory; },
                seconds(40)))
        << Url();
    EXPECT_TRUE(WaitForCaption("Greedy Paper"));
    SetWebProcessMemoryLimit(0);
    m_view->NavigateTo(next);
    EXPECT_TRUE(WaitForCaption("Next"));
}

TEST_F(WebPaneTest, NothingAPageAsksForLeavesThePaneButWebMailAndPhoneAddresses)
{
    // Routes out of the pane from a click: each is refused with a line in
    // the status bar, and nothing reaches the desktop's opener.
    const std::string bank = "lumo://start/failed?reason=other&name=Your%20Bank&address=" +
                             PercentEncode("http://bank.example/");
    m_server.Route("/to-share",
                   WebResponse{302, "text/plain", "", {"Location: smb://127.0.0.1/share"}, 0});
    const std::string aside = "position:absolute;left:620px;width:250px;height:80px;display:block";
    std::string page = Serve(
        "/routes.html", "Routes",
        "<form id='out' action='smb://127.0.0.1/share' target='_blank'></form>"
        "<form id='local' action='file:///etc/'></form><div style='" +
            aside +
            ";top:0' onclick=\"document.getElementById('out').submit()\">form</div>"
            "<a href='/to-share' style='" +
            aside + ";top:100px'>redirect</a><div style='" + aside +
            ";top:200px' onclick=\"document.getElementById('local').submit()\">local</div>"
            "<a href='file:///etc/' style='" +
            aside + ";top:300px'>folder</a>" + ClickArea(0, "window.open('file:///etc/hostname')") +
            "<a href='smb://127.0.0.1/share' style='position:absolute;top:100px;left:0;"
            "width:600px;height:80px;display:block'>share</a>" +
            ClickArea(200, "location.href = 'foo://bar'") +
            ClickArea(300, "window.open('" + bank + "')") +
            ClickArea(400, "location.href = '" + bank +
                               "'; setTimeout(function() { document.title = 'Stayed'; }, 500)") +
            "<a href='mailto:editor@example.com' style='position:absolute;top:500px;left:0;"
            "width:600px;height:80px;display:block'>mail</a>");
    m_view->NavigateTo(page);
    ASSERT_TRUE(WaitForCaption("Routes"));
    ASSERT_TRUE(WaitForPaint());
    const struct
    {
        int x, y;
        std::string asked;
    } refused[] = {{100, 40, "file:///etc/hostname"},
                   {100, 140, "smb://127.0.0.1/share"},
                   {100, 240, "foo://bar"},
                   {100, 340, bank},
                   {700, 40, "smb://127.0.0.1/share?"}};
    for (const auto& route : refused) {
        m_frame->SetStatusText("");
        ClickPage(route.x, route.y);
        EXPECT_TRUE(
            WaitFor([&] { return Status() == RefusedOutsideMessage(route.asked); }, seconds(5)))
            << route.asked << ": " << Status();
        PastPopUpBurst();
    }
    // A server's redirect and a form to a local folder go nowhere either.
    ClickPage(700, 140);
    EXPECT_TRUE(WaitFor([&] { return m_server.Requests().back() == "/to-share"; }, seconds(5)));
    ClickPage(700, 240);
    // A link to a local folder is not followed, and the user is told so.
    m_frame->SetStatusText("");
    lumo::test::MovePointerTo(m_view->WebView()->GetScreenPosition() + wxPoint(700, 340));
    ASSERT_TRUE(WaitFor([&] { return Status() == "file:///etc/"; }, seconds(5))) << Status();
    ClickPage(700, 340);
    EXPECT_TRUE(
        WaitFor([&] { return Status() == RefusedOutsideMessage("file:///etc/"); }, seconds(5)))
        << Status();
    EXPECT_EQ(Url(), page);
    // The program's own failure page is the program's only: the page stays.
    ClickPage(100, 440);
    EXPECT_TRUE(WaitFor([&] { return Caption() != "Routes - Lumo News Reader"; }, seconds(5)));
    EXPECT_EQ(Caption(), "Stayed - Lumo News Reader");
    EXPECT_EQ(Url(), page);
    // Without the status bar the refusal shows in the pane.
    m_frame->GetStatusBar()->Hide();
    m_frame->SendSizeEvent();
    PastPopUpBurst();
    ASSERT_TRUE(WaitForPaint());
    ClickPage(100, 140);
    EXPECT_TRUE(WaitFor(
        [&] { return m_view->PaneNotice() == RefusedOutsideMessage("smb://127.0.0.1/share"); },
        seconds(5)))
        << m_view->PaneNotice();
    m_frame->GetStatusBar()->Show();
    m_frame->SendSizeEvent();
    // A mail address goes out, and is the only one that did.
    ClickPage(100, 540);
    ASSERT_TRUE(WaitFor([&] { return !m_urls.opened.empty(); }, seconds(5)));
    EXPECT_EQ(m_urls.opened, std::vector<std::string>{"mailto:editor@example.com"});
    // However it is written: no blank or control character, no attachment.
    for (const char* url :
         {"FILE:///home", " mailto:editor@example.com", "https://news.example/\nfile:///etc",
          "mailto:a@example.com?attach=/etc/passwd", "mailto:a@example.com?ATTACHMENT=x",
          "http:no-host", "javascript:alert(1)", "/etc/hostname"})
        EXPECT_EQ(OutsideRouteOf(url), OutsideRoute::Refused) << url;
    EXPECT_EQ(OutsideRouteOf("MAILTO:desk@example.com"), OutsideRoute::Desktop);
    EXPECT_EQ(OutsideRouteOf("HTTPS://News.example/a?b=1"), OutsideRoute::WebBrowser);

    // Without a click: a frame and a change of location to the program's
    // own page show nothing of it.
    m_view->NavigateTo(
        Serve("/frames.html", "Frames",
              "<iframe src='" + bank +
                  "'></iframe><script>setTimeout(function() { location.href = '" + bank +
                  "'; }, 200); setTimeout(function() { var inside; try { inside = "
                  "frames[0].location.href; } catch (e) { inside = 'elsewhere'; } document.title = "
                  "'Framed ' + inside; }, 1500);</script>"));
    EXPECT_TRUE(WaitFor([&] { return Caption().rfind("Framed", 0) == 0 || Failure(); }));
    EXPECT_EQ(Caption(), "Framed about:blank - Lumo News Reader");

    // Downloads a page starts by itself (its own location, hidden frames)
    // go nowhere; a click sends one, however many the click starts.
    m_server.Route("/paper.zip", WebResponse{200, "application/zip", "PK\x03\x04zip", {}, 0});
    m_server.Route(
        "/notes.txt",
        WebResponse{
            200, "text/plain", "notes", {"Content-Disposition: attachment; filename=n.txt"}, 0});
    m_urls.opened.clear();
    std::string downloads =
        Serve("/downloads.html", "Downloads",
              ClickArea(0, "for (var i = 0; i < 5; i++) { var f = document.createElement('iframe');"
                           " f.src = '/paper.zip?click' + i; document.body.appendChild(f); }"
                           " location.href = '/notes.txt?click';") +
                  "<a href='mailto:desk@example.com' style='position:absolute;top:100px;left:0;"
                  "width:600px;height:80px;display:block'>mail</a>"
                  "<script>var n = 0; var timer = setInterval(function() {"
                  " var f = document.createElement('iframe'); f.style.display = 'none';"
                  " f.src = (n % 2 ? '/paper.zip?' : '/notes.txt?') + n;"
                  " document.body.appendChild(f);"
                  " if (n % 4 == 0) location.href = '/paper.zip?top' + n;"
                  " if (++n == 20) { clearInterval(timer); document.title = 'Tried'; } }, 50);"
                  "</script>");
    m_view->NavigateTo(downloads);
    ASSERT_TRUE(WaitForCaption("Tried"));
    auto asked = [&](const std::string& path) {
        auto all = m_server.Requests();
        return std::count_if(all.begin(), all.end(),
                             [&](const std::string& r) { return r.rfind(path, 0) == 0; });
    };
    EXPECT_TRUE(WaitFor([&] { return asked("/paper.zip?top") >= 5; }, seconds(5)));
    ASSERT_TRUE(WaitForPaint());
    ClickPage(100, 40);
    ASSERT_TRUE(WaitFor([&] { return !m_urls.opened.empty(); }, seconds(5)));
    PastPopUpBurst();
    ClickPage(100, 140);
    ASSERT_TRUE(WaitFor([&] { return m_urls.opened.size() >= 2; }, seconds(5)));
    ASSERT_EQ(m_urls.opened.size(), 2u) << m_urls.opened[1];
    EXPECT_NE(m_urls.opened[0].find("click"), std::string::npos) << m_urls.opened[0];
    EXPECT_EQ(m_urls.opened[1], "mailto:desk@example.com");
    EXPECT_EQ(Url(), downloads);
}

TEST_F(WebPaneTest, APagesLeavePromptNeverHoldsTheProgramsOwnNavigations)
{
    std::string next = Serve("/next.html", "Next", "");
    const std::string click = ClickArea(0, "document.title = 'Clicked'");
    std::string prompting = Serve("/prompting.html", "Prompting",
                                  click + "<script>addEventListener('beforeunload', function(e) {"
                                          " e.preventDefault(); e.returnValue = 'x'; });</script>");
    std::string asking = Serve("/asking.html", "Asking",
                               click + "<script>onbeforeunload = function(e) {"
                                       " e.returnValue = 'x'; return 'x'; };</script>");
    auto openAndClick = [&](const std::string& address, const std::string& title) {
        m_view->NavigateTo(address);
        ASSERT_TRUE(WaitForCaption(title));
        ASSERT_TRUE(WaitForPaint());
        ClickPage(100, 40);
        ASSERT_TRUE(WaitForCaption("Clicked"));
    };
    // Another paper, with and without a click in the page first.
    for (const auto& [address, title] : {std::pair{prompting, "Prompting"}, {asking, "Asking"}}) {
        openAndClick(address, title);
        m_view->NavigateTo(next, "Next Paper");
        EXPECT_TRUE(WaitForCaption("Next")) << Caption();
        EXPECT_EQ(Url(), next);
        m_view->NavigateTo(address);
        ASSERT_TRUE(WaitForCaption(title));
        m_view->NavigateTo(next, "Next Paper");
        EXPECT_TRUE(WaitForCaption("Next")) << Caption();
    }
    // F5 loads the page again; Home goes to the start page.
    openAndClick(prompting, "Prompting");
    auto asked = [&] {
        auto all = m_server.Requests();
        return std::count(all.begin(), all.end(), "/prompting.html");
    };
    const long before = asked();
    m_view->Reload();
    EXPECT_TRUE(WaitFor([&] { return asked() == before + 1; }, seconds(10)));
    EXPECT_TRUE(WaitForCaption("Prompting")) << Caption();
    ASSERT_TRUE(WaitForPaint());
    ClickPage(100, 40);
    ASSERT_TRUE(WaitForCaption("Clicked"));
    m_view->NavigateTo(kProductStartPage);
    EXPECT_TRUE(WaitForCaption("Lumo News Reader \u2014 Start")) << Caption();
    EXPECT_EQ(Url(), kProductStartPage);
}

// A server that takes the request and never answers: the paper's failure
// page comes once the time limit has passed, not the old page under the new
// paper's name.
TEST_F(WebPaneTest, APaperThatNeverAnswersEndsOnItsFailurePageAfterTheTimeLimit)
{
    Open(Serve("/old.html", "Old Page", "<p>old</p>"), "Old Page");
    m_server.Route("/never.html", WebResponse{200, "text/html", PageHtml("Never", ""), {}, 60000});
    SetNavigationAnswerLimit(2000);
    m_view->NavigateTo(m_server.Url("/never.html"), "Silent Paper");
    EXPECT_TRUE(WaitForFailurePage("Silent Paper")) << Url() << " " << Caption();
    SetNavigationAnswerLimit(0);
    ASSERT_TRUE(Failure());
    EXPECT_EQ(Failure()->reason, FailureReason::TimedOut);
    EXPECT_EQ(Failure()->address, m_server.Url("/never.html"));
}

TEST_F(WebPaneTest, UnreachablePaperEndsOnItsFailurePageWhateverShowedAndTryingAgainShows)
{
    // After a page of the same site, a port the engine will not use and a
    // port nothing listens on both end on the paper's failure page.
    std::string front = Serve("/", "Front Page", "<p>front</p>");
    const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/front";
    // Opened first, as after the start.
    m_view->NavigateTo("http://127.0.0.1:9/front", "Paper B");
    EXPECT_TRUE(WaitFor([&] {
        return Failure() && Failure()->address == "http://127.0.0.1:9/front";
    })) << Url();
    EXPECT_TRUE(WaitForCaption("Paper B")) << Caption();
    for (const std::string& unreachable : {std::string("http://127.0.0.1:9/front"), closed}) {
        m_view->NavigateTo(front, "Paper A");
        ASSERT_TRUE(WaitForCaption("Front Page"));
        ASSERT_TRUE(WaitFor([&] { return !m_view->IsLoading(); }));
        m_view->NavigateTo(unreachable, "Paper B");
        EXPECT_TRUE(WaitFor([&] { return Failure() && Failure()->address == unreachable; }))
            << unreachable << ": " << Url();
        EXPECT_TRUE(WaitForCaption("Paper B")) << unreachable << ": " << Caption();
        EXPECT_TRUE(WaitFor([&] { return !m_view->ShowsLoadProgress(); })) << unreachable;
    }
    EXPECT_EQ(Failure()->reason, FailureReason::Refused);

    // Tried again and failing again at once, the line runs and the page
    // says when it was tried.
    const auto tried = [&] {
        std::string source = m_view->WebView()->GetPageSource().utf8_string();
        size_t at = source.find("Last tried at ");
        return at == std::string::npos ? std::string() : source.substr(at, 22);
    };
    ASSERT_TRUE(WaitFor([&] { return !tried().empty(); }));
    const std::string first = tried();
    // The clock shows another second than the first try's before the next.
    ASSERT_TRUE(WaitFor([&] {
        return "Last tried at " + wxDateTime::Now().FormatISOTime().utf8_string() != first;
    }));
    m_view->Reload();
    EXPECT_TRUE(WaitFor([&] { return m_view->ShowsLoadProgress(); }, seconds(5)));
    EXPECT_TRUE(WaitFor([&] { return !tried().empty() && tried() != first; })) << first;
    EXPECT_TRUE(WaitFor([&] { return !m_view->ShowsLoadProgress(); }));
    EXPECT_EQ(Caption(), "Paper B - Lumo News Reader");
}

TEST_F(WebPaneTest, PageProcessDyingAsANavigationStartsOrLoadsLosesNoPaper)
{
    const auto killPageProcesses = [] {
        for (const WebProcessUsage& process : WebProcessesOfThisProgram())
            kill(process.pid, SIGKILL);
    };
    m_view->NavigateTo(Serve("/old.html", "Old Page", "<p>old</p>"));
    ASSERT_TRUE(WaitForCaption("Old Page"));
    ASSERT_TRUE(WaitFor([&] { return !m_view->IsLoading(); }));

    // Dying just as the navigation starts: the paper asked for still comes.
    m_server.Route(
        "/next.html",
        WebResponse{200, "text/html", PageHtml("Next Page", "<p>next text</p>"), {}, 800});
    const std::string next = m_server.Url("/next.html");
    m_view->NavigateTo(next, "Next Paper");
    killPageProcesses();
    EXPECT_TRUE(WaitFor([&] {
        return (Url() == next && Caption() == "Next Page - Lumo News Reader") ||
               (Failure() && Failure()->reason == FailureReason::StoppedWorking &&
                Caption() == "Next Paper - Lumo News Reader");
    })) << Url()
        << " " << Caption();
    if (!Failure()) {
        EXPECT_TRUE(
            WaitFor([&] { return RunScript("document.body.innerText.trim()") == "next text"; }));
    }

    // Dying while the plain address is asked for, after the secure one.
    m_server.Route("/later.html",
                   WebResponse{200, "text/html", PageHtml("Later Page", "<p>later</p>"), {}, 1500});
    const std::string later = m_server.Url("/later.html");
    m_view->NavigateTo(later, "Later Paper");
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<std::string> asked = m_server.Requests();
        return std::find(asked.begin(), asked.end(), "/later.html") != asked.end();
    }));
    killPageProcesses();
    EXPECT_TRUE(WaitFor([&] {
        return (Url() == later && Caption() == "Later Page - Lumo News Reader") ||
               (Failure() && Failure()->reason == FailureReason::StoppedWorking &&
                Caption() == "Later Paper - Lumo News Reader");
    })) << Url()
        << " " << Caption();

    // Dying while the page loads (its picture comes late): the page shows.
    m_server.Route("/late.svg", WebResponse{200,
                                            "image/svg+xml",
                                            "<svg xmlns='http://www.w3.org/2000/svg' width='9' "
                                            "height='9'/>",
                                            {},
                                            3000});
    const std::string slow =
        Serve("/slow.html", "Slow Page", "<p>slow text</p><img src='/late.svg'>");
    m_view->NavigateTo(slow, "Slow Paper");
    ASSERT_TRUE(WaitForCaption("Slow Page"));
    ASSERT_TRUE(m_view->IsLoading());
    killPageProcesses();
    EXPECT_TRUE(WaitFor([&] {
        return (Url() == slow && !m_view->IsLoading() &&
                RunScript("document.body.innerText.trim()") == "slow text") ||
               (Failure() && Failure()->reason == FailureReason::StoppedWorking);
    })) << Url()
        << " " << Caption();
    EXPECT_TRUE(WaitFor([&] {
        return Caption() ==
               (Failure() ? "Slow Paper" : "Slow Page") + std::string(" - Lumo News Reader");
    })) << Caption();

    // The network process ending while the paper's page loads, before
    // its first data and after: a failure page names the paper, as the
    // caption does.
    const auto killNetworkProcess = [] {
        DIR* proc = opendir("/proc");
        ASSERT_NE(proc, nullptr);
        while (dirent* process = readdir(proc)) {
            const pid_t pid = static_cast<pid_t>(atoi(process->d_name));
            std::ifstream stat("/proc/" + std::string(process->d_name) + "/stat");
            std::string line;
            std::getline(stat, line);
            const size_t close = line.rfind(')');
            if (pid > 0 && line.find("(WebKitNetworkPr") != std::string::npos &&
                close != std::string::npos && std::atoi(line.c_str() + close + 4) == getpid())
                kill(pid, SIGKILL);
        }
        closedir(proc);
    };
    m_server.Route(
        "/waiting.html",
        WebResponse{200, "text/html", PageHtml("Waiting Page", "<p>waiting</p>"), {}, 3000});
    for (const std::string& address : {m_server.Url("/waiting.html"), slow + "?net"}) {
        m_view->NavigateTo(address, "Net Paper");
        // A network process started again after the last kill may take a
        // while on a busy machine before it asks.
        ASSERT_TRUE(WaitFor(
            [&] {
                const std::vector<std::string> asked = m_server.Requests();
                return !asked.empty() && address.find(asked.back()) != std::string::npos;
            },
            std::chrono::seconds(30)))
            << address;
        killNetworkProcess();
        EXPECT_TRUE(WaitFor([&] {
            return !m_view->IsLoading() && (Failure() || Url() == address);
        })) << Url();
        if (Failure()) {
            EXPECT_EQ(Failure()->name, "Net Paper");
            EXPECT_TRUE(WaitForCaption("Net Paper")) << Caption();
        }
        std::cout << "network process gone: " << (Failure() ? "failure page " : "page ")
                  << Caption() << "\n";
    }
}
