// One load of a newspaper's front page in the pane, with the ad and tracker
// filters on or off, offline: every host is routed to a local server through
// the web engine's proxy setting (here only). Prints one line:
//
//   mode=on page=front ready_ms=.. requests=.. bytes=.. load_ms=.. pss_kb=.. passed=..
//
//   ready_ms  from the engine's start until the filters are ready (with an
//             empty cache: the filters compiled with the program loaded, or
//             the first compilation without them; later: the store's load)
//   first_page_ms  from the engine's start until the page's load ended, the
//             page asked for as soon as the engine started
//   requests, bytes   what the server was asked for and sent
//   load_ms   from the address given to the engine until its load's end
//   again_ms  the same for the page loaded again in the same view
//   pss_kb    proportional set size of this process and all its descendants
//             (the web engine's page and network processes), once loaded
//   passed    third-party addresses that were still requested
//
// Usage (under a display): content_blocking_bench on|off front|clean [FILTERS_DIR]
// (the shipped filters of the build by default)
// The page "front" is a front page with its own images, style sheet and
// script and 40 requests to ad servers, tag managers, analytics and beacons
// (each answered after 100 to 300 ms, scripts of 50 to 200 KB, ad frames
// that load more); "clean" is the same page without them.
// run_blocking_bench.sh runs it for each case in fresh processes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/webview.h>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "browser/engine/blocking/filter_library.h"
#include "browser/engine/blocking/list_update.h"
#include "browser/pane/browser_view.h"
#include "browser/pane/web_environment.h"
#include "browser/web_engine.h"
#include "common/document.h"
#include "common/settings.h"
#include "content_filter/blocking_settings.h"
#include "local_web_server.h"

using namespace lumo;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kSite = "http://www.dailyherald.example";

// What each address answers with, in bytes, and the third parties' addresses.
std::map<std::string, std::size_t> g_sizes;
std::vector<std::string> g_thirdParty;

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit)
{
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        wxTheApp->ProcessPendingEvents();
        gtk_main_iteration_do(FALSE);
    }
    return true;
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Text of `size` bytes: a script that does `code`, padded with a comment.
std::string Script(const std::string& code, std::size_t size)
{
    std::string body = code + "\n/*";
    while (body.size() + 2 < size)
        body += "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ+/";
    body.resize(size > 2 ? size - 2 : 0);
    return body + "*/";
}

std::string Words(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += i % 9 ? "harbour " : "bridge ";
    return text;
}

std::string Picture(std::size_t size)
{
    std::string body = "<svg xmlns='http://www.w3.org/2000/svg' width='300' height='200'>"
                       "<rect width='300' height='200' fill='#8ab'/><!--";
    while (body.size() + 10 < size)
        body += "0123456789";
    return body + "--></svg>";
}

struct Site
{
    lumo::test::LocalWebServer& server;
    std::mt19937 random{27};
    // The page's own files draw from one of their own: the same with or
    // without the third parties.
    std::mt19937 ownRandom{41};
    std::vector<std::string>& thirdParty = g_thirdParty;

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    int OwnBetween(int low, int high)
    {
        return std::uniform_int_distribution<int>(low, high)(ownRandom);
    }

    void Add(const std::string& url, const std::string& type, std::string body, int delayMs)
    {
        lumo::test::WebResponse response;
        response.contentType = type;
        response.body = std::move(body);
        response.delayMs = delayMs;
        response.headers = {"Cache-Control: no-store"};
        g_sizes[url] = response.body.size();
        server.Route(url, response);
    }

    // A third party's script of 50 to 200 KB that does `code`.
    std::string ThirdScript(const std::string& url, const std::string& code = "")
    {
        thirdParty.push_back(url);
        Add(url, "application/javascript", Script(code, Between(50, 200) * 1024),
            Between(100, 300));
        return "<script async src='" + url + "'></script>\n";
    }

    std::string ThirdImage(const std::string& url)
    {
        thirdParty.push_back(url);
        Add(url, "image/gif", "GIF89a", Between(100, 300));
        return "<img width=1 height=1 alt='' src='" + url + "'>\n";
    }

    std::string ThirdFrame(const std::string& url, const std::string& inside)
    {
        thirdParty.push_back(url);
        Add(url, "text/html",
            "<!doctype html><html><body style='margin:0'>" + inside + "</body></html>",
            Between(100, 300));
        return "<iframe width=300 height=250 src='" + url + "'></iframe>\n";
    }
};

