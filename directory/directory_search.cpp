#include "directory/directory_search.h"

#include <algorithm>

namespace lumo {
namespace {

// The letters U+00C0 to U+017F without their accents, lower case; "" where the
// code point is no letter (× and ÷), two letters for ß, æ, œ and the like.
// clang-format off
constexpr const char* kLatinBase[] = {
    // U+00C0
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o", "", "o", "u", "u", "u", "u", "y", "th", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
    "d", "n", "o", "o", "o", "o", "o", "", "o", "u", "u", "u", "u", "y", "th", "y",
    // U+0100
    "a", "a", "a", "a", "a", "a", "c", "c", "c", "c", "c", "c", "c", "c", "d", "d",
    "d", "d", "e", "e", "e", "e", "e", "e", "e", "e", "e", "e", "g", "g", "g", "g",
    "g", "g", "g", "g", "h", "h", "h", "h", "i", "i", "i", "i", "i", "i", "i", "i",
    "i", "i", "ij", "ij", "j", "j", "k", "k", "k", "l", "l", "l", "l", "l", "l", "l",
    "l", "l", "l", "n", "n", "n", "n", "n", "n", "n", "n", "n", "o", "o", "o", "o",
    "o", "o", "oe", "oe", "r", "r", "r", "r", "r", "r", "s", "s", "s", "s", "s", "s",
    "s", "s", "t", "t", "t", "t", "t", "t", "u", "u", "u", "u", "u", "u", "u", "u",
    "u", "u", "u", "u", "w", "w", "y", "y", "y", "z", "z", "z", "z", "z", "z", "s",
};
// clang-format on

void AppendSpace(std::string& out)
{
    if (!out.empty() && out.back() != ' ')
        out += ' ';
}

} // namespace

std::string FoldForSearch(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (byte >= 'A' && byte <= 'Z')
                out += static_cast<char>(byte - 'A' + 'a');
            else if ((byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9'))
                out += static_cast<char>(byte);
            else
                AppendSpace(out);
            continue;
        }
        // Two-byte sequences from U+00C0 to U+017F: the letter without its accent.
        if ((byte == 0xC3 || byte == 0xC4 || byte == 0xC5) && i + 1 < text.size()) {
            const unsigned code =
                ((byte & 0x1F) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F);
            if (code >= 0xC0 && code <= 0x17F) {
                const char* base = kLatinBase[code - 0xC0];
                if (*base)
                    out += base;
                else
                    AppendSpace(out);
                ++i;
                continue;
            }
        }
        out += static_cast<char>(byte);
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string HostForSearch(std::string_view address)
{
    if (const auto scheme = address.find("://"); scheme != std::string_view::npos)
        address.remove_prefix(scheme + 3);
    address = address.substr(0, address.find_first_of("/?#:"));
    if (address.substr(0, 4) == "www.")
        address.remove_prefix(4);
    return FoldForSearch(address);
}

std::string QueryForSearch(std::string_view typed)
{
    const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!typed.empty() && blank(typed.front()))
        typed.remove_prefix(1);
    while (!typed.empty() && blank(typed.back()))
        typed.remove_suffix(1);
    const bool oneWord = std::find_if(typed.begin(), typed.end(), blank) == typed.end();
    const bool address =
        typed.find("://") != std::string_view::npos ||
        (oneWord && (typed.starts_with("www.") ||
                     typed.substr(0, typed.find('/')).find('.') != std::string_view::npos));
    return address ? HostForSearch(typed) : std::string(typed);
}

DirectorySearch::DirectorySearch(const DirectoryTree& tree,
                                 const std::vector<std::string>& addresses)
    : m_tree(tree)
{
    m_leaves.reserve(tree.GetCount());
    std::vector<ItemId> pending(tree.GetChildren(DirectoryTree::kTop).rbegin(),
                                tree.GetChildren(DirectoryTree::kTop).rend());
    // Depth first, in the order the tree shows its items.
    while (!pending.empty()) {
        const ItemId item = pending.back();
        pending.pop_back();
        const auto& children = tree.GetChildren(item);
        if (!children.empty()) {
            pending.insert(pending.end(), children.rbegin(), children.rend());
            continue;
        }
        const auto data = static_cast<std::size_t>(tree.GetItemData(item));
        Leaf leaf{item, FoldForSearch(tree.GetItemText(item)),
                  data > 0 && data < addresses.size() ? HostForSearch(addresses[data]) : "", "",
                  ""};
        // A region's row reads "[CA]California".
        const std::string& parent = tree.GetItemText(tree.GetParent(item));
        if (const auto close = parent.find(']');
            parent.starts_with('[') && close != std::string::npos) {
            leaf.code = FoldForSearch(parent.substr(1, close - 1));
            leaf.region = FoldForSearch(parent.substr(close + 1));
        }
        m_leaves.push_back(std::move(leaf));
    }
}

std::vector<DirectorySearch::ItemId> DirectorySearch::Find(std::string_view query) const
{
    const std::string wanted = FoldForSearch(QueryForSearch(query));
    std::vector<ItemId> starting;
    std::vector<ItemId> containing;
    if (wanted.empty())
        return starting;
    for (const Leaf& leaf : m_leaves) {
        if (leaf.name.starts_with(wanted))
            starting.push_back(leaf.id);
        else if (leaf.name.find(wanted) != std::string::npos || leaf.code == wanted ||
                 (!leaf.region.empty() && leaf.region.starts_with(wanted)) ||
                 leaf.host.find(wanted) != std::string::npos)
            containing.push_back(leaf.id);
    }
    starting.insert(starting.end(), containing.begin(), containing.end());
    return starting;
}

DirectoryTree DirectorySearch::Filtered(const std::vector<ItemId>& leaves,
                                        std::vector<ItemId>& origin) const
{
    // Which items show: the leaves and all the items above them; and for each
    // parent, its shown leaves in the order given.
    std::vector<char> shown(m_tree.GetCount() + 1, 0);
    std::vector<std::vector<ItemId>> leavesOf(m_tree.GetCount() + 1);
    for (ItemId leaf : leaves) {
        leavesOf[m_tree.GetParent(leaf)].push_back(leaf);
        for (ItemId item = leaf; item != DirectoryTree::kTop && !shown[item];
             item = m_tree.GetParent(item))
            shown[item] = 1;
    }
    DirectoryTree filtered;
    origin.assign(1, DirectoryTree::kTop);
    // Parents before children: walk the full tree's branches in order.
    std::vector<std::pair<ItemId, ItemId>> pending; // (full id, new parent id)
    for (auto it = m_tree.GetChildren(DirectoryTree::kTop).rbegin();
         it != m_tree.GetChildren(DirectoryTree::kTop).rend(); ++it)
        pending.emplace_back(*it, DirectoryTree::kTop);
    while (!pending.empty()) {
        const auto [item, newParent] = pending.back();
        pending.pop_back();
        if (!shown[item] || !m_tree.HasChildren(item))
            continue;
        const ItemId branch =
            filtered.InsertItem(newParent, m_tree.GetItemText(item), DirectoryTree::Position::Last,
                                m_tree.GetItemData(item));
        filtered.Expand(branch);
        origin.push_back(item);
        for (ItemId leaf : leavesOf[item]) {
            filtered.InsertItem(branch, m_tree.GetItemText(leaf), DirectoryTree::Position::Last,
                                m_tree.GetItemData(leaf));
            origin.push_back(leaf);
        }
        const auto& children = m_tree.GetChildren(item);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (m_tree.HasChildren(*it))
                pending.emplace_back(*it, branch);
    }
    return filtered;
}

} // namespace lumo
