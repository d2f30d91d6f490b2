#pragma once
// The items of the directory tree, held apart from any window so that a whole
// tree can be built first and then handed to the control in one step.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumo {

// The order in which the tree shows sibling leaves: ASCII letters compare
// without regard to case and every other byte by its value (for UTF-8 text
// that is code point order); texts equal that way are ordered by their exact
// bytes. Returns a negative, zero or positive value like strcmp.
int CompareDisplayText(std::string_view a, std::string_view b);
// The text with ASCII letters in lower case: CompareDisplayText orders texts
// as their folded forms compare byte by byte, then as the texts themselves do.
std::string FoldDisplayText(std::string_view text);

// A tree of text items, each with an integer item data and an expansion flag.
// Children are kept in the order the tree shows them: appended items after
// their siblings, sorted items at their place by CompareDisplayText and, among
// equal texts, after the ones inserted before them.
class DirectoryTree
{
public:
    using ItemId = std::uint32_t;
    // The invisible parent of the top-level items; never a real item.
    static constexpr ItemId kTop = 0;

    enum class Position
    {
        Last,
        Sorted
    };

    DirectoryTree();

    ItemId InsertItem(ItemId parent, std::string text, Position where, int data = 0);
    // Room for `count` more items, inserted without moving the ones already
    // in the tree.
    void Reserve(std::size_t count);
    void Expand(ItemId item);
    // Removes every item; ids of a later build start again from 1.
    void DeleteAllItems();

    // Number of items (kTop not counted); ids run from 1 to GetCount().
    std::size_t GetCount() const { return m_items.size() - 1; }
    bool IsValid(ItemId item) const { return item != kTop && item < m_items.size(); }
    const std::string& GetItemText(ItemId item) const { return m_items[item].text; }
    int GetItemData(ItemId item) const { return m_items[item].data; }
    ItemId GetParent(ItemId item) const { return m_items[item].parent; }
    // The children in the order the tree shows them.
    const std::vector<ItemId>& GetChildren(ItemId item) const { return m_items[item].children; }
    bool HasChildren(ItemId item) const { return !m_items[item].children.empty(); }
    bool IsExpanded(ItemId item) const { return m_items[item].expanded; }
    // The position of an item among its siblings, as the tree shows them.
    std::size_t IndexInParent(ItemId item) const;

private:
    struct Item
    {
        std::string text;
        int data = 0;
        ItemId parent = kTop;
        bool expanded = false;
        std::vector<ItemId> children;
    };

    std::vector<Item> m_items;
};

} // namespace lumo
