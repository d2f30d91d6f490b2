// The directory tree pane on a real frame, with real favorites files, real
// settings and the native tree control: what a build shows, which address
// every leaf opens, and what selecting by mouse, keyboard and type-ahead does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <wx/app.h>
#include <wx/dataview.h>
#include <wx/filefn.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/process.h>
#include <wx/txtstrm.h>
#include <wx/utils.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include "browser/core/web_address.h"
#include "capturing_reporter.h"
#include "common/app_paths.h"
#include "common/globals.h"
#include "common/resource_ids.h"
#include "common/settings.h"
#include "directory/catalogue.h"
#include "directory/directory_model.h"
#include "directory/left_view.h"
#include "favorites/favorites_store.h"
#include "gui_test_support.h"
#include "temp_dir.h"

using namespace lumo;
using lumo::test::Settle;
using lumo::test::TempDir;
using lumo::test::WaitFor;
using lumo::test::WriteFile;
using Item = CLeftView::Item;

namespace {

class RecordingBrowser : public BrowserPane
{
public:
    void NavigateTo(std::string url, std::string name) override
    {
        opened.push_back(url);
        names.push_back(name);
        busy.push_back(wxIsBusy());
    }
    void GoBack() override {}
    void GoForward() override {}

    std::vector<std::string> opened;
    std::vector<std::string> names;
    std::vector<bool> busy; // whether the wait cursor showed during each call
};

using lumo::test::CapturingReporter;

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
    return out;
}

std::string FavoriteXml(const std::string& title, const std::string& url)
{
    return "<Favorite><title>" + Escape(title) + "</title><url>" + Escape(url) +
           "</url></Favorite>\n";
}

std::string FavoritesFile(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n" + body + "</Favorites>\n";
}

// The path of an item in the native tree: its index among its siblings at every level.
GtkTreePath* NativePath(const DirectoryTree& tree, Item item)
{
    std::vector<gint> indices;
    for (Item at = item; at != DirectoryTree::kTop; at = tree.GetParent(at))
        indices.insert(indices.begin(), static_cast<gint>(tree.IndexInParent(at)));
    return gtk_tree_path_new_from_indicesv(indices.data(), indices.size());
}

// The same rows in a control of their own whose lookups are the toolkit's own.
class ToolkitRows
{
public:
    ToolkitRows(wxWindow* parent, const DirectoryTree& tree)
        : m_control(new wxDataViewCtrl(parent, wxID_ANY))
    {
        m_control->AppendTextColumn(wxString(), 0);
        auto* model = new DirectoryModel;
        DirectoryTree copy = tree;
        model->Replace(std::move(copy));
        m_control->AssociateModel(model);
        model->DecRef();
    }
    ~ToolkitRows() { m_control->Destroy(); }

    GtkTreeView* View() const { return GTK_TREE_VIEW(m_control->GtkGetTreeView()); }
    GtkTreeModel* Model() const { return gtk_tree_view_get_model(View()); }

private:
    wxDataViewCtrl* m_control;
};

// GTK walks a branch of the native tree row after row, asking each row's
// path, as it does when it lays the branch out: every answer follows the tree
// and is the one the toolkit's own lookups give on the same rows.
void ExpectNativeWalkFollowsTree(GtkTreeModel* model, const ToolkitRows& toolkit,
                                 const DirectoryTree& tree, Item parent)
{
    GtkTreeModel* reference = toolkit.Model();
    GtkTreePath* parentPath = NativePath(tree, parent);
    GtkTreeIter parentIter;
    GtkTreeIter iter;
    GtkTreeIter referenceIter;
    ASSERT_TRUE(gtk_tree_model_get_iter(model, &parentIter, parentPath));
    ASSERT_EQ(gtk_tree_model_iter_children(model, &iter, &parentIter),
              !tree.GetChildren(parent).empty());
    ASSERT_TRUE(gtk_tree_model_get_iter(reference, &parentIter, parentPath));
    ASSERT_EQ(gtk_tree_model_iter_children(reference, &referenceIter, &parentIter),
              !tree.GetChildren(parent).empty());
    gtk_tree_path_free(parentPath);
    const auto& children = tree.GetChildren(parent);
    for (std::size_t i = 0; i < children.size(); ++i) {
        GValue value = G_VALUE_INIT;
        gtk_tree_model_get_value(model, &iter, 0, &value);
        ASSERT_STREQ(g_value_get_string(&value), tree.GetItemText(children[i]).c_str());
        g_value_unset(&value);
        ASSERT_EQ(iter.user_data, referenceIter.user_data) << i;
        GtkTreePath* expected = NativePath(tree, children[i]);
        for (auto [walked, at] : {std::pair(model, &iter), std::pair(reference, &referenceIter)}) {
            GtkTreePath* path = gtk_tree_model_get_path(walked, at);
            EXPECT_EQ(gtk_tree_path_compare(path, expected), 0) << i;
            gtk_tree_path_free(path);
        }
        gtk_tree_path_free(expected);
        const bool more = i + 1 < children.size();
        ASSERT_EQ(gtk_tree_model_iter_next(model, &iter), more) << i;
        ASSERT_EQ(gtk_tree_model_iter_next(reference, &referenceIter), more) << i;
    }
}

class LeftViewTest : public testing::Test
{
protected:
    void SetUp() override
    {
        SetProgramDirectory(m_dir.Path());
        g_strCurrentURL = "lumo://start/";
        m_settings = OpenSettingsFile(m_dir.File("settings/LumoNewsReader.conf"));
        m_profile = std::make_unique<ProfileStore>(*m_settings);
        m_frame = new wxFrame(nullptr, wxID_ANY, kAppName, wxDefaultPosition, wxSize(360, 700));
        m_view = new CLeftView(m_frame, m_doc, *m_profile, m_reporter);
        m_doc.m_pHtmlView = &m_browser;
        m_frame->Show();
        ASSERT_TRUE(WaitFor([&] { return gtk_widget_get_mapped(m_frame->GetHandle()) != 0; }));
    }

    void TearDown() override
    {
        m_frame->Destroy();
        wxTheApp->ProcessPendingEvents();
        // The frame goes at idle time; it must not outlive the pane's document and browser.
        wxTheApp->ProcessIdle();
        EXPECT_TRUE(wxTopLevelWindows.IsEmpty());
        SetProgramDirectory({});
        g_strCurrentURL.clear();
    }

    void WriteFavorites(const std::string& body)
    {
        WriteFile(m_dir.File("Favorites.xml"), FavoritesFile(body));
    }

    void InitialUpdate()
    {
        m_view->OnInitialUpdate();
        ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    }

    const DirectoryTree& Tree() const { return m_view->Items(); }

