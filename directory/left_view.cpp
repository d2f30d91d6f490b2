#include "directory/left_view.h"

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

#include <wx/clipbrd.h>
#include <wx/menu.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

#include "common/address_text.h"
#include "common/app_paths.h"
#include "common/globals.h"
#include "common/message_box.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "common/window_caption.h"
#include "directory/catalogue.h"
#include "directory/directory_model.h"
#include "favorites/favorites_store.h"
#include "headlines/ui/feed_dialog.h"
#include "ui/accessibility.h"
#include "ui/gdk_keys.h"
#include "ui/key_map.h"

namespace lumo {

namespace {

// An item by the texts from the top of the tree down to it: what still names
// it after a build in which the ids moved.
std::vector<std::string> TextPath(const DirectoryTree& tree, DirectoryTree::ItemId item)
{
    std::vector<std::string> path;
    for (; item != DirectoryTree::kTop; item = tree.GetParent(item))
        path.insert(path.begin(), tree.GetItemText(item));
    return path;
}

DirectoryTree::ItemId FindByTextPath(const DirectoryTree& tree,
                                     const std::vector<std::string>& path)
{
    DirectoryTree::ItemId item = DirectoryTree::kTop;
    for (const std::string& text : path) {
        const auto& children = tree.GetChildren(item);
        const auto found = std::find_if(children.begin(), children.end(), [&](auto child) {
            return tree.GetItemText(child) == text;
        });
        if (found == children.end())
            return DirectoryTree::kTop;
        item = *found;
    }
    return item;
}

} // namespace

CLeftView::CLeftView(wxWindow* parent, CLumoNewsReaderDoc& doc, ProfileStore& profile,
                     FavoritesReporter& reporter)
    : wxDataViewCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                     wxDV_SINGLE | wxDV_NO_HEADER | wxBORDER_THEME),
      m_doc(doc), m_profile(profile), m_reporter(reporter), m_model(new DirectoryModel)
{
    AppendTextColumn(wxString(), 0, wxDATAVIEW_CELL_INERT, wxCOL_WIDTH_AUTOSIZE);
    AssociateModel(m_model);
    // The control holds the model from here on; m_model stays valid as long as it does.
    m_model->DecRef();
    ShapeNativeTree();
    Bind(wxEVT_DATAVIEW_SELECTION_CHANGED, &CLeftView::OnTvnSelchanged, this);
    // Enter on a row (and a double-click) opens a page still waiting at once.
    Bind(wxEVT_DATAVIEW_ITEM_ACTIVATED, [this](wxDataViewEvent&) { OpenPendingPage(); });
    m_pendingOpen.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OpenPendingPage(); });
#ifndef __WXGTK__
    Bind(wxEVT_DATAVIEW_ITEM_CONTEXT_MENU,
         [this](wxDataViewEvent& event) { ShowPaperMenu(ToItem(event.GetItem())); });
#endif
    WatchNativeInput();
}

