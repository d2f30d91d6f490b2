// Finding newspapers by what a user types, over a tree built like the
// program's: favorites, the catalogue's branches and regions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directory/directory_search.h"

using namespace lumo;

namespace {

struct Directory
{
    DirectoryTree tree;
    std::vector<std::string> addresses{""};

    DirectoryTree::ItemId Branch(DirectoryTree::ItemId parent, const std::string& text)
    {
        const auto item = tree.InsertItem(parent, text, DirectoryTree::Position::Last);
        tree.Expand(item);
        return item;
    }
    void Leaf(DirectoryTree::ItemId parent, const std::string& text, const std::string& address)
    {
        tree.InsertItem(parent, text, DirectoryTree::Position::Sorted,
                        static_cast<int>(addresses.size()));
        addresses.push_back(address);
    }
};

std::vector<std::string> Names(const DirectoryTree& tree,
                               const std::vector<DirectoryTree::ItemId>& ids)
{
    std::vector<std::string> names;
    for (auto id : ids)
        names.push_back(tree.GetItemText(id));
    return names;
}

} // namespace

TEST(DirectorySearch, MatchesNamesRegionsAndHostsBestFirst)
{
    Directory d;
    const auto root = d.Branch(DirectoryTree::kTop, "Lumo News Reader");
    const auto favorites = d.Branch(root, "My Favorites");
    d.Leaf(favorites, "Le Monde", "https://www.lemonde.fr/");
    const auto national = d.Branch(root, "National");
    d.Leaf(national, "Los Angeles Times", "https://www.latimes.com/");
    d.Leaf(national, "Baltimore Sun ", "https://www.baltimoresun.com/");
    const auto world = d.Branch(root, "World");
    d.Leaf(world, "Süddeutsche Zeitung", "https://www.sueddeutsche.de/");
    d.Leaf(world, "The Sun", "https://www.thesun.co.uk/");
    const auto states = d.Branch(root, "American States");
    const auto california = d.Branch(states, "[CA]California");
    d.Leaf(california, "Bakersfield Californian", "https://www.bakersfield.com/");
    d.Leaf(california, "San Diego Union-Tribune", "https://www.sandiegouniontribune.com/");
    const auto dc = d.Branch(states, "[DC]Dist. of Columbia");
    d.Leaf(dc, "Washington Post", "https://www.washingtonpost.com/");

    DirectorySearch search(d.tree, d.addresses);
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"bakers", {"Bakersfield Californian"}},
        {"SUDDEUTSCHE", {"Süddeutsche Zeitung"}},       // case and accents
        {"union tribune", {"San Diego Union-Tribune"}}, // punctuation
        {"union-tribune", {"San Diego Union-Tribune"}},
        {"california", {"Bakersfield Californian", "San Diego Union-Tribune"}}, // region
        {"CA", {"Bakersfield Californian", "San Diego Union-Tribune"}},         // its code
        {"dist of col", {"Washington Post"}},
        {"latimes", {"Los Angeles Times"}}, // host
        // An address typed or pasted: its host.
        {"https://www.latimes.com/", {"Los Angeles Times"}},
        {"www.latimes.com", {"Los Angeles Times"}},
        {"latimes.com/california/story\n", {"Los Angeles Times"}},
        {" http://washingtonpost.com:80/news?id=1#top\r\n", {"Washington Post"}},
        {"https://", {}},
        {"le mon", {"Le Monde"}},               // favorites
        {"sun", {"Baltimore Sun ", "The Sun"}}, // inside names, in the tree's order
        {"the", {"The Sun"}},
        {"  ", {}},
        {"zzz", {}},
    };
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(Names(d.tree, search.Find(query)), expected) << query;

    // Names starting with the typed text come first.
    EXPECT_EQ(Names(d.tree, search.Find("s")),
              (std::vector<std::string>{"Süddeutsche Zeitung", "San Diego Union-Tribune",
                                        "Baltimore Sun ", "Los Angeles Times", "The Sun",
                                        "Bakersfield Californian", "Washington Post"}));

    // The results under their branches and regions, all expanded.
    std::vector<DirectoryTree::ItemId> origin;
    const DirectoryTree filtered = search.Filtered(search.Find("san diego"), origin);
    ASSERT_EQ(filtered.GetCount(), 4u);
    EXPECT_EQ(Names(filtered, {1, 2, 3, 4}),
              (std::vector<std::string>{"Lumo News Reader", "American States", "[CA]California",
                                        "San Diego Union-Tribune"}));
    EXPECT_TRUE(filtered.IsExpanded(3));
    EXPECT_EQ(origin[4], search.Find("san diego").front());
    EXPECT_EQ(filtered.GetItemData(4), d.tree.GetItemData(origin[4]));
}
