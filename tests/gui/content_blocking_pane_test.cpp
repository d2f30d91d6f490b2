// Ads and trackers blocked in the pane itself, on local pages: the shipped
// filters are compiled into the cache at the first page, which waits for
// them; a tracker's request never reaches the server and an ad's box is not
// shown; an allowed site, and blocking turned off, get everything again; the
// lists fetched anew are used once compiled, a failed update keeps them, and
// the built-in lists come back on request. A list that would take the pages
// down is refused, the program's own pages show whatever the filters say,
// and a damaged compiled filter is compiled again.
#include "blocking_report_page.h"
#include "browser/engine/blocking/filter_library.h"
#include "browser/engine/blocking/list_update.h"
#include "browser/engine/blocking/prebuilt_filters.h"
#include "browser/engine/engine_environment.h"
#include "browser_pane_fixture.h"
#include "common/resource_ids.h"
#include "content_filter/blocking_settings.h"
#include "content_filter/filter_converter.h"
#include "content_filter/filter_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>

#include <signal.h>

#include <wx/statusbr.h>

#include <webkit2/webkit2.h>

using namespace lumo;
using namespace lumo::content_filter;
using lumo::test::ServeBlockingReportPage;
using lumo::test::WaitFor;
using lumo::test::WriteFile;

namespace {

const std::vector<std::string> kImages = {"/ads/banner.png", "/tracker/pixel.png",
                                          "/img/photo.png"};

void WriteFilters(const std::string& folder, const std::string& name, const std::string& list)
{
    Converter converter;
    converter.AddList(list);
    std::vector<std::string> parts = SplitIntoParts(converter.Finish(), WebKitMaxRules);
    ASSERT_EQ(parts.size(), 1u);
    std::filesystem::create_directories(folder);
    WriteFile(folder + "/" + name + "-1.json", parts.front());
}

// Rules that block hosts no page here loads from, `count` of them.
std::string HostRules(const std::string& name, int count)
{
    std::string rules;
    for (int i = 0; i < count; ++i)
        rules += "||" + name + std::to_string(i) + ".example^\n";
    return rules;
}

const auto kStore = [] {
    return std::filesystem::path(g_get_user_cache_dir()) / "lumo-news-reader";
};

// The files of the compiled filters' store.
std::vector<std::string> Compiled()
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kStore() / "filters", error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ContentBlockingPaneTest : public lumo::test::BrowserPaneFixture
{
protected:
    void Open()
    {
        m_view->NavigateTo(m_server.Url("/news/page.html?" + std::to_string(++m_loads)));
    }

    // The page loaded anew (a query of its own each time), as it reported.
    std::string Load(bool opened = false)
    {
        if (!opened)
            Open();
        const std::string start = "done /news/page.html?" + std::to_string(m_loads) + " ";
        WaitFor([&] { return m_view->PageTitle().starts_with(start); }, std::chrono::seconds(60));
        const std::string title = m_view->PageTitle();
        return title.starts_with(start) ? title.substr(start.size()) : "no report: " + title;
    }

    long Requested(const std::string& path)
    {
        auto requests = m_server.Requests();
        return std::count(requests.begin(), requests.end(), path);
    }

    // Picks `label` from the page's context menu; false when it is not offered.
    bool PickFromPageMenu(const std::string& label)
    {
        auto* view = static_cast<WebKitWebView*>(m_view->WebView()->GetNativeBackend());
        WebKitContextMenu* menu = webkit_context_menu_new();
        gboolean handled = FALSE;
        g_signal_emit_by_name(view, "context-menu", menu, nullptr, nullptr, &handled);
        bool picked = false;
        for (GList* item = webkit_context_menu_get_items(menu); item; item = item->next) {
            auto* entry = static_cast<WebKitContextMenuItem*>(item->data);
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            GtkAction* action = webkit_context_menu_item_get_action(entry);
            const char* text = action ? gtk_action_get_label(action) : nullptr;
            G_GNUC_END_IGNORE_DEPRECATIONS
            if (text && label == text && !picked) {
                g_action_activate(webkit_context_menu_item_get_gaction(entry), nullptr);
                picked = true;
            }
        }
        g_object_unref(menu);
        return picked;
    }

    BlockingSettings Blocking() { return BlockingSettings(m_settings.get()); }

    // The lists the next update fetches.
    void ServeLists(const std::string& easyList, const std::string& easyPrivacy)
    {
        lumo::test::WebResponse ads, trackers;
        ads.contentType = trackers.contentType = "text/plain";
        ads.body = "[Adblock Plus 2.0]\n! Title: EasyList\n" + easyList;
        trackers.body = "[Adblock Plus 2.0]\n! Title: EasyPrivacy\n" + easyPrivacy;
        m_server.Route("/lists/easylist.txt", ads);
        m_server.Route("/lists/easyprivacy.txt", trackers);
        Blocking().SetListAddresses(m_server.Url("/lists/easylist.txt"),
                                    m_server.Url("/lists/easyprivacy.txt"));
    }

    // An update of the lists, due at once; false when it did not end in time.
    bool UpdateLists()
    {
        const FilterListUpdates before = FilterListUpdateCount();
        Blocking().SetLastListUpdate(0);
        CheckFilterListsNow();
        return WaitFor(
            [&] {
                const FilterListUpdates now = FilterListUpdateCount();
                return now.switched + now.failed > before.switched + before.failed;
            },
            std::chrono::seconds(90));
    }

    static std::string Evaluate(wxWebView* view, const std::string& script)
    {
        return lumo::test::EvaluateInView(view, script);
    }

    // The style of the body of the page on screen, once it is loaded.
    std::string BodyDisplay()
    {
        std::string display;
        WaitFor([&] {
            display = Evaluate(m_view->WebView(), "document.readyState == 'complete' ? "
                                                  "getComputedStyle(document.body).display : ''");
            return !m_view->IsLoading() && !display.empty();
        });
        return display;
    }

    lumo::test::LocalWebServer m_server;
    int m_loads = 0;
};

} // namespace