// The GTK tree under the control: tree lines, rows of one height, names
// cut with an ellipsis and shown whole in a tooltip.
void CLeftView::ShapeNativeTree()
{
#ifdef __WXGTK__
    m_model->ServeRowLookups(GTK_TREE_VIEW(GtkGetTreeView()));
    // Lines from every item to its children, as a classic tree draws them.
    gtk_tree_view_set_enable_tree_lines(GTK_TREE_VIEW(GtkGetTreeView()), TRUE);
    // Rows of one height and a column as wide as the pane: the control then
    // never measures thousands of rows one by one, which made a search that
    // shows most papers take 70 ms instead of 10. A name longer than the
    // pane is wide ends with an ellipsis, and its row's tooltip shows it whole.
    GtkTreeViewColumn* column = gtk_tree_view_get_column(GTK_TREE_VIEW(GtkGetTreeView()), 0);
    gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
    gtk_tree_view_column_set_fixed_width(column, 1);
    gtk_tree_view_column_set_expand(column, TRUE);
    gtk_tree_view_set_fixed_height_mode(GTK_TREE_VIEW(GtkGetTreeView()), TRUE);
    GetColumn(0)->GetRenderer()->EnableEllipsize(wxELLIPSIZE_END);
    // The row with the keyboard focus shows it clearly, not as the theme's
    // faint dotted line.
    GtkCssProvider* focus = gtk_css_provider_new();
    gtk_css_provider_load_from_data(focus,
                                    "treeview.view { outline: 2px solid @theme_selected_bg_color;"
                                    " outline-offset: -2px; }",
                                    -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(GtkGetTreeView()),
                                   GTK_STYLE_PROVIDER(focus),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(focus);
    gtk_widget_set_has_tooltip(GtkGetTreeView(), TRUE);
    g_signal_connect(
        GtkGetTreeView(), "query-tooltip",
        G_CALLBACK(+[](GtkWidget* widget, gint x, gint y, gboolean byKeyboard, GtkTooltip* tooltip,
                       CLeftView* view) -> gboolean {
            GtkTreeView* tree = GTK_TREE_VIEW(widget);
            g_autoptr(GtkTreePath) path = nullptr;
            GtkTreeIter row;
            if (!gtk_tree_view_get_tooltip_context(tree, &x, &y, byKeyboard, nullptr, &path, &row))
                return FALSE;
            const std::string name = view->ClippedName(ToItem(wxDataViewItem(row.user_data)));
            if (!name.empty()) {
                gtk_tooltip_set_text(tooltip, name.c_str());
                gtk_tree_view_set_tooltip_row(tree, tooltip, path);
            }
            return !name.empty();
        }),
        this);
#endif
}

// Which hand moved the selection, the tree's own keys, and the right button
// before the control selects the row with it.
void CLeftView::WatchNativeInput()
{
#ifdef __WXGTK__
    // Which hand moved the selection: keys walk quietly, the pointer opens at once.
    g_signal_connect(GtkGetTreeView(), "key-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventKey* key, CLeftView* view) -> gboolean {
                         view->m_byKeyboard = true;
                         // The tree's own keys, once the window left them alone.
                         KeyStroke press;
                         if (key->keyval == GDK_KEY_Return)
                             press.code = WXK_RETURN;
                         else if (key->keyval == GDK_KEY_KP_Enter)
                             press.code = WXK_NUMPAD_ENTER;
                         press.modifiers = WxModifiersOf(key->state);
                         const std::vector<KeyCommand> meanings =
                             KeyMeanings(press, KeyPlace::Tree, KeyTaker::Tree);
                         // Shift+Enter opens the paper in the user's web browser.
                         if (meanings.empty() || meanings.front() != KeyCommand::OpenInWebBrowser)
                             return FALSE;
                         view->RunPaperCommand(PaperCommand::OpenInWebBrowser,
                                               ToItem(view->GetSelection()));
                         return TRUE;
                     }),
                     this);

    g_signal_connect(GtkGetTreeView(), "button-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventButton*, CLeftView* view) {
                         view->m_byKeyboard = false;
                         return FALSE;
                     }),
                     this);
    // Before the control's own handling of the button, which selects the row.
    g_signal_connect(GtkGetTreeView(), "event",
                     G_CALLBACK(+[](GtkWidget* tree, GdkEvent* event, CLeftView* view) {
                         const bool button =
                             event->type == GDK_BUTTON_PRESS || event->type == GDK_2BUTTON_PRESS ||
                             event->type == GDK_3BUTTON_PRESS || event->type == GDK_BUTTON_RELEASE;
                         return gboolean(button &&
                                         view->OnRightButton(GTK_TREE_VIEW(tree), &event->button));
                     }),
                     this);
#endif
}

void CLeftView::OnInitialUpdate()
{
    m_doc.m_pLeftView = this;
    m_nURLCount = 0;
    m_strURL.assign(kInitialURLSlots, std::string());
    BuildCatalogTree(m_profile.Get(kCataView));
    // A favorites file that cannot be read is named once.
    const std::string unreadable =
        UnreadableFavoritesMessage(m_favoritesState, FavoritesFilePath());
    if (!unreadable.empty())
        m_reporter.ShowMessage(unreadable);
    // Named once built: a tree with an accessible announces each row that an
    // expansion shows, one by one, which costs more than the rows themselves.
    SetAccessibleName(this, kDirectoryAccessibleName);
}