    Item Child(Item parent, const std::string& text) const
    {
        for (Item child : Tree().GetChildren(parent))
            if (Tree().GetItemText(child) == text)
                return child;
        ADD_FAILURE() << "no item \"" << text << "\"";
        return DirectoryTree::kTop;
    }
    Item Root() const { return Child(DirectoryTree::kTop, kAppName); }
    Item Branch(std::string_view text) const { return Child(Root(), std::string(text)); }
    Item Region(const std::string& text) const
    {
        return Child(Branch(kAmericanStatesBranch), text);
    }

    std::string Caption() const { return m_frame->GetTitle().utf8_string(); }
    bool Expanded(Item item) const { return m_view->IsExpanded(CLeftView::ToViewItem(item)); }
    std::string SlotURL(Item item) const
    {
        return m_view->URLTable().at(static_cast<std::size_t>(Tree().GetItemData(item)));
    }

    // Selects an item the way the keyboard does: the native tree moves its
    // cursor there, and the control reports the change of selection.
    void SelectNatively(Item item)
    {
        for (Item parent = Tree().GetParent(item); parent != DirectoryTree::kTop;
             parent = Tree().GetParent(parent))
            m_view->Expand(CLeftView::ToViewItem(parent));
        GtkTreePath* path = NativePath(Tree(), item);
        gtk_tree_view_set_cursor(TreeView(), path, nullptr, FALSE);
        gtk_tree_path_free(path);
        ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    }

    // A click with a mouse button (the first unless told) on the row of a visible item.
    void Click(Item item, guint button = 1)
    {
        GtkTreePath* path = NativePath(Tree(), item);
        gtk_tree_view_scroll_to_cell(TreeView(), path, nullptr, FALSE, 0, 0);
        ASSERT_TRUE(lumo::test::WaitForFrames(m_view));
        GdkRectangle cell;
        gtk_tree_view_get_cell_area(TreeView(), path, gtk_tree_view_get_column(TreeView(), 0),
                                    &cell);
        gtk_tree_path_free(path);
        GdkWindow* window = gtk_tree_view_get_bin_window(TreeView());
        GdkDevice* pointer =
            gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
        // Clicks far apart in time: two quick clicks on one row would be a double-click.
        static guint32 clock = 1000;
        clock += 5000;
        for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
            GdkEvent* event = gdk_event_new(type);
            event->button.window = GDK_WINDOW(g_object_ref(window));
            event->button.send_event = TRUE;
            event->button.time = type == GDK_BUTTON_PRESS ? clock : clock + 20;
            event->button.x = cell.x + cell.width / 2.0;
            event->button.y = cell.y + cell.height / 2.0;
            event->button.button = button;
            event->button.state = type == GDK_BUTTON_RELEASE
                                      ? (button == 1 ? GDK_BUTTON1_MASK : GDK_BUTTON3_MASK)
                                      : 0;
            gdk_event_set_device(event, pointer);
            gtk_main_do_event(event);
            gdk_event_free(event);
        }
        ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    }

    // A key typed into the focused tree.
    void Type(guint keyval, guint modifiers = 0)
    {
        GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_display_get_default());
        GdkDevice* keyboard =
            gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default()));
        for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
            GdkEvent* event = gdk_event_new(type);
            event->key.window =
                GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(TreeView()))));
            event->key.send_event = TRUE;
            event->key.time = GDK_CURRENT_TIME;
            event->key.keyval = keyval;
            event->key.state = modifiers;
            GdkKeymapKey* keys = nullptr;
            gint count = 0;
            if (gdk_keymap_get_entries_for_keyval(keymap, keyval, &keys, &count) && count > 0)
                event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
            g_free(keys);
            if (gunichar c = gdk_keyval_to_unicode(keyval)) {
                gchar utf8[8] = {};
                event->key.length = g_unichar_to_utf8(c, utf8);
                event->key.string = g_strdup(utf8);
            }
            gdk_event_set_device(event, keyboard);
            gtk_main_do_event(event);
            gdk_event_free(event);
        }
        ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    }

    void FocusTree()
    {
        m_frame->Raise();
        m_view->SetFocus();
        ASSERT_TRUE(WaitFor([&] { return gtk_widget_has_focus(GTK_WIDGET(TreeView())) != 0; },
                            std::chrono::seconds(5)));
    }

    Item Selected() const { return CLeftView::ToItem(m_view->GetSelection()); }

    GtkTreeView* TreeView() const { return GTK_TREE_VIEW(m_view->GtkGetTreeView()); }

    // Every leaf under an item, depth first in screen order.
    void CollectLeaves(Item item, std::vector<Item>& leaves) const
    {
        if (!Tree().HasChildren(item))
            leaves.push_back(item);
        for (Item child : Tree().GetChildren(item))
            CollectLeaves(child, leaves);
    }

    struct Snapshot
    {
        std::string text;
        int data;
        std::size_t children;
        std::string url;
        bool operator==(const Snapshot&) const = default;
    };
    std::vector<Snapshot> TakeSnapshot() const
    {
        std::vector<Snapshot> items;
        std::vector<Item> pending{DirectoryTree::kTop};
        while (!pending.empty()) {
            Item item = pending.back();
            pending.pop_back();
            for (Item child : Tree().GetChildren(item)) {
                items.push_back({Tree().GetItemText(child), Tree().GetItemData(child),
                                 Tree().GetChildren(child).size(), SlotURL(child)});
                pending.push_back(child);
            }
        }
        return items;
    }

    void ExpectExpansionAfterBuild()
    {
        EXPECT_TRUE(Expanded(Root()));
        EXPECT_TRUE(Expanded(Branch(kNationalBranch)));
        EXPECT_TRUE(Expanded(Branch(kAmericanStatesBranch)));
        EXPECT_FALSE(Expanded(Branch(kWorldBranch)));
        if (Tree().HasChildren(Branch(kMyFavoritesBranch))) {
            EXPECT_TRUE(Expanded(Branch(kMyFavoritesBranch)));
        }
        for (Item region : Tree().GetChildren(Branch(kAmericanStatesBranch)))
            EXPECT_FALSE(Expanded(region)) << Tree().GetItemText(region);
    }

    TempDir m_dir;
    SettingsFile m_settings;
    std::unique_ptr<ProfileStore> m_profile;
    CLumoNewsReaderDoc m_doc;
    RecordingBrowser m_browser;
    CapturingReporter m_reporter;
    wxFrame* m_frame = nullptr;
    CLeftView* m_view = nullptr;
};