TEST_F(ContentBlockingPaneTest, BlocksInThePaneAllowsSitesAndKeepsFiltersThroughFailedUpdates)
{
    // The shipped filters, as the build makes them from the two lists, with
    // enough rules to take WebKit a while to compile.
    const std::string shipped = m_dir.File("filters");
    std::filesystem::create_directories(shipped);
    WriteFilters(shipped, "ads", "/ads/*$image\n##.ad-box\n" + HostRules("ads", 40000));
    WriteFilters(shipped, "trackers", "/tracker/*\n||trackers.example^\n");
    SetShippedFiltersFolder(shipped);
    SetListUpdateDelay(std::chrono::hours(24));
    SetNetworkAvailableCheck([] { return true; });

    ServeBlockingReportPage(m_server, {"/news/page.html"}, kImages, {"ad-box"});

    // The first page waits for the filters compiled at the engine's start,
    // and the status bar says so.
    m_frame->CreateStatusBar();
    ASSERT_NE(m_view->CreateBrowser(), nullptr);
    // Nothing ran since the engine started: its filters are being prepared.
    // The program's own pages never wait; a web page does.
    m_view->NavigateTo(kProductStartPage);
    EXPECT_EQ(m_view->PageAddress(), kProductStartPage);
    EXPECT_NE(m_frame->GetStatusBar()->GetStatusText().utf8_string(), kPreparingFiltersMessage);
    Open();
    EXPECT_EQ(m_view->PageAddress(), kProductStartPage);
    EXPECT_EQ(m_frame->GetStatusBar()->GetStatusText().utf8_string(), kPreparingFiltersMessage);
    EXPECT_TRUE(m_view->ShowsLoadProgress());
    EXPECT_TRUE(m_view->IsLoading());
    EXPECT_EQ(Load(true), "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=load "
                          "ad-box=none");
    EXPECT_TRUE(ContentFiltersReady());
    EXPECT_EQ(Requested("/ads/banner.png"), 0);
    EXPECT_EQ(Requested("/tracker/pixel.png"), 0);
    EXPECT_EQ(Requested("/img/photo.png"), 1);
    EXPECT_TRUE(std::filesystem::exists(kStore() / "filters-shipped.ids"));

    // The site allowed from the page's menu gets its ads at its next load,
    // and blocked again from the same menu.
    EXPECT_FALSE(PickFromPageMenu(kBlockAdsLabel));
    ASSERT_TRUE(PickFromPageMenu(kAllowAdsLabel));
    EXPECT_EQ(Blocking().AllowedSites(), std::set<std::string>{"127.0.0.1"});
    EXPECT_EQ(Load(), "/ads/banner.png=load /tracker/pixel.png=load /img/photo.png=load "
                      "ad-box=block");
    EXPECT_EQ(Requested("/tracker/pixel.png"), 1);
    ASSERT_TRUE(PickFromPageMenu(kBlockAdsLabel));
    EXPECT_TRUE(Blocking().AllowedSites().empty());
    EXPECT_EQ(Load(), "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=load "
                      "ad-box=none");

    // Blocking turned off, and on again.
    Blocking().SetEnabled(false);
    EXPECT_FALSE(PickFromPageMenu(kAllowAdsLabel));
    EXPECT_EQ(Load(), "/ads/banner.png=load /tracker/pixel.png=load /img/photo.png=load "
                      "ad-box=block");
    Blocking().SetEnabled(true);
    EXPECT_EQ(Load(), "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=load "
                      "ad-box=none");

    // Fresh lists, fetched from the addresses of the settings, replace the
    // shipped filters once compiled: these also refuse /img/.
    const std::string easyList = "/ads/*$image\n##.ad-box\n" + HostRules("ad", 30000);
    ServeLists(easyList, "/tracker/*\n/img/*\n");
    CheckFilterListsNow();
    EXPECT_EQ(FilterListUpdateCount().started, 1);
    ASSERT_TRUE(
        WaitFor([] { return FilterListUpdateCount().switched == 1; }, std::chrono::seconds(60)))
        << FilterListUpdateCount().lastError;
    EXPECT_NE(Blocking().LastListUpdate(), 0);
    EXPECT_EQ(Load(), "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=error "
                      "ad-box=none");

    // Not due again for four days.
    CheckFilterListsNow();
    EXPECT_EQ(FilterListUpdateCount().started, 1);

    // A list that is gone, and one that is no filter list: the fresh
    // filters stay in use.
    m_server.Route("/lists/easyprivacy.txt", lumo::test::WebResponse{404, "text/html", "gone", {}});
    Blocking().SetLastListUpdate(0);
    CheckFilterListsNow();
    ASSERT_TRUE(WaitFor([] { return FilterListUpdateCount().failed == 1; }));
    EXPECT_NE(FilterListUpdateCount().lastError.find("404"), std::string::npos)
        << FilterListUpdateCount().lastError;

    m_server.Route(
        "/lists/easyprivacy.txt",
        lumo::test::WebResponse{
            200, "text/html", "<!doctype html><title>Welcome</title><p>Sign in</p>", {}});
    Blocking().SetLastListUpdate(0);
    CheckFilterListsNow();
    ASSERT_TRUE(WaitFor([] { return FilterListUpdateCount().failed == 2; }));
    EXPECT_EQ(FilterListUpdateCount().switched, 1);
    EXPECT_EQ(Load(), "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=error "
                      "ad-box=none");

    // The next lists take the place of these, in the cache too.
    EXPECT_THAT(Compiled(), testing::Contains("ContentRuleList-fresh-a-trackers-1"));
    ServeLists(easyList, "/tracker/*\n");
    ASSERT_TRUE(UpdateLists());
    EXPECT_EQ(FilterListUpdateCount().switched, 2) << FilterListUpdateCount().lastError;
    EXPECT_EQ(Load(), "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=load "
                      "ad-box=none");
    EXPECT_TRUE(WaitFor([&] {
        return Compiled() == std::vector<std::string>{"ContentRuleList-fresh-b-ads-1",
                                                      "ContentRuleList-fresh-b-trackers-1",
                                                      "ContentRuleList-shipped-ads-1",
                                                      "ContentRuleList-shipped-trackers-1"};
    })) << testing::PrintToString(Compiled());

    // Back to the lists the program came with, in the page on screen at once.
    ServeLists(easyList, "/tracker/*\n/img/*\n");
    ASSERT_TRUE(UpdateLists());
    ASSERT_EQ(FilterListUpdateCount().switched, 3) << FilterListUpdateCount().lastError;
    EXPECT_EQ(Load(), "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=error "
                      "ad-box=none");
    RunScript("document.title = 'shown before'");
    ASSERT_TRUE(WaitFor([&] { return m_view->PageTitle() == "shown before"; }));
    m_view->UseBuiltInFilterLists();
    EXPECT_EQ(Load(true), "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=load "
                          "ad-box=none");
    EXPECT_TRUE(WaitFor([&] {
        return Compiled() == std::vector<std::string>{"ContentRuleList-shipped-ads-1",
                                                      "ContentRuleList-shipped-trackers-1"};
    })) << testing::PrintToString(Compiled());
    EXPECT_FALSE(std::filesystem::exists(kStore() / "filters-fresh.ids"));
    SetNetworkAvailableCheck({});
}

