// The Headlines page with 5,000 headlines of 40 papers: opening the database,
// reading them from it, writing the page's HTML, and storing a refetched feed
// of 200.
#include "headlines/core/headlines_page.h"
#include "headlines/core/headlines_store.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace headlines;

constexpr std::time_t kNow = 1'750'000'000;
constexpr int kPapers = 40;
constexpr int kPerPaper = 125;

std::string FeedAddress(int paper)
{
    return "https://paper" + std::to_string(paper) + ".example/rss";
}

ParsedFeed FeedOf(int paper, int items)
{
    ParsedFeed feed{"Paper", "https://paper.example/", {}};
    for (int i = 0; i < items; ++i)
        feed.items.push_back({"id-" + std::to_string(i),
                              "Headline " + std::to_string(i) + " of paper " +
                                  std::to_string(paper) + " & a longer title, as most are",
                              FeedAddress(paper) + "/" + std::to_string(i), std::string(280, 's'),
                              kNow - paper * 600 - i * 3600});
    return feed;
}

// A database in a fresh folder, filled with kPapers x kPerPaper headlines.
struct FilledStore
{
    FilledStore()
    {
        char pattern[] = "/tmp/lumo-headlines-bench-XXXXXX";
        dir = mkdtemp(pattern);
        store = std::move(HeadlinesStore::Open(dir + "/headlines.sqlite").store);
        for (int paper = 0; paper < kPapers; ++paper) {
            const std::string page = "https://paper" + std::to_string(paper) + ".example/";
            store->SetFavoriteFeed(page, "Paper " + std::to_string(paper), FeedAddress(paper));
            store->StoreFetched(FeedAddress(paper), FeedOf(paper, kPerPaper), {}, kNow);
        }
        store->RecordFailure(FeedAddress(3), "HTTP 404 Not Found", kNow, kNow + 300);
    }
    ~FilledStore()
    {
        store.reset();
        std::filesystem::remove_all(dir);
    }

    std::string dir;
    std::unique_ptr<HeadlinesStore> store;
};

HeadlinesView ViewOf(HeadlinesStore& store, HeadlinesOrder order)
{
    return {order, store.Headlines(order), store.UnreadCounts(), store.FailingFeeds(), kNow};
}

void BM_ReadPageFromStore(benchmark::State& state)
{
    FilledStore filled;
    for (auto _ : state)
        benchmark::DoNotOptimize(ViewOf(*filled.store, HeadlinesOrder::NewestFirst));
}
BENCHMARK(BM_ReadPageFromStore)->Unit(benchmark::kMillisecond);

// Opening the filled database, its check included, as the program starts.
void BM_OpenAndCheck(benchmark::State& state)
{
    FilledStore filled;
    filled.store.reset();
    for (auto _ : state)
        benchmark::DoNotOptimize(HeadlinesStore::Open(filled.dir + "/headlines.sqlite"));
}
BENCHMARK(BM_OpenAndCheck)->Unit(benchmark::kMillisecond);

void BM_PageHtml(benchmark::State& state)
{
    FilledStore filled;
    const HeadlinesView view = ViewOf(*filled.store, static_cast<HeadlinesOrder>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string html = HeadlinesPageHtml(view);
        bytes = html.size();
        benchmark::DoNotOptimize(html.data());
    }
    state.counters["headlines"] = static_cast<double>(view.headlines.size());
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_PageHtml)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_StoreRefetchedFeed(benchmark::State& state)
{
    FilledStore filled;
    const ParsedFeed feed = FeedOf(7, 200);
    std::time_t now = kNow;
    for (auto _ : state)
        benchmark::DoNotOptimize(filled.store->StoreFetched(FeedAddress(7), feed, {}, ++now));
}
BENCHMARK(BM_StoreRefetchedFeed)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
