// The converter's rules at work in a real WebKitGTK view on local pages:
// what they block never reaches the server, an exception after the blocks
// lets its address through, element hiding hides, and a page named by a
// $document exception gets everything.
#include "blocking_report_page.h"
#include "content_filter/filter_converter.h"
#include "gui_test_support.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <string>

using namespace lumo::content_filter;

namespace {

struct View
{
    GtkWidget* window = nullptr;
    WebKitWebView* view = nullptr;
    ~View()
    {
        if (window)
            gtk_widget_destroy(window);
    }
};

WebKitUserContentFilter* Compile(const std::string& storeDir, const std::string& json,
                                 std::string& error)
{
    g_autoptr(WebKitUserContentFilterStore) store =
        webkit_user_content_filter_store_new(storeDir.c_str());
    g_autoptr(GBytes) bytes = g_bytes_new(json.data(), json.size());
    struct Call
    {
        bool done = false;
        WebKitUserContentFilter* filter = nullptr;
        std::string error;
    } call;
    webkit_user_content_filter_store_save(
        store, "rules", bytes, nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
            auto* c = static_cast<Call*>(data);
            g_autoptr(GError) e = nullptr;
            c->filter = webkit_user_content_filter_store_save_finish(
                WEBKIT_USER_CONTENT_FILTER_STORE(source), res, &e);
            if (e)
                c->error = e->message;
            c->done = true;
        },
        &call);
    lumo::test::WaitFor([&] { return call.done; }, std::chrono::seconds(120));
    error = call.done ? call.error : "no answer from WebKit";
    return call.filter;
}

// The report of the page at `path`, once it is in the title.
std::string LoadAndReport(View& view, const lumo::test::LocalWebServer& server,
                          const std::string& path)
{
    webkit_web_view_load_uri(view.view, server.Url(path).c_str());
    std::string title;
    lumo::test::WaitFor([&] {
        const char* t = webkit_web_view_get_title(view.view);
        title = t ? t : "";
        return title.starts_with("done " + path + " ");
    });
    return title;
}

} // namespace

TEST(ContentFilterBlocking, RulesBlockHideAndYieldToExceptionsInWebKit)
{
    lumo::test::LocalWebServer server;
    lumo::test::ServeBlockingReportPage(server, {"/news/page.html", "/clean/page.html"},
                                        {"/ads/banner.png", "/ads/allowed.png", "/img/photo.png"},
                                        {"ad-box", "news"});

    Converter converter;
    converter.AddList("/ads/*$image\n"
                      "@@/ads/allowed.png\n"
                      "##.ad-box\n"
                      "@@|" +
                      server.Url("/clean/") + "$document\n");
    Conversion conversion = converter.Finish();
    ASSERT_EQ(conversion.summary.filtersSkipped, 0u);
    std::vector<std::string> parts = SplitIntoParts(conversion, WebKitMaxRules);
    ASSERT_EQ(parts.size(), 1u);

    lumo::test::TempDir store;
    std::string error;
    g_autoptr(WebKitUserContentFilter) filter = Compile(store.Path(), parts.front(), error);
    ASSERT_TRUE(filter) << error;

    View view;
    g_autoptr(WebKitUserContentManager) manager = webkit_user_content_manager_new();
    webkit_user_content_manager_add_filter(manager, filter);
    view.view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(manager));
    view.window = gtk_offscreen_window_new();
    gtk_window_set_default_size(GTK_WINDOW(view.window), 400, 300);
    gtk_container_add(GTK_CONTAINER(view.window), GTK_WIDGET(view.view));
    gtk_widget_show_all(view.window);

    EXPECT_EQ(
        LoadAndReport(view, server, "/news/page.html"),
        "done /news/page.html /ads/banner.png=error /ads/allowed.png=load /img/photo.png=load "
        "ad-box=none news=block");
    auto requests = server.Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "/ads/banner.png"), 0);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "/ads/allowed.png"), 1);

    // The page the $document exception names: nothing blocked, nothing hidden.
    EXPECT_EQ(
        LoadAndReport(view, server, "/clean/page.html"),
        "done /clean/page.html /ads/banner.png=load /ads/allowed.png=load /img/photo.png=load "
        "ad-box=block news=block");
}
