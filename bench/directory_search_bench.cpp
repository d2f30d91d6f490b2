// One keystroke of "Find a newspaper": matching every paper and building the
// tree of the matches (and, once, indexing the papers at the first search), over the directory as
// the program builds it (the catalogue, with no favorites and with 5,000), for queries that match
// many, some and one paper. The control then shows the tree it is handed.
#include "directory/catalogue.h"
#include "directory/directory_search.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using lumo::DirectoryTree;

struct Directory
{
    DirectoryTree tree;
    std::vector<std::string> addresses{""};

    void Leaf(DirectoryTree::ItemId parent, std::string_view text, std::string_view url)
    {
        tree.InsertItem(parent, std::string(text), DirectoryTree::Position::Sorted,
                        static_cast<int>(addresses.size()));
        addresses.emplace_back(url);
    }
};

Directory Build(int favorites)
{
    Directory d;
    const auto root =
        d.tree.InsertItem(DirectoryTree::kTop, "Lumo News Reader", DirectoryTree::Position::Last);
    const auto mine = d.tree.InsertItem(root, "My Favorites", DirectoryTree::Position::Last);
    for (int i = 0; i < favorites; ++i)
        d.Leaf(mine, "Favorite paper " + std::to_string(i),
               "https://fav" + std::to_string(i) + ".example/");
    const auto national =
        d.tree.InsertItem(root, std::string(lumo::kNationalBranch), DirectoryTree::Position::Last);
    for (const auto& entry : lumo::NationalEntries())
        d.Leaf(national, entry.text, entry.url);
    const auto world =
        d.tree.InsertItem(root, std::string(lumo::kWorldBranch), DirectoryTree::Position::Last);
    for (const auto& entry : lumo::WorldEntries())
        d.Leaf(world, entry.text, entry.url);
    const auto states = d.tree.InsertItem(root, std::string(lumo::kAmericanStatesBranch),
                                          DirectoryTree::Position::Last);
    for (const auto& region : lumo::Regions()) {
        const auto item =
            d.tree.InsertItem(states, std::string(region.text), DirectoryTree::Position::Last);
        for (const auto& entry : region.entries)
            d.Leaf(item, entry.text, entry.url);
    }
    return d;
}

void Keystroke(benchmark::State& state, const char* query)
{
    const Directory d = Build(static_cast<int>(state.range(0)));
    const lumo::DirectorySearch search(d.tree, d.addresses);
    std::size_t shown = 0;
    for (auto _ : state) {
        std::vector<DirectoryTree::ItemId> origin;
        const auto leaves = search.Find(query);
        const DirectoryTree filtered = search.Filtered(leaves, origin);
        shown = filtered.GetCount();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["items"] = static_cast<double>(d.tree.GetCount());
    state.counters["shown"] = static_cast<double>(shown);
}

// What the first search pays once: indexing every paper of the tree.
void Index(benchmark::State& state)
{
    const Directory d = Build(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        lumo::DirectorySearch search(d.tree, d.addresses);
        benchmark::DoNotOptimize(search);
    }
}

} // namespace

BENCHMARK(Index)->Arg(0)->Arg(5000)->Arg(100000)->Unit(benchmark::kMillisecond);
// "a" matches most papers, "ca" a region and more, "bakers" one paper.
BENCHMARK_CAPTURE(Keystroke, many, "a")->Arg(0)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Keystroke, region, "ca")->Arg(0)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Keystroke, one, "bakers")->Arg(0)->Arg(5000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