TEST_F(LeftViewTest, BuildWithoutFavoritesFileShowsTheCatalogueInItsOrder)
{
    InitialUpdate();

    EXPECT_EQ(m_doc.m_pLeftView, m_view);
    EXPECT_TRUE(m_reporter.messages.empty());
    ASSERT_EQ(Tree().GetChildren(DirectoryTree::kTop).size(), 1u);
    EXPECT_EQ(Tree().GetCount(), 2756u);
    std::vector<std::string> branches;
    for (Item branch : Tree().GetChildren(Root()))
        branches.push_back(Tree().GetItemText(branch));
    EXPECT_EQ(branches,
              (std::vector<std::string>{"My Favorites", "National", "World", "American States"}));
    EXPECT_FALSE(Tree().HasChildren(Branch(kMyFavoritesBranch)));

    const auto& regions = Tree().GetChildren(Branch(kAmericanStatesBranch));
    ASSERT_EQ(regions.size(), 51u);
    for (std::size_t i = 0; i < regions.size(); ++i) {
        EXPECT_EQ(Tree().GetItemText(regions[i]), Regions()[i].text);
        EXPECT_EQ(Tree().GetChildren(regions[i]).size(), Regions()[i].entries.size());
        EXPECT_EQ(Tree().GetItemData(regions[i]), 0);
    }
    EXPECT_EQ(Tree().GetItemText(regions[7]), "[DE]Delaware");
    EXPECT_EQ(Tree().GetItemText(regions[8]), "[DC]Dist. of Columbia");
    EXPECT_EQ(Tree().GetItemText(regions[9]), "[FL]Florida");
    EXPECT_EQ(Tree().GetChildren(Region("[CA]California")).size(), 180u);
    EXPECT_EQ(Tree().GetItemData(Root()), 0);
    for (Item branch : Tree().GetChildren(Root()))
        EXPECT_EQ(Tree().GetItemData(branch), 0);

    EXPECT_EQ(Tree().GetItemData(Child(Branch(kNationalBranch), "ABCNEWS.com")), 1);
    EXPECT_EQ(m_view->URLCount(), 2701);
    // Every built-in leaf carries the slot of its entry in data order, and that
    // slot holds the entry's address; siblings show in collation order.
    std::vector<Item> leaves;
    for (Item branch :
         {Branch(kNationalBranch), Branch(kWorldBranch), Branch(kAmericanStatesBranch)})
        CollectLeaves(branch, leaves);
    std::vector<int> slots;
    for (Item leaf : leaves) {
        int slot = Tree().GetItemData(leaf);
        ASSERT_GE(slot, 1);
        ASSERT_LE(slot, 2700);
        const CatalogueEntry& entry = Catalogue()[static_cast<std::size_t>(slot - 1)];
        EXPECT_EQ(Tree().GetItemText(leaf), entry.text);
        EXPECT_EQ(SlotURL(leaf), entry.url);
        slots.push_back(slot);
    }
    EXPECT_EQ(leaves.size(), 2700u);
    EXPECT_EQ(Tree().GetItemData(Branch(kMyFavoritesBranch)), 0);
    std::sort(slots.begin(), slots.end());
    EXPECT_EQ(std::adjacent_find(slots.begin(), slots.end()), slots.end());
    const auto& wyoming = Tree().GetChildren(Region("[WY]Wyoming"));
    EXPECT_EQ(*std::max_element(
                  wyoming.begin(), wyoming.end(),
                  [&](Item a, Item b) { return Tree().GetItemData(a) < Tree().GetItemData(b); }),
              Child(Region("[WY]Wyoming"), std::string(Regions().back().entries.back().text)));
    for (Item parent : {Branch(kNationalBranch), Branch(kWorldBranch), Region("[TX]Texas")}) {
        const auto& children = Tree().GetChildren(parent);
        EXPECT_TRUE(std::is_sorted(children.begin(), children.end(), [&](Item a, Item b) {
            return CompareDisplayText(Tree().GetItemText(a), Tree().GetItemText(b)) < 0;
        })) << Tree().GetItemText(parent);
    }
    // The native control shows the same rows in the same order.
    GtkTreeModel* model = gtk_tree_view_get_model(TreeView());
    for (Item parent : {Branch(kNationalBranch), Region("[TX]Texas")}) {
        GtkTreePath* path = NativePath(Tree(), parent);
        gtk_tree_path_down(path);
        for (Item child : Tree().GetChildren(parent)) {
            GtkTreeIter iter;
            ASSERT_TRUE(gtk_tree_model_get_iter(model, &iter, path));
            GValue value = G_VALUE_INIT;
            gtk_tree_model_get_value(model, &iter, 0, &value);
            EXPECT_STREQ(g_value_get_string(&value), Tree().GetItemText(child).c_str());
            g_value_unset(&value);
            gtk_tree_path_next(path);
        }
        GtkTreeIter beyond;
        EXPECT_FALSE(gtk_tree_model_get_iter(model, &beyond, path));
        gtk_tree_path_free(path);
    }
    EXPECT_EQ(CLeftView::ToItem(m_view->GetSelection()), DirectoryTree::kTop);
    ExpectExpansionAfterBuild();
    EXPECT_TRUE(m_browser.opened.empty());
}

class LeftViewFavoritesTest : public LeftViewTest, public testing::WithParamInterface<int>
{
};

