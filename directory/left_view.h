#pragma once
// The directory tree pane on the left of the main window.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <wx/dataview.h>
#include <wx/timer.h>

#include "common/document.h"
#include "directory/directory_search.h"
#include "directory/directory_tree.h"
#include "directory/favorites_read_ahead.h"
#include "directory/tree_search_state.h"
#include "favorites/favorites_store.h"

#ifdef __WXGTK__
typedef struct _GtkTreeView GtkTreeView;
typedef struct _GdkEventButton GdkEventButton;
#endif

namespace lumo {

class DirectoryModel;
class FavoritesReporter;
class ProfileStore;

// What a screen reader calls the tree.
inline constexpr const char* kDirectoryAccessibleName = "Newspapers";

// How long the keys must rest on a paper before its page opens: longer than
// the pause between the keys of a walk through the tree, which at three keys
// a second is a third of a second.
inline constexpr int kQuietWalkMs = 600;

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
    void BuildCatalogTree(CataView arrangement) override;

    // What the context menu of a paper offers.
    enum class PaperCommand
    {
        Open,
        OpenInWebBrowser,
        CopyAddress,
        AddToMyFavorites, // catalogue papers only
        Rename,           // favorites only, as are the three below
        ChangeAddress,
        Remove,
        HeadlinesFeed,
    };
    // The commands a row offers: none for branches and rows without an address.
    std::vector<PaperCommand> PaperCommands(Item item) const;
    // Carries out a command of a paper's context menu; false when the row
    // does not offer it or it failed (a message says why).
    bool RunPaperCommand(PaperCommand command, Item item);
    // The whole name of a row whose name the pane's width cuts short (it
    // then ends with an ellipsis), for its tooltip; empty for a name shown whole.
    std::string ClippedName(Item item) const;
    // The menu key and Shift+F10: the selected paper's menu; false when none.
    bool ShowSelectedPaperMenu();

    // Shows the favorites file's entries under "My Favorites" when they
    // differ from those shown; the rest of the tree keeps its expansion, its
    // selection (not opened again) and its scroll position.
    void RefreshFavorites();
    // The favorites the tree shows, in its order, and a call after every
    // build of the tree (at start and after each change of the favorites).
    std::vector<FavoriteEntry> ShownFavorites();
    void SetFavoritesBuilt(std::function<void()> built) { m_favoritesBuilt = std::move(built); }

    // The build steps for the catalogue's three branches; each continues the
    // address table where the previous step stopped. Called by BuildCatalogTree
    // with the root of the tree being built.
    void InsertNational(Item root);
    void InsertWorld(Item root);
    void InsertAmericanStates(Item root);

    // What a change of selection to `item` does: a leaf sets the caption and
    // the current address at once and opens its address, at once when the
    // pointer chose it, once the keys have rested kQuietWalkMs when keys moved
    // to it (or at once on Enter); items with children, and the item already
    // handled, do nothing.
    void SelectionChanged(Item item);
    // Opens the page a keyboard walk rests on now, if one waits.
    void OpenPendingPage();
    void ShapeNativeTree();
    void WatchNativeInput();
    // Whether a page chosen by the keys waits for them to rest.
    bool PageWaitsToOpen() const { return m_pendingOpen.IsRunning(); }

    // The tree on screen, and the mapping between its ids and the control's items.
    const DirectoryTree& Items() const;
    static wxDataViewItem ToViewItem(Item item);
    static Item ToItem(const wxDataViewItem& item);

    // Shows only the newspapers that match `query` (see DirectorySearch), under
    // their branches and regions, all expanded. A query with nothing to
    // compare brings the full tree back with the expansion and selection it
    // had before the search. Returns the number of newspapers shown.
    std::size_t ShowMatches(std::string_view query);
    bool IsFiltered() const { return m_searchState.IsFiltered(); }
    // Called when a new build replaces the results of a search.
    void SetSearchEndedByBuild(std::function<void()> ended)
    {
        m_searchState.SetEndedByBuild(std::move(ended));
    }
    // Whether a search shows a newspaper.
    bool HasMatch() const { return IsFiltered() && FirstMatch() != DirectoryTree::kTop; }
    // Selects the first newspaper shown and moves the focus to it; its page
    // opens at once or as at the end of a keyboard walk. False when none shows.
    bool SelectFirstMatch(bool openAtOnce);

    // The address table: entry n holds the address of the leaf whose item data is n.
    const std::vector<std::string>& URLTable() const { return m_strURL; }
    // The next free entry of the address table.
    int URLCount() const { return m_nURLCount; }

private:
    // The first newspaper shown, or kTop.
    Item FirstMatch() const;
    void OnTvnSelchanged(wxDataViewEvent& event);
    // The context menu of a paper, from the pointer or the keyboard.
    bool ShowPaperMenu(Item item, const wxPoint& where = wxDefaultPosition);
#ifdef __WXGTK__
    // The right button on a row: its menu once the button is up, the
    // selection unchanged.
    bool OnRightButton(GtkTreeView* tree, const GdkEventButton* button);
#endif
    std::string AddressOf(Item item) const;
    // Rename, ChangeAddress and Remove of a favorite's row: the file changed
    // and shown at once, the selection kept (on the favorite, renamed).
    bool EditFavoriteRow(PaperCommand command, Item item);
    Item AppendBranch(Item parent, std::string_view text);
    // A leaf sorted among its siblings, item data = the next free entry,
    // which receives the address.
    Item AddLeaf(Item parent, std::string_view text, std::string_view url);
    // Starts the tree being built with the root and the favorites; returns the root.
    Item StartWithFavorites();
    void ShowBuiltTree();
    // Hands `tree` to the control; its items marked expanded are expanded
    // when `expandMarked`.
    const DirectoryTree& FullTree();
    void ShowTree(DirectoryTree tree, bool expandMarked);
    void PlaceCursorWithoutSelecting();

    CLumoNewsReaderDoc& m_doc;
    ProfileStore& m_profile;
    FavoritesReporter& m_reporter;
    DirectoryModel* m_model;
    // The tree being built; the control keeps showing the previous one until
    // the build hands this one over whole.
    DirectoryTree m_building;
    // Where the next build takes the favorites from.
    FavoritesReadAhead m_favorites;
    std::function<void()> m_favoritesBuilt;
    // What the last build found of the favorites file.
    FavoritesFileState m_favoritesState = FavoritesFileState::Read;
    std::vector<std::string> m_strURL;
    int m_nURLCount = 0;
    // The item whose selection was handled last, so that selecting it again
    // (a click on the selected row) opens nothing twice.
    Item m_handled = DirectoryTree::kTop;
    // The whole tree as last built. Right after a build the model holds it,
    // and it is copied here only when first needed: by a search, a refresh,
    // or before the model shows another tree.
    DirectoryTree m_full;
    bool m_fullShown = false;
    // What a search shows, and what the whole tree had before it.
    TreeSearchState m_searchState;
    std::vector<std::string> m_pendingPath;
    // The page a keyboard walk rests on, opened when the keys have rested.
    bool m_byKeyboard = false;
    wxTimer m_pendingOpen;
    std::string m_pendingUrl;
    std::string m_pendingName;
    // The row the right button went down on, whose menu opens when it comes up there.
    Item m_rightPressed = DirectoryTree::kTop;
};

} // namespace lumo