void CLeftView::BuildCatalogTree(CataView /*arrangement*/)
{
    // Both arrangements show the same tree; the value only tells which command asked.
    const Item root = StartWithFavorites();
    const Item favorites = m_building.GetChildren(root).front();
    InsertNational(root);
    InsertWorld(root);
    InsertAmericanStates(root);
    m_building.Expand(root);
    m_building.Expand(favorites);
    ShowBuiltTree();
    if (m_favoritesBuilt)
        m_favoritesBuilt();
}

std::vector<FavoriteEntry> CLeftView::ShownFavorites()
{
    std::vector<FavoriteEntry> shown;
    const DirectoryTree& full = FullTree();
    const Item branch =
        FindByTextPath(full, {std::string(kAppName), std::string(kMyFavoritesBranch)});
    for (Item item :
         branch != DirectoryTree::kTop ? full.GetChildren(branch) : std::vector<Item>()) {
        const auto slot = static_cast<std::size_t>(full.GetItemData(item));
        shown.push_back({full.GetItemText(item), slot < m_strURL.size() ? m_strURL[slot] : ""});
    }
    return shown;
}

void CLeftView::InsertNational(Item root)
{
    Item branch = AppendBranch(root, kNationalBranch);
    for (const CatalogueEntry& entry : NationalEntries())
        AddLeaf(branch, entry.text, entry.url);
    m_building.Expand(branch);
}

void CLeftView::InsertWorld(Item root)
{
    Item branch = AppendBranch(root, kWorldBranch);
    for (const CatalogueEntry& entry : WorldEntries())
        AddLeaf(branch, entry.text, entry.url);
}

void CLeftView::InsertAmericanStates(Item root)
{
    Item branch = AppendBranch(root, kAmericanStatesBranch);
    std::vector<Item> regions;
    regions.reserve(Regions().size());
    for (const CatalogueRegion& region : Regions())
        regions.push_back(AppendBranch(branch, region.text));
    m_building.Expand(branch);
    for (std::size_t i = 0; i < regions.size(); ++i)
        for (const CatalogueEntry& entry : Regions()[i].entries)
            AddLeaf(regions[i], entry.text, entry.url);
}

CLeftView::Item CLeftView::AppendBranch(Item parent, std::string_view text)
{
    return m_building.InsertItem(parent, std::string(text), DirectoryTree::Position::Last);
}

CLeftView::Item CLeftView::AddLeaf(Item parent, std::string_view text, std::string_view url)
{
    Item leaf = m_building.InsertItem(parent, std::string(text), DirectoryTree::Position::Sorted,
                                      m_nURLCount);
    // The table grows instead of refusing favorites beyond its first 4095 entries.
    const auto entry = static_cast<std::size_t>(m_nURLCount);
    if (entry >= m_strURL.size())
        m_strURL.resize(std::max(entry + 1, m_strURL.size() * 2));
    m_strURL[entry] = url;
    ++m_nURLCount;
    return leaf;
}

CLeftView::Item CLeftView::StartWithFavorites()
{
    FavoritesPart favorites = m_favorites.Next(FavoritesFilePath(), m_reporter);
    m_favoritesState = favorites.state;
    m_building = std::move(favorites.tree);
    m_strURL = std::move(favorites.slots);
    m_nURLCount = 1 + static_cast<int>(favorites.count);
    return m_building.GetChildren(DirectoryTree::kTop).front();
}

const DirectoryTree& CLeftView::FullTree()
{
    if (std::exchange(m_fullShown, false))
        m_full = m_model->Tree();
    return m_full;
}

void CLeftView::ShowTree(DirectoryTree tree, bool expandMarked)
{
    FullTree(); // kept before the model shows another
    m_handled = DirectoryTree::kTop;
    m_model->Replace(std::move(tree));
    if (!expandMarked)
        return;
    // Ids grow from parent to child, so every parent is expanded before its children.
    const DirectoryTree& shown = m_model->Tree();
    for (Item item = 1; item <= shown.GetCount(); ++item)
        if (shown.IsExpanded(item) && shown.HasChildren(item))
            Expand(ToViewItem(item));
}