TEST_P(LeftViewFavoritesTest, FavoritesComeFirstAndTheCatalogueFollowsThem)
{
    const int count = GetParam();
    // Written in descending title order: the tree shows them ascending, while
    // their slots follow the file.
    std::string body;
    for (int i = 0; i < count; ++i)
        body += FavoriteXml(wxString::Format("Paper %05d", count - i).utf8_string(),
                            wxString::Format("https://paper%d.example/", i + 1).utf8_string());
    WriteFavorites(body);
    InitialUpdate();

    EXPECT_TRUE(m_reporter.messages.empty());
    Item favorites = Branch(kMyFavoritesBranch);
    const auto& shown = Tree().GetChildren(favorites);
    ASSERT_EQ(shown.size(), static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        int slot = Tree().GetItemData(shown[i]);
        ASSERT_EQ(Tree().GetItemText(shown[i]),
                  wxString::Format("Paper %05d", static_cast<int>(i) + 1).utf8_string());
        ASSERT_EQ(slot, count - static_cast<int>(i));
        ASSERT_EQ(SlotURL(shown[i]),
                  wxString::Format("https://paper%d.example/", slot).utf8_string());
    }

    const int f = count;
    EXPECT_EQ(Tree().GetItemData(Child(Branch(kNationalBranch), "ABCNEWS.com")), f + 1);
    Item lastWyoming =
        Child(Region("[WY]Wyoming"), std::string(Regions().back().entries.back().text));
    EXPECT_EQ(Tree().GetItemData(lastWyoming), f + 2700);
    EXPECT_EQ(m_view->URLCount(), f + 2701);
    EXPECT_GE(m_view->URLTable().size(), static_cast<std::size_t>(f + 2701));
    std::vector<Item> leaves;
    for (Item branch :
         {Branch(kNationalBranch), Branch(kWorldBranch), Branch(kAmericanStatesBranch)})
        CollectLeaves(branch, leaves);
    ASSERT_EQ(leaves.size(), 2700u);
    for (Item leaf : leaves) {
        int slot = Tree().GetItemData(leaf) - f;
        ASSERT_GE(slot, 1);
        ASSERT_EQ(SlotURL(leaf), Catalogue()[static_cast<std::size_t>(slot - 1)].url);
    }
    ExpectExpansionAfterBuild();

    // The last leaves of the build, past any fixed table size, open their own addresses.
    SelectNatively(lastWyoming);
    if (count > 0)
        SelectNatively(shown.front());
    std::vector<std::string> expected{std::string(Regions().back().entries.back().url)};
    if (count > 0)
        expected.push_back(wxString::Format("https://paper%d.example/", count).utf8_string());
    EXPECT_EQ(m_browser.opened, expected);

    // The tree answers the control's row lookups on this toolkit; the same
    // rows in a control of their own keep the toolkit's lookups to compare with.
    ASSERT_TRUE(DirectoryModel::ServesRowsOf(TreeView()));
    GtkTreeModel* model = gtk_tree_view_get_model(TreeView());
    {
        ToolkitRows toolkit(m_frame, Tree());
        ASSERT_FALSE(DirectoryModel::ServesRowsOf(toolkit.View()));
        for (Item parent : {Root(), favorites, Region("[WY]Wyoming")})
            ExpectNativeWalkFollowsTree(model, toolkit, Tree(), parent);
    }
    // The rows of a search are another tree, walked as well.
    if (count > 0) {
        m_view->ShowMatches("Paper 0");
        ASSERT_TRUE(DirectoryModel::ServesRowsOf(TreeView()));
        model = gtk_tree_view_get_model(TreeView());
        ToolkitRows toolkit(m_frame, Tree());
        ExpectNativeWalkFollowsTree(model, toolkit, Tree(), Root());
        ExpectNativeWalkFollowsTree(model, toolkit, Tree(), Branch(kMyFavoritesBranch));
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, LeftViewFavoritesTest, testing::Values(0, 3, 1395, 5000));

class LeftViewSelectionTest : public LeftViewTest
{
protected:
    void SetUp() override
    {
        LeftViewTest::SetUp();
        WriteFavorites(FavoriteXml("Le Monde", "https://www.lemonde.fr/") +
                       "<Favorite><title>No Address</title></Favorite>\n"
                       "<Favorite><url>https://untitled.example/</url></Favorite>\n"
                       "<Favorite><Title>Wrong Case</Title><URL>https://case.example/</URL>"
                       "</Favorite>\n" +
                       FavoriteXml("Twin", "https://twin-one.example/") +
                       FavoriteXml("Twin", "https://twin-two.example/") +
                       FavoriteXml("A & B <News>", "https://ab.example/?a=1&b=2"));
        InitialUpdate();
        m_favorites = Branch(kMyFavoritesBranch);
    }

    Item m_favorites = DirectoryTree::kTop;
};

TEST_F(LeftViewSelectionTest, ItemsWithChildrenChangeNothing)
{
    m_frame->SetTitle("Before");
    Item california = Region("[CA]California");
    for (Item item : {Root(), Branch(kNationalBranch), Branch(kWorldBranch), california,
                      Region("[DC]Dist. of Columbia"), m_favorites})
        SelectNatively(item);
    EXPECT_EQ(Selected(), m_favorites);
    EXPECT_EQ(Caption(), "Before");
    EXPECT_TRUE(m_browser.opened.empty());
    EXPECT_EQ(g_strCurrentURL, "lumo://start/");
}

TEST_F(LeftViewSelectionTest, LeafSetsCaptionOpensItsAddressAndShowsTheWaitCursor)
{
    Click(Child(Branch(kNationalBranch), "CNN "));
    EXPECT_EQ(Caption(), "CNN  - Lumo News Reader");
    EXPECT_EQ(m_browser.opened, std::vector<std::string>{"https://www.cnn.com/"});
    // The paper's name goes along, for the pane's failure page.
    EXPECT_EQ(m_browser.names, std::vector<std::string>{"CNN "});
    EXPECT_EQ(m_browser.busy, std::vector<bool>{true});
    EXPECT_EQ(g_strCurrentURL, "https://www.cnn.com/");
    EXPECT_FALSE(wxIsBusy());

    // A second click on the selected row is no change of selection.
    Click(Child(Branch(kNationalBranch), "CNN "));
    EXPECT_EQ(m_browser.opened.size(), 1u);

    // Collapsing the branch moves the selection away; choosing the leaf again opens it again.
    m_view->Collapse(CLeftView::ToViewItem(Branch(kNationalBranch)));
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    m_view->Expand(CLeftView::ToViewItem(Branch(kNationalBranch)));
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    Click(Child(Branch(kNationalBranch), "CNN "));
    EXPECT_EQ(m_browser.opened.size(), 2u);

    // Control and space take the selection away (GTK's way); selecting the
    // row again (space) is a new selection and opens it again.
    FocusTree();
    Type(GDK_KEY_space, GDK_CONTROL_MASK);
    EXPECT_EQ(Selected(), DirectoryTree::kTop);
    Type(GDK_KEY_space);
    EXPECT_EQ(Selected(), Child(Branch(kNationalBranch), "CNN "));
    EXPECT_EQ(m_browser.opened.size(), 3u);

    // Escaped characters come back as the user wrote them.
    Click(Child(m_favorites, "A & B <News>"));
    EXPECT_EQ(Caption(), "A & B <News> - Lumo News Reader");
    EXPECT_EQ(m_browser.opened.back(), "https://ab.example/?a=1&b=2");
}

TEST_F(LeftViewSelectionTest, FavoritesWithoutAddressOrTitleFollowTheReadingRule)
{
    Click(Child(m_favorites, "Le Monde"));
    ASSERT_EQ(g_strCurrentURL, "https://www.lemonde.fr/");

    Click(Child(m_favorites, "No Address"));
    EXPECT_EQ(Caption(), "No Address - Lumo News Reader");
    EXPECT_EQ(m_browser.opened.size(), 1u);
    EXPECT_EQ(g_strCurrentURL, "");

    // Without a title child the favorite shows as a leaf with empty text; the
    // one whose children are "Title" and "URL" is read with neither.
    std::vector<Item> untitled;
    for (Item child : Tree().GetChildren(m_favorites))
        if (Tree().GetItemText(child).empty())
            untitled.push_back(child);
    ASSERT_EQ(untitled.size(), 2u);
    EXPECT_EQ(Tree().GetChildren(m_favorites).front(), untitled[0]);
    std::vector<std::string> addresses{SlotURL(untitled[0]), SlotURL(untitled[1])};
    EXPECT_EQ(addresses, (std::vector<std::string>{"https://untitled.example/", ""}));

    Click(untitled[0]);
    EXPECT_EQ(Caption(), " - Lumo News Reader");
    EXPECT_EQ(m_browser.opened.back(), "https://untitled.example/");
    Click(untitled[1]);
    EXPECT_EQ(g_strCurrentURL, "");
    EXPECT_EQ(m_browser.opened.size(), 2u);
}

TEST_F(LeftViewSelectionTest, TwinTitlesEachOpenTheirOwnAddress)
{
    std::vector<Item> twins;
    for (Item child : Tree().GetChildren(m_favorites))
        if (Tree().GetItemText(child) == "Twin")
            twins.push_back(child);
    ASSERT_EQ(twins.size(), 2u);
    Click(twins[0]);
    Click(twins[1]);
    Click(twins[0]);
    EXPECT_EQ(m_browser.opened,
              (std::vector<std::string>{"https://twin-one.example/", "https://twin-two.example/",
                                        "https://twin-one.example/"}));
}

TEST_F(LeftViewSelectionTest, ArrowKeysWalkQuietlyAndOpenOnlyWhereTheyRest)
{
    const auto& national = Tree().GetChildren(Branch(kNationalBranch));
    Click(national[0]); // the pointer opens at once
    EXPECT_EQ(m_browser.opened, std::vector<std::string>{SlotURL(national[0])});
    FocusTree();
    for (int i = 0; i < 10; ++i)
        Type(GDK_KEY_Down);
    // Caption and current address follow at once; only the last paper opens.
    EXPECT_EQ(Selected(), national[10]);
    EXPECT_EQ(Caption(), Tree().GetItemText(national[10]) + " - Lumo News Reader");
    EXPECT_EQ(g_strCurrentURL, SlotURL(national[10]));
    EXPECT_TRUE(WaitFor([&] { return m_browser.opened.size() == 2; }));
    ASSERT_TRUE(WaitFor([&] { return !m_view->PageWaitsToOpen(); }));
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    EXPECT_EQ(m_browser.opened,
              (std::vector<std::string>{SlotURL(national[0]), SlotURL(national[10])}));
    // Enter opens where the keys are, without waiting.
    Type(GDK_KEY_Down);
    Type(GDK_KEY_Return);
    EXPECT_EQ(m_browser.opened.back(), SlotURL(national[11]));
}

// A walk at a reader's pace, three keys a second, opens only the paper it
// stops on.
TEST_F(LeftViewSelectionTest, AWalkAtThreeKeysASecondOpensOnlyWhereItStops)
{
    using std::chrono::milliseconds;
    using std::chrono::steady_clock;
    const auto& national = Tree().GetChildren(Branch(kNationalBranch));
    Click(national[0]);
    ASSERT_EQ(m_browser.opened.size(), 1u);
    FocusTree();
    // A busy machine may not keep the pace: the walk is tried again then.
    bool paceKept = false;
    for (int attempt = 0; attempt < 3 && !paceKept; ++attempt) {
        SelectNatively(national[0]);
        m_browser.opened.resize(1);
        paceKept = true;
        auto last = steady_clock::now();
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                Settle(milliseconds(333));
            Type(GDK_KEY_Down);
            paceKept = paceKept && (i == 0 || steady_clock::now() - last < milliseconds(500));
            last = steady_clock::now();
        }
        ASSERT_TRUE(WaitFor([&] { return m_browser.opened.size() >= 2; }));
        ASSERT_TRUE(WaitFor([&] { return !m_view->PageWaitsToOpen(); }));
    }
    ASSERT_TRUE(paceKept) << "the machine could not keep three keys a second";
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    EXPECT_EQ(m_browser.opened,
              (std::vector<std::string>{SlotURL(national[0]), SlotURL(national[4])}));
}