TEST_F(ContentBlockingPaneTest, FiltersThatCannotBePreparedLeavePagesUnfilteredAndSaySo)
{
    const std::string broken = m_dir.File("broken");
    std::filesystem::create_directories(broken);
    // A regular expression WebKit refuses.
    WriteFile(broken + "/ads-1.json",
              R"([{"trigger":{"url-filter":"(ads"},"action":{"type":"block"}}])");
    SetShippedFiltersFolder(broken);

    ServeBlockingReportPage(m_server, {"/news/page.html"}, kImages, {"ad-box"});

    m_frame->CreateStatusBar();
    ASSERT_NE(m_view->CreateBrowser(), nullptr);
    EXPECT_EQ(Load(), "/ads/banner.png=load /tracker/pixel.png=load /img/photo.png=load "
                      "ad-box=block");
    EXPECT_FALSE(ContentFiltersReady());
    EXPECT_TRUE(WaitFor([&] { return !m_view->ShowsLoadProgress(); }));
    EXPECT_EQ(m_frame->GetStatusBar()->GetStatusText().utf8_string(), kFiltersFailedMessage);
    // The next page asked for loads at once, and the line gives way to it.
    EXPECT_EQ(Load(), "/ads/banner.png=load /tracker/pixel.png=load /img/photo.png=load "
                      "ad-box=block");
    EXPECT_TRUE(WaitFor([&] { return !m_view->ShowsLoadProgress(); }));
    EXPECT_EQ(m_frame->GetStatusBar()->GetStatusText().utf8_string(), "Ready");
}

TEST_F(ContentBlockingPaneTest, AListThatWouldTakeThePagesDownIsRefusedAndOwnPagesAlwaysShow)
{
    const std::string shipped = m_dir.File("filters");
    WriteFilters(shipped, "ads", "/ads/*$image\n##.ad-box\n");
    WriteFilters(shipped, "trackers", "/tracker/*\n");
    SetShippedFiltersFolder(shipped);
    SetListUpdateDelay(std::chrono::hours(24));
    SetNetworkAvailableCheck([] { return true; });
    ServeBlockingReportPage(m_server, {"/news/page.html"}, kImages, {"ad-box"});
    ASSERT_NE(m_view->CreateBrowser(), nullptr);
    const std::string filtered =
        "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=load ad-box=none";
    ASSERT_EQ(Load(), filtered);
    // Turned off, whatever the filters did, the page shows at once when
    // loaded again (as the View menu does), and on again.
    Blocking().SetEnabled(false);
    RunScript("document.title = 'shown before'");
    ASSERT_TRUE(WaitFor([&] { return m_view->PageTitle() == "shown before"; }));
    m_view->Reload();
    EXPECT_EQ(Load(true),
              "/ads/banner.png=load /tracker/pixel.png=load /img/photo.png=load ad-box=block");
    Blocking().SetEnabled(true);

    // Lists that would block every address, hide every page, take every
    // paragraph (which only trying the filters on a page shows), or come in
    // far too many rules, or too large: each keeps the filters in use.
    lumo::test::WebResponse huge{200, "text/plain", "[Adblock Plus 2.0]\n", {}};
    huge.body += std::string(25 * 1024 * 1024, '!');
    const std::pair<std::string, std::string> refused[] = {
        {"/ads/*$image\n##.ad-box\n|http\n", "blocks the plain addresses of any site"},
        {"/ads/*$image\n##.ad-box\n##body\n", "hides the whole page"},
        {"/ads/*$image\n##.ad-box\n##p\n", "take its text from the page"},
        {"/ads/*$image\n##.ad-box\n" + HostRules("ad", 10),
         "13 rules where the shipped list has 2"},
        {"", "larger than 20 MB"},
    };
    const FilterListUpdates before = FilterListUpdateCount();
    for (const auto& [list, why] : refused) {
        ServeLists(list, "/tracker/*\n");
        if (list.empty())
            m_server.Route("/lists/easylist.txt", huge);
        ASSERT_TRUE(UpdateLists()) << why;
        EXPECT_THAT(FilterListUpdateCount().lastError, testing::HasSubstr(why));
    }
    EXPECT_EQ(FilterListUpdateCount().switched, before.switched);
    EXPECT_EQ(FilterListUpdateCount().failed, before.failed + 5);
    EXPECT_EQ(Load(), filtered);
    // Nothing of the refused lists is left in the store.
    EXPECT_EQ(Compiled(), (std::vector<std::string>{"ContentRuleList-shipped-ads-1",
                                                    "ContentRuleList-shipped-trackers-1"}));

    // Filters that block every page and hide every body: a web page is
    // refused, and the program's own pages (its failure page, its start
    // page) show all the same.
    const std::string deadly = m_dir.File("deadly");
    WriteFilters(deadly, "ads", "##body\n");
    WriteFilters(deadly, "trackers", "*$document\n");
    SetShippedFiltersFolder(deadly);
    Open();
    ASSERT_TRUE(WaitFor([&] { return m_view->ShowsFailurePage(); }, std::chrono::seconds(60)));
    EXPECT_EQ(Requested("/news/page.html?" + std::to_string(m_loads)), 0);
    EXPECT_EQ(BodyDisplay(), "block");
    m_view->NavigateTo(kProductStartPage);
    ASSERT_TRUE(WaitFor([&] { return Url() == kProductStartPage && !m_view->ShowsFailurePage(); }));
    EXPECT_EQ(BodyDisplay(), "block");

    SetNetworkAvailableCheck({});
}

TEST_F(ContentBlockingPaneTest, ADamagedCompiledStoreIsCompiledAgain)
{
    const std::string shipped = m_dir.File("filters");
    WriteFilters(shipped, "ads", "/ads/*$image\n##.ad-box\n" + HostRules("ads", 5000));
    WriteFilters(shipped, "trackers", "/tracker/*\n");
    SetShippedFiltersFolder(shipped);
    SetListUpdateDelay(std::chrono::hours(24));
    ServeBlockingReportPage(m_server, {"/news/page.html"}, kImages, {"ad-box"});
    ASSERT_NE(m_view->CreateBrowser(), nullptr);
    const std::string filtered =
        "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=load ad-box=none";
    ASSERT_EQ(Load(), filtered);

    // One compiled file changed by a bit, a folder in place of the other:
    // at the next start both are compiled again, and serve.
    const auto ads = CompiledFile(kStore() / "filters", "shipped-ads-1");
    const auto trackers = CompiledFile(kStore() / "filters", "shipped-trackers-1");
    std::string bytes = lumo::test::ReadFile(ads);
    ASSERT_GT(bytes.size(), 1000u);
    bytes[bytes.size() / 2] ^= 0x10;
    WriteFile(ads, bytes);
    std::filesystem::remove(trackers);
    std::filesystem::create_directories(trackers / "inside");
    PrepareFiltersAgain();
    Open();
    EXPECT_FALSE(ContentFiltersReady());
    EXPECT_EQ(Load(true), filtered);
    EXPECT_TRUE(std::filesystem::is_regular_file(trackers));
    EXPECT_NE(lumo::test::ReadFile(ads), bytes);

    // As recorded, so the start after loads them as they are.
    const std::string state = lumo::test::ReadFile(kStore() / "filters-shipped.ids");
    const auto records = ParseRecords(state.substr(state.find('\n') + 1));
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 2u);
    for (const CompiledRecord& record : *records)
        EXPECT_TRUE(Intact(kStore() / "filters", record)) << record.id;
}