void CLeftView::ShowBuiltTree()
{
    m_searchState.EndForBuild();
    m_fullShown = false; // the tree shown until now is no longer the whole one
    ShowTree(std::move(m_building), true);
    m_fullShown = true;
    m_building = DirectoryTree();
    PlaceCursorWithoutSelecting();
}

void CLeftView::PlaceCursorWithoutSelecting()
{
    // The keyboard cursor on the first row, not selected: the tree takes the
    // focus with no row selected.
#ifdef __WXGTK__
    GtkTreeView* view = GTK_TREE_VIEW(GtkGetTreeView());
    GtkTreeSelection* selection = gtk_tree_view_get_selection(view);
    if (m_model->Tree().GetCount() == 0 || gtk_tree_selection_get_select_function(selection))
        return;
    // Placing the cursor selects its row unless selecting is refused meanwhile.
    gtk_tree_selection_set_select_function(
        selection,
        [](GtkTreeSelection*, GtkTreeModel*, GtkTreePath*, gboolean, gpointer) -> gboolean {
            return FALSE;
        },
        nullptr, nullptr);
    g_autoptr(GtkTreePath) first = gtk_tree_path_new_first();
    gtk_tree_view_set_cursor(view, first, nullptr, FALSE);
    gtk_tree_selection_set_select_function(selection, nullptr, nullptr, nullptr);
#endif
}

void CLeftView::RefreshFavorites()
{
    // The entries shown now, in the order the branch shows them.
    std::vector<FavoriteEntry> shown = ShownFavorites();
    std::vector<FavoriteEntry> stored =
        FavoritesStore(FavoritesFilePath(), m_reporter).LoadFavorites();
    std::vector<FavoriteEntry> storedSorted = stored;
    auto byText = [](const FavoriteEntry& a, const FavoriteEntry& b) {
        return std::tie(a.title, a.url) < std::tie(b.title, b.url);
    };
    std::sort(shown.begin(), shown.end(), byText);
    std::sort(storedSorted.begin(), storedSorted.end(), byText);
    if (shown == storedSorted)
        return;
    // The build below shows what was just read instead of reading it again.
    m_favorites.Keep(std::move(stored));

    // What the user sees of the tree, by texts: the ids move with the branch.
    std::vector<std::vector<std::string>> expanded;
    for (Item item = 1; item <= Items().GetCount(); ++item)
        if (Items().HasChildren(item) && IsExpanded(ToViewItem(item)))
            expanded.push_back(TextPath(Items(), item));
    const Item selected = ToItem(GetSelection());
    const std::vector<std::string> selectedPath =
        Items().IsValid(selected) ? TextPath(Items(), selected) : std::vector<std::string>();
#ifdef __WXGTK__
    GtkAdjustment* scroll = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(GtkGetTreeView()));
    const double scrolled = scroll ? gtk_adjustment_get_value(scroll) : 0;
#endif

    BuildCatalogTree(m_profile.Get(kCataView));
    // The tree shown now is the whole one just built.
    for (const auto& path : expanded)
        if (Item item = FindByTextPath(Items(), path); item != DirectoryTree::kTop)
            Expand(ToViewItem(item));
    if (Item item = FindByTextPath(Items(), selectedPath); item != DirectoryTree::kTop) {
        m_handled = item; // shown selected again, not opened again
        Select(ToViewItem(item));
    }
#ifdef __WXGTK__
    // Once the rows are laid out again.
    if (scroll)
        CallAfter([this, scrolled] {
            if (GtkAdjustment* adjustment =
                    gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(GtkGetTreeView())))
                gtk_adjustment_set_value(adjustment, scrolled);
        });
#endif
}

