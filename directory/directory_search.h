#pragma once
// Finding newspapers in the directory by what a user types: any part of a
// paper's name, its region's name or code, or its site's host.
#include <string>
#include <string_view>
#include <vector>

#include "directory/directory_tree.h"

namespace lumo {

// A text as the search compares it: ASCII letters in lower case, accented
// Latin letters without their accents ("Süddeutsche" → "suddeutsche"), every
// other ASCII character but letters and digits as one space, no space at
// either end. Other characters stay as they are.
std::string FoldForSearch(std::string_view text);

// The site's host of an address, without "www." ("https://www.latimes.com/x"
// → "latimes.com").
std::string HostForSearch(std::string_view address);

// What a typed or pasted query searches for: an address (with a scheme,
// starting with "www." or a name with a dot and no space: "latimes.com/news")
// as its host, the rest as typed; blanks and line breaks at either end go.
std::string QueryForSearch(std::string_view typed);

// An index of the leaves of one tree; a new tree needs a new index.
class DirectorySearch
{
public:
    using ItemId = DirectoryTree::ItemId;

    // `addresses[n]` is the address of the leaf whose item data is n.
    DirectorySearch(const DirectoryTree& tree, const std::vector<std::string>& addresses);

    // The leaves that match `query`, best first: those whose name starts with
    // the typed text, then those that match otherwise (inside the name, by
    // region or by host); each group in the tree's order. Nothing for a
    // query with nothing to compare.
    std::vector<ItemId> Find(std::string_view query) const;

    // A tree of just `leaves` under their branches and regions, all expanded,
    // the branches in the full tree's order and the leaves under each parent
    // in the order given. `origin[id]` gets, for each item of the new tree,
    // its id in the full tree.
    DirectoryTree Filtered(const std::vector<ItemId>& leaves, std::vector<ItemId>& origin) const;

private:
    struct Leaf
    {
        ItemId id;
        std::string name;   // folded
        std::string host;   // folded
        std::string region; // the folded name of the region it is under, if any
        std::string code;   // the folded code of that region ("ca")
    };

    const DirectoryTree& m_tree;
    std::vector<Leaf> m_leaves; // in the tree's order
};

} // namespace lumo
