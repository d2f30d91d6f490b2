// The Headlines page with 5,000 headlines on the real web engine (run under
// a display), served on the program's scheme as the program serves it:
//   PageShown/0/N  from asking for the page of N headlines to its load
//                  event, in a fresh web view (its page process starting too)
//   PageShown/1/N  the same again in the same web view (N = 10: the floor)
//   InPlaceUpdate  the new content put in by the page's script, from the
//                  call until the script has run, then laid out
// Times are wall-clock, including the HTML's writing; first_paint_ms is the
// page's first contentful paint (from its navigation's start) and
// page_process_cpu_ms the CPU time the page process spent, which a busy
// machine inflates less than the wall-clock times.
#include "headlines/core/headlines_page.h"

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

using namespace headlines;
using Clock = std::chrono::steady_clock;

constexpr std::time_t kNow = 1'750'000'000;

HeadlinesView View(int count)
{
    HeadlinesView view;
    view.now = kNow;
    for (int paper = 0; paper < 40; ++paper)
        view.papers.push_back({"https://paper" + std::to_string(paper) + ".example/",
                               "Paper " + std::to_string(paper), count / 80, count / 40});
    for (int i = 0; i < count; ++i) {
        const int paper = i % 40;
        view.headlines.push_back(
            {i + 1, view.papers[paper].page, view.papers[paper].paper,
             "Headline " + std::to_string(i) + " & a longer title, as most of them are",
             view.papers[paper].page + "news/" + std::to_string(i), kNow - i * 500, i % 2 == 0});
    }
    view.failures.push_back({"https://gone.example/", "Gone", "https://gone.example/rss",
                             "HTTP 404 Not Found", 2, kNow - 86400});
    return view;
}

// The view the scheme serves.
HeadlinesView g_view = View(5000);

const HeadlinesView& TheView()
{
    return g_view;
}

void Serve(WebKitURISchemeRequest* request, gpointer)
{
    std::string html = HeadlinesPageHtml(TheView());
    const gsize size = html.size();
    GInputStream* stream =
        g_memory_input_stream_new_from_data(g_memdup2(html.data(), size), size, g_free);
    webkit_uri_scheme_request_finish(request, stream, size, "text/html");
    g_object_unref(stream);
}

// CPU seconds used so far by this process's children (the page process).
double ChildrenCpu()
{
    double total = 0;
    std::ifstream children("/proc/self/task/" + std::to_string(getpid()) + "/children");
    for (int pid; children >> pid;) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string skip;
        for (int i = 0; i < 11; ++i)
            fields >> skip;
        long user = 0, system = 0;
        fields >> user >> system;
        total += static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    return total;
}

bool WaitFor(const std::function<bool()>& done)
{
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (!done() && Clock::now() < end)
        g_main_context_iteration(nullptr, TRUE);
    return done();
}

struct Pane
{
    Pane()
    {
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 1000, 800);
        view = WEBKIT_WEB_VIEW(webkit_web_view_new());
        gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
        gtk_widget_show_all(window);
        g_signal_connect(view, "load-changed",
                         G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
                             if (event == WEBKIT_LOAD_FINISHED)
                                 *static_cast<bool*>(data) = true;
                         }),
                         &loaded);
    }
    ~Pane() { gtk_widget_destroy(window); }

    double Load()
    {
        loaded = false;
        const auto start = Clock::now();
        webkit_web_view_load_uri(view, HeadlinesAddress(HeadlinesOrder::NewestFirst).c_str());
        WaitFor([this] { return loaded; });
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

    // Runs a script and waits for it: its value as a number, and the
    // seconds it took.
    std::pair<double, double> Run(const std::string& script)
    {
        struct Reply
        {
            double number = -1;
            bool done = false;
        } reply;
        const auto start = Clock::now();
        webkit_web_view_evaluate_javascript(
            view, script.c_str(), -1, nullptr, nullptr, nullptr,
            +[](GObject* source, GAsyncResult* result, gpointer data) {
                auto* reply = static_cast<Reply*>(data);
                JSCValue* value = webkit_web_view_evaluate_javascript_finish(
                    WEBKIT_WEB_VIEW(source), result, nullptr);
                if (value) {
                    reply->number = jsc_value_to_double(value);
                    g_object_unref(value);
                }
                reply->done = true;
            },
            &reply);
        WaitFor([&] { return reply.done; });
        return {reply.number, std::chrono::duration<double>(Clock::now() - start).count()};
    }

    GtkWidget* window = nullptr;
    WebKitWebView* view = nullptr;
    bool loaded = false;
};

void BM_PageShown(benchmark::State& state)
{
    g_view = View(static_cast<int>(state.range(1)));
    double cpu = 0, paint = 0;
    for (auto _ : state) {
        Pane pane;
        if (state.range(0) == 1)
            pane.Load();
        const double before = ChildrenCpu();
        state.SetIterationTime(pane.Load());
        cpu += ChildrenCpu() - before;
        paint += pane.Run("(performance.getEntriesByType('paint')[0] || {startTime: -1}).startTime")
                     .first;
    }
    // A fresh view's page process is new: its time is not told apart.
    if (state.range(0) == 1)
        state.counters["page_process_cpu_ms"] =
            cpu * 1000 / static_cast<double>(state.iterations());
    state.counters["first_paint_ms"] = paint / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PageShown)
    ->Args({1, 10})
    ->Args({0, 5000})
    ->Args({1, 5000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(12);

void BM_InPlaceUpdate(benchmark::State& state)
{
    g_view = View(5000);
    Pane pane;
    pane.Load();
    pane.Run("window.scrollTo(0, 40000);");
    double cpu = 0;
    for (auto _ : state) {
        const double before = ChildrenCpu();
        const double seconds = pane.Run(HeadlinesUpdateScript(TheView()) +
                                        "document.body.getBoundingClientRect().height;")
                                   .second;
        cpu += ChildrenCpu() - before;
        state.SetIterationTime(seconds);
    }
    state.counters["page_process_cpu_ms"] = cpu * 1000 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_InPlaceUpdate)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    gtk_init(&argc, &argv);
    webkit_web_context_register_uri_scheme(webkit_web_context_get_default(), "lumo", Serve, nullptr,
                                           nullptr);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