TEST_F(LeftViewSelectionTest, TypingTheFirstLettersMovesToTheMatchingVisibleItem)
{
    FocusTree();
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    EXPECT_EQ(Selected(), DirectoryTree::kTop); // taking the focus selects no row
    Type(GDK_KEY_c);
    Type(GDK_KEY_n);
    Type(GDK_KEY_n);
    // "CNN " under "National" is visible; "CNN - World News  " is inside the
    // collapsed "World".
    // Like any walk by keys, only where the typing rests opens: "c" passed
    // "CBS News" on the way.
    EXPECT_EQ(Selected(), Child(Branch(kNationalBranch), "CNN "));
    EXPECT_TRUE(WaitFor([&] { return !m_browser.opened.empty(); }));
    EXPECT_EQ(m_browser.opened, std::vector<std::string>{"https://www.cnn.com/"});
    Type(GDK_KEY_Escape);

    Type(GDK_KEY_bracketleft);
    Type(GDK_KEY_d);
    Type(GDK_KEY_c);
    EXPECT_EQ(Selected(), Region("[DC]Dist. of Columbia"));
    Type(GDK_KEY_Escape);
    ASSERT_TRUE(WaitFor([&] { return !m_view->PageWaitsToOpen(); }));
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    EXPECT_EQ(m_browser.opened.size(), 1u);
}

TEST_F(LeftViewTest, EmptyMyFavoritesActsAsALeafThatOpensNothing)
{
    WriteFavorites("");
    InitialUpdate();
    EXPECT_TRUE(m_reporter.messages.empty());
    SelectNatively(Branch(kMyFavoritesBranch));
    EXPECT_EQ(Caption(), "My Favorites - Lumo News Reader");
    EXPECT_TRUE(m_browser.opened.empty());
    EXPECT_EQ(g_strCurrentURL, "lumo://start/");
}

TEST_F(LeftViewTest, FavoritesReadAheadAreShownOnlyForTheFileTheBuildShows)
{
    WriteFavorites(FavoriteXml("Zeta", "https://z.example/") + FavoriteXml("alpha", "https://a/"));
    FavoritesReadAhead::Start(m_dir.File("Favorites.xml"));
    InitialUpdate();
    std::vector<std::string> shown;
    for (Item item : Tree().GetChildren(Branch(kMyFavoritesBranch)))
        shown.push_back(Tree().GetItemText(item) + " " + SlotURL(item));
    EXPECT_EQ(shown, (std::vector<std::string>{"alpha https://a/", "Zeta https://z.example/"}));

    // Read ahead from another folder: the build reads its own file.
    TempDir other;
    WriteFile(other.File("Favorites.xml"),
              FavoritesFile(FavoriteXml("Elsewhere", "https://e.example/")));
    FavoritesReadAhead::Start(other.File("Favorites.xml"));
    m_view->BuildCatalogTree(CataView::ByArea);
    EXPECT_EQ(Tree().GetChildren(Branch(kMyFavoritesBranch)).size(), 2u);
    EXPECT_TRUE(m_reporter.messages.empty());
}

