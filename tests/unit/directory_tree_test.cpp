// The tree of items the directory pane shows: where items go among their
// siblings, and the collation of leaf texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "directory/directory_tree.h"

namespace lumo {
namespace {

using Position = DirectoryTree::Position;

std::vector<std::string> ChildTexts(const DirectoryTree& tree, DirectoryTree::ItemId parent)
{
    std::vector<std::string> texts;
    for (DirectoryTree::ItemId child : tree.GetChildren(parent))
        texts.push_back(tree.GetItemText(child));
    return texts;
}

TEST(DirectoryTreeCollation, IgnoresCaseThenBreaksTiesByExactBytes)
{
    EXPECT_LT(CompareDisplayText("Chicago Tribune", "CNN "), 0);
    EXPECT_LT(CompareDisplayText("cbs news", "CNN"), 0);
    EXPECT_LT(CompareDisplayText("CNN", "CNN "), 0);             // a prefix comes first
    EXPECT_GT(CompareDisplayText("NPR Online", "Nashville"), 0); // no "all capitals first"
    EXPECT_LT(CompareDisplayText("ABC", "abc"), 0);              // tie: upper case first
    EXPECT_EQ(CompareDisplayText("Le Monde  (French)", "Le Monde  (French)"), 0);
    EXPECT_GT(CompareDisplayText("Le Monde (French)", "Le Monde  (French)"), 0); // blanks count
    // Non-ASCII letters sort by code point, after every ASCII letter.
    EXPECT_LT(CompareDisplayText("Al Dia", "Al D\u00EDa"), 0);
    EXPECT_LT(CompareDisplayText("Al Dz", "Al D\u00EDa"), 0);
    EXPECT_GT(CompareDisplayText("b", "A"), 0);
    // Folding to lower case keeps punctuation like "[" and "_" before every letter.
    EXPECT_LT(CompareDisplayText("_", "a"), 0);
    EXPECT_LT(CompareDisplayText("[", "Z"), 0);
}

TEST(DirectoryTree, SortedItemsTakeTheirPlaceAndEqualTextsKeepBuildOrder)
{
    DirectoryTree tree;
    auto root = tree.InsertItem(DirectoryTree::kTop, "Lumo News Reader", Position::Last);
    auto branch = tree.InsertItem(root, "National", Position::Last);
    for (const char* text : {"Washington Post ", "ABCNEWS.com", "CNN ", "cbs", "Monitor, The",
                             "Boston Globe", "Monitor, The"})
        tree.InsertItem(branch, text, Position::Sorted, static_cast<int>(tree.GetCount()));

    EXPECT_EQ(ChildTexts(tree, branch),
              (std::vector<std::string>{"ABCNEWS.com", "Boston Globe", "cbs", "CNN ",
                                        "Monitor, The", "Monitor, The", "Washington Post "}));
    // The two equal texts show in the order they were added: item data follows the build.
    const auto& children = tree.GetChildren(branch);
    EXPECT_LT(tree.GetItemData(children[4]), tree.GetItemData(children[5]));
    EXPECT_EQ(tree.IndexInParent(children[5]), 5u);
    EXPECT_EQ(tree.GetParent(children[5]), branch);
}

TEST(DirectoryTree, AppendedItemsKeepInsertionOrder)
{
    DirectoryTree tree;
    auto root = tree.InsertItem(DirectoryTree::kTop, "root", Position::Last);
    for (const char* text : {"[WY]Wyoming", "[AL]Alabama", "[DE]Delaware", "[DC]Dist. of Columbia"})
        tree.InsertItem(root, text, Position::Last);
    EXPECT_EQ(ChildTexts(tree, root),
              (std::vector<std::string>{"[WY]Wyoming", "[AL]Alabama", "[DE]Delaware",
                                        "[DC]Dist. of Columbia"}));
    EXPECT_EQ(ChildTexts(tree, DirectoryTree::kTop), (std::vector<std::string>{"root"}));
}

TEST(DirectoryTree, DeletingAllItemsStartsAFreshTree)
{
    DirectoryTree tree;
    auto root = tree.InsertItem(DirectoryTree::kTop, "root", Position::Last);
    auto leaf = tree.InsertItem(root, "leaf", Position::Sorted, 7);
    tree.Expand(root);
    EXPECT_TRUE(tree.IsExpanded(root));
    EXPECT_FALSE(tree.IsExpanded(leaf));
    EXPECT_TRUE(tree.HasChildren(root));
    EXPECT_FALSE(tree.HasChildren(leaf));

    tree.DeleteAllItems();
    EXPECT_EQ(tree.GetCount(), 0u);
    EXPECT_FALSE(tree.IsValid(root));
    EXPECT_TRUE(tree.GetChildren(DirectoryTree::kTop).empty());
    auto again = tree.InsertItem(DirectoryTree::kTop, "again", Position::Last);
    EXPECT_EQ(again, root);
    EXPECT_FALSE(tree.IsExpanded(again));
    EXPECT_EQ(tree.GetItemData(again), 0);
}

} // namespace
} // namespace lumo
