#include "directory/directory_tree.h"

#include <algorithm>

namespace lumo {
namespace {

unsigned char FoldAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

} // namespace

int CompareDisplayText(std::string_view a, std::string_view b)
{
    std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        unsigned char x = FoldAscii(static_cast<unsigned char>(a[i]));
        unsigned char y = FoldAscii(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    int exact = a.compare(b);
    return exact < 0 ? -1 : (exact > 0 ? 1 : 0);
}

std::string FoldDisplayText(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded)
        c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return folded;
}

DirectoryTree::DirectoryTree()
{
    m_items.emplace_back();
}

DirectoryTree::ItemId DirectoryTree::InsertItem(ItemId parent, std::string text, Position where,
                                                int data)
{
    auto id = static_cast<ItemId>(m_items.size());
    std::vector<ItemId>& siblings = m_items[parent].children;
    auto at = siblings.end();
    // Texts that come in order go after the last at once.
    if (where == Position::Sorted && !siblings.empty() &&
        CompareDisplayText(text, m_items[siblings.back()].text) < 0) {
        // upper_bound puts a text after its equals, so equal texts keep build order.
        at = std::upper_bound(siblings.begin(), siblings.end(), text,
                              [this](const std::string& value, ItemId sibling) {
                                  return CompareDisplayText(value, m_items[sibling].text) < 0;
                              });
    }
    siblings.insert(at, id);
    Item item;
    item.text = std::move(text);
    item.data = data;
    item.parent = parent;
    m_items.push_back(std::move(item));
    return id;
}

void DirectoryTree::Reserve(std::size_t count)
{
    m_items.reserve(m_items.size() + count);
}

void DirectoryTree::Expand(ItemId item)
{
    if (IsValid(item))
        m_items[item].expanded = true;
}

void DirectoryTree::DeleteAllItems()
{
    m_items.clear();
    m_items.emplace_back();
}

std::size_t DirectoryTree::IndexInParent(ItemId item) const
{
    const std::vector<ItemId>& siblings = m_items[GetParent(item)].children;
    return static_cast<std::size_t>(std::find(siblings.begin(), siblings.end(), item) -
                                    siblings.begin());
}

} // namespace lumo