TEST_F(LeftViewTest, AFavoritesFileThatCannotBeReadGivesAnEmptyBranchAndIsNamedOnce)
{
    const std::string path = m_dir.File("Favorites.xml");
    const std::pair<std::string, std::string> unreadable[] = {
        {"<Favorites><Favorite><title>Broken", " is not well-formed XML."},
        {"<Favorites><Favorite><title>&undefined;</title><url>u</url></Favorite></Favorites>",
         " is not well-formed XML."},
    };
    for (const auto& [content, why] : unreadable) {
        WriteFile(path, content);
        m_reporter.messages.clear();
        InitialUpdate();
        EXPECT_EQ(m_reporter.messages,
                  std::vector<std::string>{"My Favorites cannot be shown: " + path + why});
        EXPECT_FALSE(Tree().HasChildren(Branch(kMyFavoritesBranch)));
        EXPECT_EQ(Tree().GetItemData(Child(Branch(kNationalBranch), "ABCNEWS.com")), 1);
    }
    // A pipe in the file's place is not waited on.
    std::remove(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    m_reporter.messages.clear();
    InitialUpdate();
    EXPECT_EQ(m_reporter.messages, std::vector<std::string>{"My Favorites cannot be shown: " +
                                                            path + " is not a file."});
}

TEST_F(LeftViewTest, ScriptAndDataFavoritesAreNotOpenedAndTheUserIsToldWhy)
{
    WriteFavorites(FavoriteXml("Le Monde", "https://www.lemonde.fr/") +
                   FavoriteXml("Cookie Jar", "javascript:document.title='x'+document.cookie") +
                   FavoriteXml("Shouting", " JavaScript:alert(1)") +
                   FavoriteXml("Inline Page", "data:text/html,<script>alert(1)</script>") +
                   FavoriteXml("Blob", "blob:https://a.example/1") +
                   FavoriteXml("Share", "smb://127.0.0.1/share"));
    InitialUpdate();
    const Item favorites = Branch(kMyFavoritesBranch);
    Click(Child(favorites, "Le Monde"));
    std::vector<std::string> told;
    for (const char* name : {"Cookie Jar", "Shouting", "Inline Page", "Blob"}) {
        Click(Child(favorites, name));
        told.push_back(RefusedAddressMessage(name));
    }
    // The page on screen, its caption and the address "Use Current" keeps stay.
    EXPECT_EQ(m_browser.opened, std::vector<std::string>{"https://www.lemonde.fr/"});
    EXPECT_EQ(Caption(), "Le Monde - Lumo News Reader");
    EXPECT_EQ(g_strCurrentURL, "https://www.lemonde.fr/");
    EXPECT_EQ(m_reporter.messages, told);

    // Nor does the user's web browser get one.
    m_reporter.messages.clear();
    EXPECT_FALSE(m_view->RunPaperCommand(CLeftView::PaperCommand::OpenInWebBrowser,
                                         Child(favorites, "Blob")));
    EXPECT_EQ(m_reporter.messages, std::vector<std::string>{RefusedAddressMessage("Blob")});
    // An address of a scheme that never leaves the program is refused as such.
    {
        lumo::test::RecordedMessageBoxes boxes;
        EXPECT_FALSE(m_view->RunPaperCommand(CLeftView::PaperCommand::OpenInWebBrowser,
                                             Child(favorites, "Share")));
        EXPECT_EQ(boxes.texts,
                  std::vector<std::string>{RefusedOutsideMessage("smb://127.0.0.1/share")});
    }
    // The file keeps what it holds.
    EXPECT_NE(lumo::test::ReadFile(m_dir.File("Favorites.xml")).find("javascript:document.title="),
              std::string::npos);
}

TEST_F(LeftViewTest, RebuildingGivesTheSameTreeAndEveryLeafStillOpensItsOwnAddress)
{
    WriteFavorites(FavoriteXml("Zeitung", "https://zeitung.example/") +
                   FavoriteXml("Abendblatt", "https://abendblatt.example/"));
    InitialUpdate();
    auto first = TakeSnapshot();
    SelectNatively(Child(Branch(kWorldBranch), "Irish Times"));
    ASSERT_EQ(m_browser.opened.size(), 1u);

    m_view->BuildCatalogTree(CataView::ByContent);
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    EXPECT_EQ(Selected(), DirectoryTree::kTop); // a build discards the selection
    ExpectExpansionAfterBuild();
    m_view->BuildCatalogTree(CataView::ByArea);
    ASSERT_TRUE(lumo::test::WaitForQueuedEvents());
    ExpectExpansionAfterBuild();
    EXPECT_EQ(TakeSnapshot(), first);
    EXPECT_EQ(m_view->URLCount(), 2 + 2701);

    // The item selected before the rebuilds opens again once chosen.
    SelectNatively(Child(Branch(kWorldBranch), "Irish Times"));
    EXPECT_EQ(m_browser.opened.size(), 2u);

    std::vector<Item> leaves;
    CollectLeaves(Root(), leaves);
    m_browser.opened.clear();
    std::vector<std::string> expected;
    for (Item leaf : leaves) {
        m_view->SelectionChanged(leaf);
        if (!SlotURL(leaf).empty())
            expected.push_back(SlotURL(leaf));
    }
    EXPECT_EQ(m_browser.opened, expected);
    EXPECT_EQ(expected.size(), 2702u);

    // A re-initialisation empties the table and builds again, leaving the program directory.
    WriteFavorites("");
    SetProgramDirectory(m_dir.Path());
    InitialUpdate();
    EXPECT_EQ(ProgramDirectory(), m_dir.Path());
    EXPECT_EQ(m_view->URLCount(), 2701);
    EXPECT_EQ(m_view->URLTable().size(), kInitialURLSlots);
    EXPECT_TRUE(std::all_of(m_view->URLTable().begin() + 2701, m_view->URLTable().end(),
                            [](const std::string& url) { return url.empty(); }));
}

TEST_F(LeftViewTest, InitialUpdateSettlesAnEmptyProgramDirectory)
{
    SetProgramDirectory({});
    InitialUpdate();
    EXPECT_FALSE(ProgramDirectory().empty());
    EXPECT_EQ(ProgramDirectory(), wxGetCwd().utf8_string());
}

// Asks the accessibility bus, from outside the process, for the tree's rows.
const char* kAccessibilityProbe = R"PY(
import sys
try:
    import pyatspi
except ImportError:
    sys.exit(77)
pid = int(sys.argv[1])
def walk(acc, out, depth=0):
    if depth > 40:
        return
    try:
        out.append((acc.getRoleName(), acc.name))
        count = acc.childCount
    except Exception:
        return
    for i in range(min(count, 400)):
        try:
            walk(acc.getChildAtIndex(i), out, depth + 1)
        except Exception:
            pass
try:
    apps = [a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.get_process_id() == pid]
except Exception:
    sys.exit(77)
if not apps:
    sys.exit(77)
out = []
walk(apps[0], out)
for role, name in out:
    print(role + "\t" + name)
)PY";