std::size_t CLeftView::ShowMatches(std::string_view query)
{
    if (FoldForSearch(QueryForSearch(query)).empty()) {
        if (!m_searchState.IsFiltered())
            return 0;
        // The full tree as it was before the search, with the paper on
        // screen selected: the one opened last, also from the results.
        m_searchState.End();
        ShowTree(FullTree(), false);
        for (Item item : m_searchState.ExpandedBefore())
            Expand(ToViewItem(item));
        Item selected = FindByTextPath(FullTree(), m_searchState.PaperOnScreen());
        if (selected == DirectoryTree::kTop && FullTree().IsValid(m_searchState.SelectedBefore()))
            selected = m_searchState.SelectedBefore();
        if (selected != DirectoryTree::kTop) {
            m_handled = selected; // shown again, not opened again
            ExpandAncestors(ToViewItem(selected));
            Select(ToViewItem(selected));
            EnsureVisible(ToViewItem(selected));
        } else {
            PlaceCursorWithoutSelecting();
        }
        return 0;
    }
    if (!m_searchState.IsFiltered()) {
        std::vector<Item> expanded;
        const DirectoryTree& full = FullTree();
        for (Item item = 1; item <= full.GetCount(); ++item)
            if (full.HasChildren(item) && IsExpanded(ToViewItem(item)))
                expanded.push_back(item);
        m_searchState.Begin(std::move(expanded), ToItem(GetSelection()));
    }
    std::vector<Item> leaves;
    ShowTree(m_searchState.Find(query, FullTree(), m_strURL, leaves), true);
    PlaceCursorWithoutSelecting();
    return leaves.size();
}

CLeftView::Item CLeftView::FirstMatch() const
{
    const DirectoryTree& tree = m_model->Tree();
    for (Item item = 1; item <= tree.GetCount(); ++item)
        if (!tree.HasChildren(item) && tree.GetItemData(item) > 0)
            return item;
    return DirectoryTree::kTop;
}

bool CLeftView::SelectFirstMatch(bool openAtOnce)
{
    const Item item = FirstMatch();
    if (item == DirectoryTree::kTop)
        return false;
    SetFocus();
    m_byKeyboard = !openAtOnce;
    Select(ToViewItem(item));
    EnsureVisible(ToViewItem(item));
    SelectionChanged(item); // a selection made here sends no event
    return true;
}

const DirectoryTree& CLeftView::Items() const
{
    return m_model->Tree();
}

wxDataViewItem CLeftView::ToViewItem(Item item)
{
    return DirectoryModel::ToViewItem(item);
}

CLeftView::Item CLeftView::ToItem(const wxDataViewItem& item)
{
    return DirectoryModel::ToItemId(item);
}

void CLeftView::OnTvnSelchanged(wxDataViewEvent& event)
{
    SelectionChanged(ToItem(event.GetItem()));
}

void CLeftView::SelectionChanged(Item item)
{
    const DirectoryTree& tree = m_model->Tree();
    if (!tree.IsValid(item)) {
        // Type-ahead reports "nothing selected" in passing before it selects
        // the match, which may be the item already open: only a selection
        // that stays empty makes the next choice of that item a new one.
        CallAfter([this] {
            if (!GetSelection().IsOk())
                m_handled = DirectoryTree::kTop;
        });
        return;
    }
    if (item == m_handled)
        return;
    m_handled = item;
    wxBusyCursor wait;
    if (tree.HasChildren(item))
        return;
    // A script or data address is not opened (OpenPendingPage says why): the
    // page on screen, its caption and the current address stay.
    const bool refused = IsRefusedAddress(AddressOf(item));
    if (auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(this)); top && !refused)
        top->SetTitle(wxString::FromUTF8(WindowCaption(tree.GetItemText(item))));
    int slot = tree.GetItemData(item);
    if (slot <= 0 || static_cast<std::size_t>(slot) >= m_strURL.size())
        return;
    std::string url = m_strURL[static_cast<std::size_t>(slot)];
    if (!refused)
        g_strCurrentURL = url;
    m_pendingUrl = url;
    m_pendingName = tree.GetItemText(item);
    // The paper by its place in the whole tree, which a search's results
    // show under other ids.
    const Item inFullTree = m_searchState.InFullTree(item);
    m_pendingPath =
        m_searchState.IsFiltered() ? TextPath(FullTree(), inFullTree) : TextPath(tree, item);
    // A walk through the tree by keys opens only the paper it rests on.
    if (m_byKeyboard)
        m_pendingOpen.StartOnce(kQuietWalkMs);
    else
        OpenPendingPage();
}

