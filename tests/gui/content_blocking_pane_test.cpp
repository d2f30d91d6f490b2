// Ads and trackers blocked in the pane itself, on local pages: the shipped
// filters are compiled into the cache at the first page, which waits for
// them; a tracker's request never reaches the server and an ad's box is not
// shown; an allowed site, and blocking turned off, get everything again; the
// lists fetched anew are used once compiled, and a failed update keeps them.
#include "blocking_report_page.h"
#include "browser/engine/blocking/filter_library.h"
#include "browser/engine/blocking/list_update.h"
#include "browser/engine/engine_environment.h"
#include "browser_pane_fixture.h"
#include "common/resource_ids.h"
#include "content_filter/blocking_settings.h"
#include "content_filter/filter_converter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>

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
    WriteFile(folder + "/" + name + "-1.json", parts.front());
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
    std::string ads = "[Adblock Plus 2.0]\n/ads/*$image\n##.ad-box\n";
    for (int i = 0; i < 40000; ++i)
        ads += "||ads" + std::to_string(i) + ".example^\n";
    WriteFilters(shipped, "ads", ads);
    WriteFilters(shipped, "trackers", "[Adblock Plus 2.0]\n/tracker/*\n");
    SetShippedFiltersFolder(shipped);
    SetListUpdateDelay(std::chrono::hours(24));
    SetNetworkAvailableCheck([] { return true; });

    ServeBlockingReportPage(m_server, {"/news/page.html"}, kImages, {"ad-box"});
    Blocking().SetListAddresses(m_server.Url("/lists/easylist.txt"),
                                m_server.Url("/lists/easyprivacy.txt"));

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
    const auto store = std::filesystem::path(g_get_user_cache_dir()) / "lumo-news-reader";
    EXPECT_TRUE(std::filesystem::exists(store / "filters-shipped.ids"));

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
    lumo::test::WebResponse easyList, easyPrivacy;
    easyList.contentType = easyPrivacy.contentType = "text/plain";
    easyList.body = "[Adblock Plus 2.0]\n! Title: EasyList\n/ads/*$image\n##.ad-box\n";
    easyPrivacy.body = "[Adblock Plus 2.0]\n! Title: EasyPrivacy\n/tracker/*\n/img/*\n";
    m_server.Route("/lists/easylist.txt", easyList);
    m_server.Route("/lists/easyprivacy.txt", easyPrivacy);
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

    easyPrivacy.body = "<!doctype html><title>Welcome</title><p>Sign in to read on</p>";
    m_server.Route("/lists/easyprivacy.txt", easyPrivacy);
    Blocking().SetLastListUpdate(0);
    CheckFilterListsNow();
    ASSERT_TRUE(WaitFor([] { return FilterListUpdateCount().failed == 2; }));
    EXPECT_EQ(FilterListUpdateCount().switched, 1);
    EXPECT_EQ(Load(), "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=error "
                      "ad-box=none");

    // The next lists take the place of these, in the cache too.
    const auto compiled = [&store] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(store / "filters"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_THAT(compiled(), testing::Contains("ContentRuleList-fresh-a-trackers-1"));
    easyPrivacy.body = "[Adblock Plus 2.0]\n/tracker/*\n";
    m_server.Route("/lists/easyprivacy.txt", easyPrivacy);
    Blocking().SetLastListUpdate(0);
    CheckFilterListsNow();
    ASSERT_TRUE(WaitFor([] { return FilterListUpdateCount().switched == 2; }));
    EXPECT_EQ(Load(), "/ads/banner.png=error /tracker/pixel.png=error /img/photo.png=load "
                      "ad-box=none");
    EXPECT_TRUE(WaitFor([&] {
        return compiled() == std::vector<std::string>{"ContentRuleList-fresh-b-ads-1",
                                                      "ContentRuleList-fresh-b-trackers-1",
                                                      "ContentRuleList-shipped-ads-1",
                                                      "ContentRuleList-shipped-trackers-1"};
    })) << testing::PrintToString(compiled());
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