TEST_F(LeftViewTest, RowsAreExposedWithTheirTextsToAssistiveTechnology)
{
    const char* python = "/usr/bin/python3";
    if (!wxFileExists(python) || !std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "no session bus or system python for the accessibility probe";
    InitialUpdate();
    WriteFile(m_dir.File("probe.py"), kAccessibilityProbe);

    wxProcess process;
    process.Redirect();
    bool ended = false;
    int status = -1;
    process.Bind(wxEVT_END_PROCESS, [&](wxProcessEvent& event) {
        ended = true;
        status = event.GetExitCode();
    });
    std::string output;
    auto drain = [&] {
        while (process.IsInputAvailable())
            output += wxTextInputStream(*process.GetInputStream()).ReadLine().utf8_string() + "\n";
    };
    wxString command = wxString::Format("%s %s %ld", python, m_dir.File("probe.py"),
                                        static_cast<long>(wxGetProcessId()));
    ASSERT_NE(wxExecute(command, wxEXEC_ASYNC, &process), 0);
    // The probe talks to this process over the bus: keep dispatching while it runs.
    ASSERT_TRUE(WaitFor(
        [&] {
            drain();
            return ended;
        },
        std::chrono::seconds(60)));
    drain();
    if (status == 77)
        GTEST_SKIP() << "accessibility bus not available";
    ASSERT_EQ(status, 0) << output;
    EXPECT_NE(output.find("tree table\tNewspapers\n"), std::string::npos) << output;
    for (const char* row : {"table cell\tLumo News Reader\n", "table cell\tMy Favorites\n",
                            "table cell\tCNN \n", "table cell\t[DC]Dist. of Columbia\n"})
        EXPECT_NE(output.find(row), std::string::npos) << row;
}

// Rows of another model class than the toolkit's own keep their own lookups:
// that class's entries are left as they were, and its rows walk as before.
TEST(DirectoryModelRowLookupsTest, RowsOfAnotherModelClassKeepTheirOwnLookups)
{
    GtkTreeStore* store = gtk_tree_store_new(1, G_TYPE_STRING);
    GtkTreeIter row;
    for (const char* text : {"One", "Two"})
        gtk_tree_store_insert_with_values(store, &row, nullptr, -1, 0, text, -1);
    auto* iface = static_cast<GtkTreeModelIface*>(
        g_type_interface_peek(G_OBJECT_GET_CLASS(store), GTK_TYPE_TREE_MODEL));
    const auto iterNext = iface->iter_next;
    const auto getPath = iface->get_path;
    GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_ref_sink(view);

    auto* model = new DirectoryModel;
    DirectoryTree tree;
    for (const char* text : {"One", "Two"})
        tree.InsertItem(DirectoryTree::kTop, text, DirectoryTree::Position::Last);
    model->Replace(std::move(tree));
    model->ServeRowLookups(GTK_TREE_VIEW(view));
    EXPECT_FALSE(DirectoryModel::ServesRowsOf(GTK_TREE_VIEW(view)));
    EXPECT_EQ(iface->iter_next, iterNext);
    EXPECT_EQ(iface->get_path, getPath);
    GtkTreeIter iter;
    ASSERT_TRUE(gtk_tree_model_get_iter_first(GTK_TREE_MODEL(store), &iter));
    EXPECT_TRUE(gtk_tree_model_iter_next(GTK_TREE_MODEL(store), &iter));
    GtkTreePath* path = gtk_tree_model_get_path(GTK_TREE_MODEL(store), &iter);
    EXPECT_EQ(gtk_tree_path_get_indices(path)[0], 1);
    gtk_tree_path_free(path);
    EXPECT_FALSE(gtk_tree_model_iter_next(GTK_TREE_MODEL(store), &iter));
    model->DecRef();
    g_object_unref(view);
    g_object_unref(store);
}

} // namespace

// The right button shows the menu of the row under the pointer and leaves
// the selection, and the page on screen, as they were; the menu acts on
// that row.
TEST_F(LeftViewSelectionTest, RightClickShowsTheRowsMenuWithoutOpeningIt)
{
    const Item cnn = Child(Branch(kNationalBranch), "CNN ");
    const Item other = Tree().GetChildren(Branch(kNationalBranch)).front();
    Click(other);
    ASSERT_EQ(m_browser.opened.size(), 1u);
    const std::string caption = Caption();
    // What the menu offers, and the item to choose ("" closes it unchosen).
    std::vector<std::string> offered;
    std::string choose;
    m_view->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& event) {
        wxMenu* menu = event.GetMenu();
        offered.clear();
        for (wxMenuItem* item : menu->GetMenuItems())
            offered.push_back(item->GetItemLabelText().utf8_string());
        m_view->CallAfter([menu, &choose] {
            for (wxMenuItem* item : menu->GetMenuItems())
                if (item->GetItemLabelText() == choose) {
                    gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu->m_menu), item->GetMenuItem(),
                                                 TRUE);
                    return;
                }
            gtk_menu_shell_cancel(GTK_MENU_SHELL(menu->m_menu));
        });
        event.Skip();
    });
    bool menuClosed = false;
    m_view->Bind(wxEVT_MENU_CLOSE, [&](wxMenuEvent& event) {
        menuClosed = true;
        event.Skip();
    });

    Click(cnn, 3);
    ASSERT_TRUE(WaitFor([&] { return !offered.empty(); }));
    EXPECT_EQ(offered, (std::vector<std::string>{"Open", "Open in Web Browser", "Copy Address",
                                                 "Add to My Favorites"}));
    // Once the menu closed unchosen, the click is over.
    ASSERT_TRUE(WaitFor([&] { return menuClosed; }));
    EXPECT_EQ(Selected(), other);
    EXPECT_EQ(m_browser.opened.size(), 1u);
    EXPECT_EQ(Caption(), caption);

    // Chosen from the menu, Open opens the row under the pointer.
    offered.clear();
    choose = "Open";
    Click(cnn, 3);
    ASSERT_TRUE(WaitFor([&] { return m_browser.opened.size() == 2; }));
    EXPECT_EQ(m_browser.opened.back(), "https://www.cnn.com/");
    EXPECT_EQ(Selected(), cnn);
}

