#pragma once
// The directory tree pane on the left of the main window.
#include <string>
#include <string_view>
#include <vector>

#include <wx/dataview.h>

#include "app/document.h"
#include "directory/directory_tree.h"

namespace lumo {

class DirectoryModel;
class FavoritesReporter;
class ProfileStore;

// The text of the branch that holds the user's favorites.
inline constexpr std::string_view kMyFavoritesBranch = "My Favorites";
// What a screen reader calls the tree.
inline constexpr const char* kDirectoryAccessibleName = "Newspapers";

// The address table starts with this many entries (entry 0 is never used);
// a build with more leaves than that makes it grow.
inline constexpr std::size_t kInitialURLSlots = 4096;

// Shows the user's favorites and the built-in catalogue as one tree on a
// native tree control, and opens the selected newspaper in the browser pane.
class CLeftView : public wxDataViewCtrl, public TreePane
{
public:
    using Item = DirectoryTree::ItemId;

    CLeftView(wxWindow* parent, CLumoNewsReaderDoc& doc, ProfileStore& profile,
              FavoritesReporter& reporter);

    // The pane's first update, again at each re-initialisation of the document:
    // links the pane into the document, empties the address table, settles the
    // program directory if nobody has yet, and builds the tree in the stored
    // arrangement.
    void OnInitialUpdate();

    // Builds the whole tree anew: favorites, then the catalogue. Both
    // arrangements show the same tree.
    void BuildCatalogTree(int arrangement) override;

    // The build steps for the catalogue's three branches; each continues the
    // address table where the previous step stopped. Called by BuildCatalogTree
    // with the root of the tree being built.
    void InsertNational(Item root);
    void InsertWorld(Item root);
    void InsertAmericanStates(Item root);

    // What a change of selection to `item` does: a leaf sets the caption and
    // opens its address; items with children, and the item already handled,
    // do nothing.
    void SelectionChanged(Item item);

    // The tree on screen, and the mapping between its ids and the control's items.
    const DirectoryTree& Items() const;
    static wxDataViewItem ToViewItem(Item item);
    static Item ToItem(const wxDataViewItem& item);

    // The address table: entry n holds the address of the leaf whose item data is n.
    const std::vector<std::string>& URLTable() const { return m_strURL; }
    // The next free entry of the address table.
    int URLCount() const { return m_nURLCount; }

private:
    void OnTvnSelchanged(wxDataViewEvent& event);
    Item AppendBranch(Item parent, std::string_view text);
    // The one rule for every leaf: sorted among its siblings, item data = the
    // next free entry, which receives the address.
    Item AddLeaf(Item parent, std::string_view text, std::string_view url);
    void InsertFavorites(Item branch);
    void ShowBuiltTree();

    CLumoNewsReaderDoc& m_doc;
    ProfileStore& m_profile;
    FavoritesReporter& m_reporter;
    DirectoryModel* m_model;
    // The tree being built; the control keeps showing the previous one until
    // the build hands this one over whole.
    DirectoryTree m_building;
    std::vector<std::string> m_strURL;
    int m_nURLCount = 0;
    // The item whose selection was handled last, so that selecting it again
    // (a click on the selected row) opens nothing twice.
    Item m_handled = DirectoryTree::kTop;
};

} // namespace lumo
