// Timings of the reader view on the real web engine (run under a display):
//   KeyToReader/0       F9 on a 200 KB article page until the reader view is on
//                       screen, in a fresh pane, pressed as soon as the page is
//                       offered: the reader's web view and its page process,
//                       made at the offer, are still starting
//   KeyToReader/1       the same, pressed after a second on the page
//   KeyToReader/2       the same again in the same pane
//   KeyBackToPage       F9 in the reader view until the page is back on screen
// "On screen": the reader page has loaded and its view is shown in the pane.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/log.h>

#include <gtk/gtk.h>

#include "browser/pane/browser_view.h"
#include "browser/pane/web_environment.h"
#include "browser/web_engine.h"
#include "common/document.h"
#include "common/settings.h"

using namespace lumo;
using Clock = std::chrono::steady_clock;

namespace {

std::string g_dir;
std::string g_page;

void CatchUp()
{
    wxTheApp->ProcessPendingEvents();
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

bool WaitFor(const std::function<bool()>& done)
{
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (Clock::now() > end)
            return false;
        wxTheApp->ProcessPendingEvents();
        gtk_main_iteration_do(FALSE);
    }
    return true;
}

// A newspaper page of about 200 KB: an article of forty paragraphs inside
// navigation, advertisements, related links, comments, styles and scripts.
std::string ArticlePage()
{
    std::string clutter = "<nav>";
    for (int i = 0; i < 300; ++i)
        clutter +=
            "<a href='/section/" + std::to_string(i) + "'>Section " + std::to_string(i) + "</a> ";
    clutter += "</nav><style>";
    for (int i = 0; i < 400; ++i)
        clutter += ".c" + std::to_string(i) + " { margin: " + std::to_string(i % 9) +
                   "px; color: #123456; }\n";
    clutter += "</style><script>var tracking = [";
    for (int i = 0; i < 2000; ++i)
        clutter += std::to_string(i * 7919 % 10007) + ",";
    clutter += "0];</script>";
    std::string article = "<article><h1>Harbour bridge reopens after eight months of repairs</h1>"
                          "<p class='byline'>By Jane Reporter</p>";
    for (int i = 0; i < 40; ++i)
        article += "<p>Paragraph " + std::to_string(i) +
                   ": the harbour bridge carried its first cars in eight months on Tuesday "
                   "morning, after engineers replaced the worn cables and the council inspected "
                   "the deck, the railings and the lights along the whole span of it. Traders "
                   "on both banks said the detour had cost them a season of customers.</p>";
    article += "</article>";
    std::string related = "<aside>";
    while (clutter.size() + article.size() + related.size() < 200 * 1024) {
        related += "<div class='ad'><a href='/offer'>Advertisement: cheap watches</a></div>"
                   "<div class='comment'><p class='who'>Reader</p><p>Great news for the town."
                   "</p></div><ul class='related'><li><a href='/r'>Storm warning for the "
                   "coast</a></li><li><a href='/s'>Council budget</a></li></ul>";
    }
    related += "</aside>";
    return "<!DOCTYPE html><html lang='en'><head><meta charset='utf-8'><title>Harbour bridge "
           "reopens - The Coast Courier</title></head><body>" +
           clutter + "<main>" + article + "</main>" + related + "</body></html>";
}

// A browser pane in a frame of its own, on the article page.
struct Pane
{
    Pane()
    {
        settings = OpenSettingsFile(g_dir + "/settings/LumoNewsReader.conf");
        profile = std::make_unique<ProfileStore>(*settings);
        frame = new wxFrame(nullptr, wxID_ANY, "bench", wxPoint(0, 0), wxSize(1000, 800));
        view = new CLumoNewsReaderView(frame, doc, *profile);
        frame->Show();
        view->CreateBrowser();
        view->NavigateTo(g_page);
        if (!WaitFor([&] { return view->ReaderOffered(); }))
            std::fprintf(stderr, "the page was not offered for the reader view\n");
    }
    ~Pane()
    {
        delete frame;
        wxTheApp->ProcessPendingEvents();
    }

    void PressF9()
    {
        // What the window's key table runs for F9.
        view->RunKeyCommand(KeyCommand::ToggleReader);
    }

    SettingsFile settings;
    std::unique_ptr<ProfileStore> profile;
    CLumoNewsReaderDoc doc;
    wxFrame* frame = nullptr;
    CLumoNewsReaderView* view = nullptr;
};

void KeyToReader(benchmark::State& state)
{
    const bool fresh = state.range(0) < 2;
    std::unique_ptr<Pane> pane;
    for (auto _ : state) {
        if (fresh || !pane) {
            pane = std::make_unique<Pane>();
            if (state.range(0) == 1) {
                const auto until = Clock::now() + std::chrono::seconds(1);
                WaitFor([&] { return Clock::now() > until; });
            }
        }
        const auto start = Clock::now();
        pane->PressF9();
        if (!WaitFor([&] { return pane->view->ReaderShown(); })) {
            state.SkipWithError("the reader view did not show");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        CatchUp();
        pane->PressF9();
        WaitFor([&] { return !pane->view->ReaderShown(); });
        CatchUp();
        if (fresh)
            pane.reset();
    }
}
BENCHMARK(KeyToReader)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void KeyBackToPage(benchmark::State& state)
{
    Pane pane;
    for (auto _ : state) {
        pane.PressF9();
        if (!WaitFor([&] { return pane.view->ReaderShown(); })) {
            state.SkipWithError("the reader view did not show");
            break;
        }
        CatchUp();
        const auto start = Clock::now();
        pane.PressF9();
        CatchUp();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}
BENCHMARK(KeyBackToPage)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

class BenchApp : public wxApp
{
public:
    bool OnInit() override { return true; }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    char dir[] = "/tmp/lumo-reader-bench-XXXXXX";
    if (!mkdtemp(dir))
        return 2;
    g_dir = dir;
    setenv("XDG_CONFIG_HOME", dir, 1);
    setenv("XDG_DATA_HOME", (g_dir + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (g_dir + "/cache").c_str(), 1);
    const std::string page = ArticlePage();
    std::ofstream(g_dir + "/article.html") << page;
    g_page = "file://" + g_dir + "/article.html";
    std::fprintf(stderr, "article page: %zu bytes\n", page.size());
    PrepareWebEngineEnvironment();
    SetWebEngineFactory(&lumo_create_web_engine);

    wxApp::SetInstance(new BenchApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "cannot start wxWidgets (no display?)\n");
        return 2;
    }
    wxTheApp->CallOnInit();
    wxGUIEventLoop loop;
    wxEventLoopBase::SetActive(&loop);
    delete wxLog::SetActiveTarget(new wxLogStderr);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wxEventLoopBase::SetActive(nullptr);
    wxTheApp->OnExit();
    wxEntryCleanup();
    std::string remove = "rm -rf '" + g_dir + "'";
    return std::system(remove.c_str()) == 0 ? 0 : 1;
}