// A right-click as a hand makes it, with real X events, the button let go as
// soon as the press was taken: the menu stays open until the user chooses
// from it or closes it, and its row shows selected meanwhile.
TEST_F(LeftViewSelectionTest, RightClickMenuStaysOpenWithItsRowSelected)
{
    const Item other = Tree().GetChildren(Branch(kNationalBranch)).front();
    const Item cnn = Child(Branch(kNationalBranch), "CNN ");
    Click(other);
    m_frame->Raise();
    ASSERT_TRUE(WaitFor([&] { return m_frame->IsActive(); }));
    GtkTreePath* path = NativePath(Tree(), cnn);
    gtk_tree_view_scroll_to_cell(TreeView(), path, nullptr, FALSE, 0, 0);
    ASSERT_TRUE(lumo::test::WaitForFrames(m_view));
    GdkRectangle cell;
    gtk_tree_view_get_cell_area(TreeView(), path, gtk_tree_view_get_column(TreeView(), 0), &cell);
    gtk_tree_path_free(path);
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_tree_view_get_bin_window(TreeView()), &x, &y);
    ASSERT_TRUE(lumo::test::MovePointerTo({x + cell.x + 30, y + cell.y + cell.height / 2}));

    // What the tree and the menu were given, and what was seen from inside
    // the menu's own loop.
    struct Watch
    {
        bool pressTaken = false;
        bool released = false;
        bool releaseTaken = false;
        bool menuClosed = false;
        bool done = false;
        bool stayedOpen = false;
        Item selectedWhileOpen = DirectoryTree::kTop;
        wxMenu* menu = nullptr;
        CLeftView* view = nullptr;
    } watch;
    watch.view = m_view;
    const gulong taken = g_signal_connect(
        TreeView(), "event-after", G_CALLBACK(+[](GtkWidget*, GdkEvent* event, Watch* watch) {
            if (event->type == GDK_BUTTON_PRESS && event->button.button == 3)
                watch->pressTaken = true;
            if (event->type == GDK_BUTTON_RELEASE && event->button.button == 3)
                watch->releaseTaken = true;
        }),
        &watch);
    m_view->Bind(wxEVT_MENU_OPEN, [&](wxMenuEvent& event) {
        watch.menu = event.GetMenu();
        event.Skip();
    });
    m_view->Bind(wxEVT_MENU_CLOSE, [&](wxMenuEvent& event) {
        watch.menuClosed = true;
        event.Skip();
    });
    // Runs in whichever loop runs, the menu's own too: lets the button go once
    // the press and all it queued were handled; once the release was handled
    // too and the menu shows or closed, notes what the user sees, then
    // closes the menu.
    const guint poll = g_timeout_add(
        10,
        +[](gpointer data) -> gboolean {
            auto* watch = static_cast<Watch*>(data);
            if (watch->done)
                return G_SOURCE_CONTINUE;
            if (!watch->released) {
                if (watch->pressTaken && !wxTheApp->HasPendingEvents()) {
                    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
                    XTestFakeButtonEvent(display, 3, False, CurrentTime);
                    XSync(display, False);
                    watch->released = true;
                }
                return G_SOURCE_CONTINUE;
            }
            if (!(watch->releaseTaken || watch->menuClosed) || wxTheApp->HasPendingEvents() ||
                !(lumo::test::PopupMenuShown() || watch->menuClosed))
                return G_SOURCE_CONTINUE;
            watch->stayedOpen = lumo::test::PopupMenuShown() && !watch->menuClosed;
            watch->selectedWhileOpen = CLeftView::ToItem(watch->view->GetSelection());
            if (watch->menu && watch->stayedOpen)
                gtk_menu_shell_cancel(GTK_MENU_SHELL(watch->menu->m_menu));
            watch->done = true;
            return G_SOURCE_CONTINUE;
        },
        &watch);
    Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    XTestFakeButtonEvent(display, 3, True, CurrentTime);
    XSync(display, False);
    const bool done = WaitFor([&] { return watch.done && watch.menuClosed; });
    g_source_remove(poll);
    g_signal_handler_disconnect(TreeView(), taken);
    ASSERT_TRUE(done) << "press " << watch.pressTaken << " release " << watch.releaseTaken;
    EXPECT_TRUE(watch.stayedOpen);
    EXPECT_EQ(watch.selectedWhileOpen, cnn);
    // Closed unchosen: the selection it had, nothing opened.
    EXPECT_EQ(Selected(), other);
    EXPECT_EQ(m_browser.opened.size(), 1u);
}

// A name longer than the pane is wide ends with an ellipsis, and its row's
// tooltip shows it whole; a name that fits has no tooltip.
TEST_F(LeftViewTest, LongNamesEndWithAnEllipsisAndShowWholeAsATooltip)
{
    InitialUpdate();
    m_frame->SetClientSize(wxSize(220, 600));
    ASSERT_TRUE(WaitFor([&] { return m_view->GetSize().x <= 220; }));
    ASSERT_TRUE(lumo::test::WaitForFrames(m_view));
    const Item longName = Child(Branch(kNationalBranch), "Minneapolis-St. Paul Star Tribune");
    const Item shortName = Child(Branch(kNationalBranch), "CNN ");
    GtkTreePath* path = NativePath(Tree(), longName);
    gtk_tree_view_scroll_to_cell(TreeView(), path, nullptr, FALSE, 0, 0);
    gtk_tree_path_free(path);
    ASSERT_TRUE(lumo::test::WaitForFrames(m_view));
    EXPECT_EQ(m_view->ClippedName(longName), "Minneapolis-St. Paul Star Tribune");
    EXPECT_EQ(m_view->ClippedName(shortName), "");

    // The column is no wider than the pane: nothing to scroll sideways to.
    GtkTreeViewColumn* column = gtk_tree_view_get_column(TreeView(), 0);
    GdkRectangle visible;
    gtk_tree_view_get_visible_rect(TreeView(), &visible);
    EXPECT_LE(gtk_tree_view_column_get_width(column), visible.width);
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column));
    ASSERT_NE(cells, nullptr);
    PangoEllipsizeMode mode = PANGO_ELLIPSIZE_NONE;
    g_object_get(cells->data, "ellipsize", &mode, nullptr);
    g_list_free(cells);
    EXPECT_EQ(mode, PANGO_ELLIPSIZE_END);
    EXPECT_TRUE(gtk_widget_get_has_tooltip(GTK_WIDGET(TreeView())));
}