// The front page at kSite/, with or without its third parties.
void BuildFrontPage(lumo::test::LocalWebServer& server, bool thirdParties)
{
    Site site{server};
    const std::string s = kSite;
    std::string head, ads;
    if (thirdParties) {
        // Tag managers and ad libraries in the head.
        head += site.ThirdScript("http://www.googletagmanager.com/gtm.js?id=GTM-KX7Q2P");
        head += site.ThirdScript("http://securepubads.g.doubleclick.net/tag/js/gpt.js");
        head += site.ThirdScript("http://pagead2.googlesyndication.com/pagead/js/adsbygoogle.js");
        head += site.ThirdScript("http://c.amazon-adsystem.com/aax2/apstag.js");
        head += site.ThirdScript("http://static.criteo.net/js/ld/publishertag.js");
        head += site.ThirdScript("http://www.google-analytics.com/analytics.js");
        head += site.ThirdScript("http://connect.facebook.net/en_US/fbevents.js");
        head += site.ThirdScript("http://static.hotjar.com/c/hotjar-1180942.js?sv=6");
        head += site.ThirdScript("http://cdn.taboola.com/libtrc/dailyherald/loader.js");
        head += site.ThirdScript("http://widgets.outbrain.com/outbrain.js");
        head += site.ThirdScript("http://sb.scorecardresearch.com/beacon.js");
        head += site.ThirdScript("http://bat.bing.com/bat.js");
        head += site.ThirdScript("http://js-agent.newrelic.com/nr-spa-1216.min.js");
        head += site.ThirdScript("http://cdn.krxd.net/controltag/ummg8fz5i.js");
        head += site.ThirdScript("http://secure.quantserve.com/quant.js");
        head += site.ThirdScript("http://ads.pubmatic.com/AdServer/js/pwt/157221/2471/pwt.js");
        // Ad frames, each loading more of their own.
        for (int i = 1; i <= 4; ++i) {
            const std::string n = std::to_string(i);
            // What a reader sees of it: a banner.
            std::string inside = "<div style='height:250px;background:#e8b923;color:#222;"
                                 "font:bold 26px sans-serif;text-align:center;line-height:250px'>"
                                 "Advertisement " +
                                 n + "</div>";
            inside += site.ThirdScript("http://tpc.googlesyndication.com/sodar/sodar2.js?f=" + n);
            inside += site.ThirdImage("http://ib.adnxs.com/getuid?slot=" + n);
            inside += site.ThirdImage("http://ad.doubleclick.net/ddm/ad/creative" + n + ".gif");
            ads += site.ThirdFrame(
                "http://tpc.googlesyndication.com/safeframe/1-0-40/html/container.html?slot=" + n,
                inside);
        }
        // Beacons.
        ads += site.ThirdImage("http://b.scorecardresearch.com/p?c1=2&c2=6035748");
        ads += site.ThirdImage("http://www.google-analytics.com/collect?v=1&t=pageview&tid=UA-1");
        ads += site.ThirdImage("http://www.facebook.com/tr?id=1423857&ev=PageView");
        ads += site.ThirdImage("http://tags.bluekai.com/site/23911?ret=html");
        ads += site.ThirdImage("http://sync.crwdcntrl.net/map/c=7331");
        ads += site.ThirdImage("http://cm.g.doubleclick.net/pixel?google_nid=herald");
        ads += site.ThirdImage("http://stats.g.doubleclick.net/j/collect?t=dc&aip=1");
        ads += site.ThirdImage("http://match.adsrvr.org/track/cmf/generic?ttd_pid=herald");
    }
    std::string body = "<header><h1>The Daily Herald</h1><nav>";
    for (int i = 0; i < 30; ++i)
        body +=
            "<a href='/section/" + std::to_string(i) + "'>Section " + std::to_string(i) + "</a> ";
    body += "</nav></header><main>";
    for (int i = 1; i <= 12; ++i) {
        const std::string n = std::to_string(i);
        const std::string picture = "/img/story" + n + ".svg";
        site.Add(s + picture, "image/svg+xml", Picture(site.OwnBetween(20, 60) * 1024),
                 site.OwnBetween(10, 40));
        body += "<article><img width=300 height=200 alt='' src='" + picture + "'><h2>Story " + n +
                ": the harbour bridge reopens</h2><p>" + Words(60) + "</p></article>";
        if (i % 3 == 0 && !ads.empty()) {
            const std::size_t cut = ads.find("\n") + 1;
            body += "<aside class='ad-slot'>" + ads.substr(0, cut) + "</aside>";
            ads.erase(0, cut);
        }
    }
    body += ads + "</main>";
    site.Add(s + "/css/site.css", "text/css",
             "body{font:16px serif;margin:0 auto;max-width:1000px}article{display:inline-block;"
             "width:300px;vertical-align:top;margin:8px}\n/*" +
                 std::string(40 * 1024, 'c') + "*/",
             site.OwnBetween(10, 40));
    site.Add(s + "/js/site.js", "application/javascript",
             Script("document.documentElement.dataset.ready = 1;", 80 * 1024),
             site.OwnBetween(10, 40));
    site.Add(s + "/", "text/html; charset=utf-8",
             "<!doctype html><html><head><meta charset='utf-8'><title>The Daily Herald</title>"
             "<link rel=stylesheet href='/css/site.css'><script src='/js/site.js'></script>" +
                 head + "</head><body>" + body + "</body></html>",
             20);
}