TEST_F(ContentBlockingPaneTest, FiltersCompiledWithTheProgramServeAFirstStartOnTheirWebKitOnly)
{
    const std::string shipped = m_dir.File("filters");
    WriteFilters(shipped, "ads", "/ads/*$image\n##.ad-box\n");
    WriteFilters(shipped, "trackers", "/tracker/*\n");
    std::string error;
    ASSERT_TRUE(lumo::CompilePrebuiltFilters(shipped, error)) << error;
    SetShippedFiltersFolder(shipped);
    SetListUpdateDelay(std::chrono::hours(24));
    ServeBlockingReportPage(m_server, {"/news/page.html"}, kImages, {"ad-box"});
    ASSERT_NE(m_view->CreateBrowser(), nullptr);
    const std::string filtered =
        "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=load ad-box=none";

    // A first start: they serve, and nothing is compiled into the user's cache.
    EXPECT_EQ(Load(), filtered);
    EXPECT_THAT(Compiled(), testing::Each(testing::Not(testing::StartsWith("ContentRuleList"))));

    // Made by another WebKit: compiled for this one, and they serve the same.
    const std::filesystem::path state = lumo::PrebuiltFolder(shipped) / "filters.ids";
    std::string text = lumo::test::ReadFile(state);
    const std::string version = "webkit " + lumo::EngineVersion();
    ASSERT_NE(text.find(version), std::string::npos);
    text.replace(text.find(version), version.size(), "webkit 1.0.0");
    WriteFile(state.string(), text);
    PrepareFiltersAgain();
    EXPECT_EQ(Load(), filtered);
    EXPECT_THAT(Compiled(), testing::Contains("ContentRuleList-shipped-ads-1"));
}

