#pragma once
// What the tree's "Find a newspaper" search shows, and what the tree had
// before it, which comes back when the search ends.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "directory/directory_search.h"
#include "directory/directory_tree.h"

namespace lumo {

class TreeSearchState
{
public:
    using Item = DirectoryTree::ItemId;

    // Whether a search's results show instead of the whole tree.
    bool IsFiltered() const { return m_filtered; }
    // Called when a new build replaces the results of a search.
    void SetEndedByBuild(std::function<void()> ended) { m_endedByBuild = std::move(ended); }
    // A new build: the search index goes (made again at the next search) and
    // results shown end.
    void EndForBuild();

    // The first query of a search: keeps the whole tree's expanded items and
    // its selection.
    void Begin(std::vector<Item> expandedBefore, Item selectedBefore);
    // The results of `query` in the whole tree `full`, whose leaves' addresses
    // `urls` holds; `found` receives the newspapers that match.
    DirectoryTree Find(std::string_view query, const DirectoryTree& full,
                       const std::vector<std::string>& urls, std::vector<Item>& found);
    // The search ends: the whole tree shows again.
    void End() { m_filtered = false; }
    // What the whole tree had when the search began.
    const std::vector<Item>& ExpandedBefore() const { return m_expandedBefore; }
    Item SelectedBefore() const { return m_selectedBefore; }

    // The item of the whole tree for an item of the results (kTop for none);
    // the item itself while no search shows.
    Item InFullTree(Item shown) const;

    // The paper opened last, by the texts from the root down to it; it is
    // the one selected when the whole tree comes back after a search.
    const std::vector<std::string>& PaperOnScreen() const { return m_paperOnScreen; }
    void SetPaperOnScreen(std::vector<std::string> path) { m_paperOnScreen = std::move(path); }

private:
    std::unique_ptr<DirectorySearch> m_search;
    bool m_filtered = false;
    std::vector<Item> m_expandedBefore;
    Item m_selectedBefore = DirectoryTree::kTop;
    // For each item of the search's results, its id in the whole tree.
    std::vector<Item> m_origin;
    std::vector<std::string> m_paperOnScreen;
    std::function<void()> m_endedByBuild;
};

} // namespace lumo