std::string CLeftView::AddressOf(Item item) const
{
    const DirectoryTree& tree = Items();
    if (!tree.IsValid(item) || tree.HasChildren(item))
        return {};
    const auto slot = static_cast<std::size_t>(tree.GetItemData(item));
    return slot > 0 && slot < m_strURL.size() ? m_strURL[slot] : std::string();
}

std::vector<CLeftView::PaperCommand> CLeftView::PaperCommands(Item item) const
{
    if (AddressOf(item).empty())
        return {};
    std::vector<PaperCommand> commands{PaperCommand::Open, PaperCommand::OpenInWebBrowser,
                                       PaperCommand::CopyAddress};
    const std::vector<std::string> path = TextPath(Items(), item);
    if (path.size() < 2 || path[1] != kMyFavoritesBranch)
        commands.push_back(PaperCommand::AddToMyFavorites);
    else
        commands.insert(commands.end(), {PaperCommand::Rename, PaperCommand::ChangeAddress,
                                         PaperCommand::Remove, PaperCommand::HeadlinesFeed});
    return commands;
}

bool CLeftView::RunPaperCommand(PaperCommand command, Item item)
{
    const std::vector<PaperCommand> offered = PaperCommands(item);
    if (std::find(offered.begin(), offered.end(), command) == offered.end())
        return false;
    const std::string url = AddressOf(item);
    const std::string name = Items().GetItemText(item);
    switch (command) {
    case PaperCommand::Open:
        m_byKeyboard = false;
        m_handled = DirectoryTree::kTop; // opened again, also when it is the selected one
        Select(ToViewItem(item));
        SelectionChanged(item);
        return true;
    case PaperCommand::OpenInWebBrowser:
        if (IsRefusedAddress(url)) {
            m_reporter.ShowMessage(RefusedAddressMessage(name));
            return false;
        }
        return OpenOutsideOrSay(url);
    case PaperCommand::CopyAddress: {
        wxClipboardLocker clipboard;
        return !!clipboard &&
               wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(url)));
    }
    case PaperCommand::AddToMyFavorites:
        // The rules and messages of a favorite typed into the add dialog.
        if (!FavoritesStore(FavoritesFilePath(), m_reporter).AddFavorite(name, url))
            return false;
        m_reporter.ShowMessage(kMsgSuccessfully);
        RefreshFavorites();
        return true;
    case PaperCommand::Rename:
    case PaperCommand::ChangeAddress:
    case PaperCommand::Remove:
        return EditFavoriteRow(command, item);
    case PaperCommand::HeadlinesFeed:
        return headlines::ChooseFavoriteFeed(this, name, url);
    }
    return false;
}

#ifdef __WXGTK__
bool CLeftView::OnRightButton(GtkTreeView* tree, const GdkEventButton* button)
{
    if (button->button != GDK_BUTTON_SECONDARY ||
        button->window != gtk_tree_view_get_bin_window(tree))
        return false;
    // The row under the pointer gets its menu without being selected: the
    // native tree would select it, and selecting a paper opens it.
    g_autoptr(GtkTreePath) path = nullptr;
    GtkTreeIter row;
    const bool onRow = gtk_tree_view_get_path_at_pos(tree, static_cast<gint>(button->x),
                                                     static_cast<gint>(button->y), &path, nullptr,
                                                     nullptr, nullptr) &&
                       gtk_tree_model_get_iter(gtk_tree_view_get_model(tree), &row, path);
    const Item item = onRow ? ToItem(wxDataViewItem(row.user_data)) : DirectoryTree::kTop;
    if (button->type == GDK_BUTTON_PRESS) {
        m_rightPressed = item;
    } else if (button->type == GDK_BUTTON_RELEASE &&
               std::exchange(m_rightPressed, DirectoryTree::kTop) == item &&
               item != DirectoryTree::kTop) {
        // The menu opens once the button is up: opened while it is down, the
        // release would close it at once.
        CallAfter([this, item] { ShowPaperMenu(item); });
    }
    return true;
}
#endif