TEST_F(ContentBlockingPaneTest, APageProcessThatKeepsCrashingWithTheFiltersTurnsThemOffForTheRun)
{
    const std::string shipped = m_dir.File("filters");
    WriteFilters(shipped, "ads", "/ads/*$image\n##.ad-box\n");
    WriteFilters(shipped, "trackers", "/tracker/*\n");
    SetShippedFiltersFolder(shipped);
    SetListUpdateDelay(std::chrono::hours(24));
    ServeBlockingReportPage(m_server, {"/news/page.html"}, kImages, {"ad-box"});
    m_frame->CreateStatusBar();
    ASSERT_NE(m_view->CreateBrowser(), nullptr);
    ASSERT_EQ(Load(),
              "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=load ad-box=none");

    // The page's process dies three times in a row, as with a filter that
    // takes it down at every page.
    for (int crash = 0; crash < 3; ++crash) {
        const std::vector<WebProcessUsage> processes = WebProcessesOfThisProgram();
        ASSERT_FALSE(processes.empty()) << crash;
        for (const WebProcessUsage& process : processes)
            kill(process.pid, SIGKILL);
        ASSERT_TRUE(WaitFor([&] {
            const std::vector<WebProcessUsage> now = WebProcessesOfThisProgram();
            return !now.empty() && now.front().pid != processes.front().pid && !m_view->IsLoading();
        })) << crash;
        EXPECT_EQ(ContentFiltersReady(), crash < 2) << crash;
    }
    EXPECT_EQ(m_frame->GetStatusBar()->GetStatusText().utf8_string(), kFiltersTurnedOffMessage);
    EXPECT_EQ(Load(), "/ads/banner.png=load /tracker/pixel.png=load /img/photo.png=load "
                      "ad-box=block");
    // For the rest of the run.
    PrepareFiltersAgain();
    EXPECT_EQ(Load(), "/ads/banner.png=load /tracker/pixel.png=load /img/photo.png=load "
                      "ad-box=block");
}

