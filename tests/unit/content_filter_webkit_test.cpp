// The converter's rules as WebKit reads them: compiled by WebKitGTK's own
// content-filter store (no display needed), a sample of every form and the
// filters the build made from the packaged EasyList and EasyPrivacy.
#include "content_filter/filter_converter.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <webkit2/webkit2.h>

#include <chrono>
#include <filesystem>
#include <string>

using namespace lumo::content_filter;

namespace {

struct Compiled
{
    bool done = false;
    std::string error; // empty when WebKit took the rules
};

// Compiles `json` into a filter in `storeDir`; the error WebKit gives, or "".
std::string CompileWithWebKit(const std::string& storeDir, const std::string& json)
{
    WebKitUserContentFilterStore* store = webkit_user_content_filter_store_new(storeDir.c_str());
    GBytes* bytes = g_bytes_new(json.data(), json.size());
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    struct Call
    {
        Compiled result;
        GMainLoop* loop;
    } call{{}, loop};
    webkit_user_content_filter_store_save(
        store, "rules", bytes, nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
            auto* c = static_cast<Call*>(data);
            GError* error = nullptr;
            WebKitUserContentFilter* filter = webkit_user_content_filter_store_save_finish(
                WEBKIT_USER_CONTENT_FILTER_STORE(source), res, &error);
            if (filter) {
                webkit_user_content_filter_unref(filter);
            } else {
                c->result.error = error ? error->message : "no filter and no error";
                g_clear_error(&error);
            }
            c->result.done = true;
            g_main_loop_quit(c->loop);
        },
        &call);
    // Bounded: a compile that never answers fails the test instead of hanging.
    guint timeout = g_timeout_add_seconds(
        300,
        [](gpointer data) {
            g_main_loop_quit(static_cast<GMainLoop*>(data));
            return G_SOURCE_REMOVE;
        },
        loop);
    g_main_loop_run(loop);
    if (call.result.done)
        g_source_remove(timeout);
    g_main_loop_unref(loop);
    g_bytes_unref(bytes);
    g_object_unref(store);
    return call.result.done ? call.result.error : "WebKit did not answer within 300 s";
}

} // namespace

TEST(ContentFilterWebKit, WebKitCompilesEveryFormTheConverterWrites)
{
    lumo::test::TempDir dir;
    Converter converter;
    converter.AddList("||ads.example.com^\n"
                      "||ADS.example.org^$third-party,script,image,stylesheet,font,media\n"
                      "|https://x.test/a+b?c=(1)*^ad^\n"
                      "/banner/*/img|$image,domain=a.test|b.test\n"
                      "/track^|$ping,xmlhttprequest,websocket,other,popup,domain=~c.test\n"
                      "/Pixel.GIF$match-case,~third-party,~script\n"
                      "/frame.html$subdocument\n"
                      "/\\/ad[0-9]+[a-z]?\\.js$/$script\n"
                      "/x.gif$image,important\n"
                      "@@||cdn.test/ads.js$script,domain=news.test\n"
                      "@@/ok.js\n"
                      "@@||paper.test^$document\n"
                      "##.ad\n"
                      "##div[id^=\"ad-\"] > a:not([href*=\"x\"])\n"
                      "a.test,b.test###top\n"
                      "~c.test##.promo\n"
                      "##.banner\n"
                      "a.test#@#.banner\n");
    Conversion conversion = converter.Finish();
    ASSERT_EQ(conversion.summary.filtersSkipped, 0u);
    std::vector<std::string> parts = SplitIntoParts(conversion, WebKitMaxRules);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(CompileWithWebKit(dir.Path(), parts.front()), "");

    // The check can fail: WebKit's own refusal of an alternation comes back.
    EXPECT_NE(CompileWithWebKit(dir.Path(),
                                R"([{"trigger":{"url-filter":"a|b"},"action":{"type":"block"}}])"),
              "");
}

TEST(ContentFilterWebKit, WebKitCompilesTheFiltersMadeFromThePackagedLists)
{
    lumo::test::TempDir dir;
    int files = 0;
    for (const char* name : {"ads", "trackers"}) {
        for (int part = 1;; ++part) {
            std::string path =
                std::string(LUMO_FILTERS_DIR) + "/" + name + "-" + std::to_string(part) + ".json";
            if (!std::filesystem::exists(path)) {
                EXPECT_GT(part, 1) << path << " is missing";
                break;
            }
            ++files;
            auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(CompileWithWebKit(dir.Path(), lumo::test::ReadFile(path)), "") << path;
            std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            // For the record, not a limit.
            RecordProperty(std::string(name) + "-" + std::to_string(part) + "_seconds",
                           std::to_string(took.count()));
            std::printf("%s: compiled by WebKit in %.1f s\n", path.c_str(), took.count());
        }
    }
    EXPECT_GE(files, 2);
}