std::string CLeftView::ClippedName(Item item) const
{
    const DirectoryTree& tree = Items();
    if (!tree.IsValid(item))
        return {};
    const std::string& name = tree.GetItemText(item);
#ifdef __WXGTK__
    GtkTreeView* view = GTK_TREE_VIEW(const_cast<CLeftView*>(this)->GtkGetTreeView());
    g_autoptr(GtkTreePath) path = gtk_tree_path_new();
    for (Item at = item; tree.IsValid(at); at = tree.GetParent(at))
        gtk_tree_path_prepend_index(path, static_cast<gint>(m_model->Position(at)));
    GtkTreeViewColumn* column = gtk_tree_view_get_column(view, 0);
    GdkRectangle cell{};
    gtk_tree_view_get_cell_area(view, path, column, &cell);
    gint padding = 0;
    g_autoptr(GList) renderers = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column));
    if (renderers)
        gtk_cell_renderer_get_padding(GTK_CELL_RENDERER(renderers->data), &padding, nullptr);
    g_autoptr(PangoLayout) layout = gtk_widget_create_pango_layout(GTK_WIDGET(view), name.c_str());
    int width = 0;
    pango_layout_get_pixel_size(layout, &width, nullptr);
    // A row out of sight has no width: it shows nothing to clip.
    if (cell.width > 0 && width + 2 * padding > cell.width)
        return name;
#endif
    return {};
}

bool CLeftView::ShowSelectedPaperMenu()
{
    // Under the row, as a menu opened from the keyboard should be.
    const wxRect row = GetItemRect(GetSelection());
    return ShowPaperMenu(ToItem(GetSelection()),
                         row.IsEmpty() ? wxDefaultPosition
                                       : row.GetBottomLeft() + wxPoint(FromDIP(24), 0));
}

bool CLeftView::ShowPaperMenu(Item item, const wxPoint& where)
{
    static const std::pair<PaperCommand, const char*> kLabels[] = {
        {PaperCommand::Open, "Open"},
        {PaperCommand::OpenInWebBrowser, "Open in Web Browser"},
        {PaperCommand::CopyAddress, "Copy Address"},
        {PaperCommand::AddToMyFavorites, "Add to My Favorites"},
        {PaperCommand::Rename, "Rename…"},
        {PaperCommand::ChangeAddress, "Change Address…"},
        {PaperCommand::Remove, "Remove…"},
        {PaperCommand::HeadlinesFeed, "Headlines Feed…"},
    };
    const std::vector<PaperCommand> commands = PaperCommands(item);
    if (commands.empty())
        return false;
    wxMenu menu;
    for (PaperCommand command : commands) {
        if (command == PaperCommand::Rename || command == PaperCommand::HeadlinesFeed)
            menu.AppendSeparator(); // the favorite's own changes, then its feed
        for (const auto& [which, label] : kLabels)
            if (which == command)
                menu.Append(wxID_HIGHEST + 1 + static_cast<int>(command),
                            wxString::FromUTF8(label));
    }
    // The row shows selected while its menu is open (not opened: it is the
    // row already handled), and the selection it had is back before the
    // command chosen runs.
    const Item before = ToItem(GetSelection());
    const Item handled = m_handled;
    if (before != item) {
        m_handled = item;
        Select(ToViewItem(item));
    }
    const int chosen = GetPopupMenuSelectionFromUser(menu, where);
    if (before != item) {
        m_handled = before;
        if (Items().IsValid(before))
            Select(ToViewItem(before));
        else
            Unselect(ToViewItem(item));
        m_handled = handled;
    }
    if (chosen != wxID_NONE)
        RunPaperCommand(static_cast<PaperCommand>(chosen - wxID_HIGHEST - 1), item);
    return true;
}

void CLeftView::OpenPendingPage()
{
    m_pendingOpen.Stop();
    const std::string url = std::exchange(m_pendingUrl, std::string());
    if (IsRefusedAddress(url)) {
        // Once the click or key that chose it is over.
        CallAfter([this, message = RefusedAddressMessage(m_pendingName)] {
            m_reporter.ShowMessage(message);
        });
        return;
    }
    if (!url.empty() && m_doc.m_pHtmlView) {
        m_searchState.SetPaperOnScreen(m_pendingPath);
        m_doc.m_pHtmlView->NavigateTo(url, m_pendingName);
    }
}

} // namespace lumo