// The proportional set size, in KB, of `pid` and every process below it.
long PssOfTree(pid_t root)
{
    std::map<pid_t, pid_t> parents;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* entry = readdir(proc)) {
            const pid_t pid = std::atoi(entry->d_name);
            if (pid <= 0)
                continue;
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string line;
            std::getline(stat, line);
            const std::size_t close = line.rfind(')');
            if (close == std::string::npos)
                continue;
            char state = 0;
            int parent = 0;
            if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2)
                parents[pid] = parent;
        }
        closedir(proc);
    }
    long total = 0;
    for (const auto& [pid, parent] : parents) {
        bool below = pid == root;
        for (pid_t up = parent; !below && up > 1; up = parents.count(up) ? parents[up] : 0)
            below = up == root;
        if (!below)
            continue;
        std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
        for (std::string line; std::getline(rollup, line);)
            if (line.starts_with("Pss:"))
                total += std::atol(line.c_str() + 4);
    }
    return total;
}

class BenchApp : public wxApp
{
public:
    bool OnInit() override { return true; }
};

int Run(bool on, bool front, const std::string& filters)
{
    lumo::test::LocalWebServer server;
    BuildFrontPage(server, front);

    const std::string dir = std::getenv("XDG_CONFIG_HOME");
    SettingsFile settings = OpenSettingsFile(dir + "/LumoNewsReader/LumoNewsReader.conf");
    ProfileStore profile(*settings);
    content_filter::BlockingSettings blocking(settings.get());
    blocking.SetEnabled(on);
    // No list is fetched during the benchmark.
    blocking.SetLastListUpdate(static_cast<std::int64_t>(std::time(nullptr)));
    SetShippedFiltersFolder(filters);
    SetListUpdateDelay(std::chrono::hours(24));

    // Every host, the page's own and the third parties', at the local server.
    WebKitNetworkProxySettings* proxy = webkit_network_proxy_settings_new(
        ("http://127.0.0.1:" + std::to_string(server.Port())).c_str(), nullptr);
    webkit_website_data_manager_set_network_proxy_settings(
        webkit_web_context_get_website_data_manager(webkit_web_context_get_default()),
        WEBKIT_NETWORK_PROXY_MODE_CUSTOM, proxy);
    webkit_network_proxy_settings_free(proxy);

    CLumoNewsReaderDoc doc;
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxPoint(0, 0), wxSize(1200, 900));
    auto* view = new CLumoNewsReaderView(frame, doc, profile);
    frame->Show();
    const auto engineStart = Clock::now();
    if (!view->CreateBrowser()) {
        std::fprintf(stderr, "no web engine\n");
        return 2;
    }
    double readyMs = 0;
    if (on) {
        // As a web page asked for at once prepares them.
        FilterLibrary::Get().Prepare();
        if (!WaitFor([] { return ContentFiltersReady(); }, std::chrono::seconds(120))) {
            std::fprintf(stderr, "the filters did not get ready\n");
            return 1;
        }
        readyMs = Ms(Clock::now() - engineStart);
    }
    // The pane's empty first page settles before the load is timed.
    WaitFor([&] { return !view->IsLoading(); }, std::chrono::seconds(10));

    auto* native = static_cast<WebKitWebView*>(view->WebView()->GetNativeBackend());
    bool finished = false;
    g_signal_connect(native, "load-changed",
                     G_CALLBACK(+[](WebKitWebView* v, WebKitLoadEvent event, gpointer done) {
                         const char* uri = webkit_web_view_get_uri(v);
                         if (event == WEBKIT_LOAD_FINISHED && uri &&
                             std::string(uri).starts_with(kSite))
                             *static_cast<bool*>(done) = true;
                     }),
                     &finished);
    // Straight to the engine: the pane would try https:// first, which the
    // proxy does not carry. The filters are in the view once they are ready.
    // The page twice: first in fresh web processes, then again.
    double loadMs[2] = {};
    double firstPageMs = 0;
    std::size_t firstRequests = 0;
    for (int round = 0; round < 2; ++round) {
        finished = false;
        const auto start = Clock::now();
        webkit_web_view_load_uri(native,
                                 (std::string(kSite) + "/?" + std::to_string(round)).c_str());
        if (!WaitFor([&] { return finished; }, std::chrono::seconds(120))) {
            std::fprintf(stderr, "the page did not load\n");
            return 1;
        }
        loadMs[round] = Ms(Clock::now() - start);
        if (round == 0) {
            firstRequests = server.Requests().size();
            firstPageMs = Ms(Clock::now() - engineStart);
        }
    }
    // A picture of the page as shown, when one is asked for.
    if (const char* shot = std::getenv("LUMO_BENCH_SHOT")) {
        cairo_surface_t* surface = nullptr;
        webkit_web_view_get_snapshot(
            native, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
            +[](GObject* source, GAsyncResult* result, gpointer out) {
                *static_cast<cairo_surface_t**>(out) =
                    webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
            },
            &surface);
        if (!WaitFor([&] { return surface != nullptr; }, std::chrono::seconds(10)) ||
            cairo_surface_write_to_png(surface, shot) != CAIRO_STATUS_SUCCESS)
            std::fprintf(stderr, "no picture of the page\n");
        if (surface)
            cairo_surface_destroy(surface);
    }
    // Late work of the page and the engine settles before memory is measured.
    const auto settle = Clock::now() + std::chrono::seconds(2);
    WaitFor([&] { return Clock::now() > settle; }, std::chrono::seconds(5));
    const long pss = PssOfTree(getpid());

    std::size_t requests = 0, bytes = 0;
    std::string passed;
    const std::vector<std::string>& third = g_thirdParty;
    std::vector<std::string> asked = server.Requests();
    asked.resize(firstRequests);
    for (std::string path : asked) {
        if (path.starts_with(std::string(kSite) + "/?"))
            path = std::string(kSite) + "/";
        ++requests;
        bytes += g_sizes.count(path) ? g_sizes[path] : 0;
        if (front && on && std::find(third.begin(), third.end(), path) != third.end())
            passed += " " + path;
    }
    std::printf("mode=%s page=%s ready_ms=%.0f first_page_ms=%.0f requests=%zu bytes=%zu "
                "load_ms=%.0f again_ms=%.0f pss_kb=%ld passed=%s\n",
                on ? "on" : "off", front ? "front" : "clean", readyMs, firstPageMs, requests, bytes,
                loadMs[0], loadMs[1], pss, passed.empty() ? "-" : passed.c_str());
    std::fflush(stdout);
    g_signal_handlers_disconnect_by_data(native, &finished);
    delete frame;
    wxTheApp->ProcessPendingEvents();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4 || (std::string(argv[1]) != "on" && std::string(argv[1]) != "off") ||
        (std::string(argv[2]) != "front" && std::string(argv[2]) != "clean")) {
        std::fprintf(stderr, "usage: content_blocking_bench on|off front|clean [FILTERS_DIR]\n"
                             "(XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME set, "
                             "under a display)\n");
        return 2;
    }
    if (!std::getenv("XDG_CONFIG_HOME") || !std::getenv("XDG_CACHE_HOME")) {
        std::fprintf(stderr, "set XDG_CONFIG_HOME and XDG_CACHE_HOME\n");
        return 2;
    }
    PrepareWebEngineEnvironment();
    SetWebEngineFactory(&lumo_create_web_engine);
    wxApp::SetInstance(new BenchApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "cannot start wxWidgets (no display?)\n");
        return 2;
    }
    wxTheApp->CallOnInit();
    int result = 0;
    {
        wxGUIEventLoop loop;
        wxEventLoopBase::SetActive(&loop);
        delete wxLog::SetActiveTarget(new wxLogStderr);
        result = Run(std::string(argv[1]) == "on", std::string(argv[2]) == "front",
                     argc == 4 ? argv[3] : LUMO_FILTERS_DIR);
        wxEventLoopBase::SetActive(nullptr);
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