TEST_F(ContentBlockingPaneTest, TheReaderViewKeepsToTheFiltersAndBlockedImagesCollapse)
{
    const std::string shipped = m_dir.File("filters");
    WriteFilters(shipped, "ads", "/ads/*$image,subdocument\n##.ad--728x90\n");
    WriteFilters(shipped, "trackers", "/tracker/*\n");
    SetShippedFiltersFolder(shipped);
    SetListUpdateDelay(std::chrono::hours(24));

    // An article with a banner, a tracking pixel and an ad box, each of
    // them asked for again at every load.
    std::string article = "<!doctype html><html><head><title>Bridge reopens</title></head><body>"
                          "<article><h1>Bridge reopens after two years</h1>"
                          "<img id=banner src=/ads/banner.png width=728 height=90 "
                          "style='border:1px solid'>"
                          "<img src=/tracker/pixel.png width=1 height=1>"
                          "<iframe id=frame src=/ads/frame.html width=300 height=250></iframe>"
                          "<div class=ad--728x90>Buy the advertised car</div>";
    for (int i = 1; i <= 8; ++i)
        article += "<p>Paragraph " + std::to_string(i) +
                   ": the old bridge over the river opened again this morning, two years after "
                   "the flood, and the first buses crossed it before seven o'clock.</p>";
    article += "</article></body></html>";
    m_server.Route("/news/bridge.html", lumo::test::WebResponse{200, "text/html", article, {}});
    lumo::test::WebResponse image{
        200,
        "image/svg+xml",
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="728" height="90"/>)",
        {"Cache-Control: no-store"}};
    m_server.Route("/ads/banner.png", image);
    m_server.Route("/tracker/pixel.png", image);
    m_server.Route("/ads/frame.html", lumo::test::WebResponse{200, "text/html", "<p>ad</p>", {}});
    ASSERT_NE(m_view->CreateBrowser(), nullptr);

    const auto readArticle = [&] {
        const std::string address = m_server.Url("/news/bridge.html?" + std::to_string(++m_loads));
        m_view->NavigateTo(address);
        // Shown, not only asked for: the page's own document says so.
        EXPECT_TRUE(WaitFor(
            [&] {
                return !m_view->IsLoading() && m_view->ReaderOffered() &&
                       Evaluate(m_view->WebView(), "document.readyState == 'complete' && "
                                                   "location.href") == address;
            },
            std::chrono::seconds(60)));
        m_view->ToggleReader();
        EXPECT_TRUE(WaitFor([&] { return m_view->ReaderShown(); }));
        const std::string text =
            Evaluate(m_view->Engine()->ReaderView(), "document.body.innerText");
        m_view->ToggleReader();
        EXPECT_TRUE(WaitFor([&] { return !m_view->ReaderShown(); }));
        return text;
    };

    // What the page blocked and hid, the reader view neither asks for nor
    // shows; the blocked banner and frame leave no box in the page.
    std::string text = readArticle();
    EXPECT_THAT(text, testing::HasSubstr("Paragraph 8"));
    EXPECT_THAT(text, testing::Not(testing::HasSubstr("advertised")));
    EXPECT_EQ(Requested("/ads/banner.png"), 0);
    EXPECT_EQ(Requested("/tracker/pixel.png"), 0);
    const std::string boxes = "['banner', 'frame'].map(id => "
                              "getComputedStyle(document.getElementById(id)).display).join(' ')";
    EXPECT_EQ(Evaluate(m_view->WebView(), boxes), "none none");

    // On a site where ads are allowed the page gets them; the reader view
    // still keeps to the filters.
    ASSERT_TRUE(PickFromPageMenu(kAllowAdsLabel));
    text = readArticle();
    EXPECT_EQ(Requested("/ads/banner.png"), 1);
    EXPECT_EQ(Requested("/tracker/pixel.png"), 1);
    EXPECT_EQ(Evaluate(m_view->WebView(), boxes), "inline inline");
}
