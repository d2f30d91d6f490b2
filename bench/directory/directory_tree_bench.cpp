// Timings of the directory tree pane on the native control (run under a display):
//   BuildCatalogTree/F        one whole build (2,756 items plus F favorites read
//                             from a real file) until the control has caught up
//   PlainLoop/F               the same items appended in one plain loop (no sorting,
//                             no file, no address table) and handed to the same
//                             kind of control: the floor a build is compared with
//   TreeStoreBeforeShow/N     wxDataViewTreeStore filled, then associated
//   AppendToShownTreeCtrl/N   wxDataViewTreeCtrl fed item by item while shown
//                             (the approach the pane avoids; one run only)
//   SelectionToNavigate       a native selection of a leaf until NavigateTo is called
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/dataview.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/log.h>

#include <gtk/gtk.h>

#include "common/app_paths.h"
#include "common/globals.h"
#include "common/settings.h"
#include "directory/catalogue.h"
#include "directory/directory_model.h"
#include "directory/left_view.h"
#include "favorites/dlg_cfg_fav.h"
#include "favorites/favorites_store.h"

using namespace lumo;
using Clock = std::chrono::steady_clock;

namespace {

// Lets the control do what it postponed (layout, drawing) so the figure is
// what the user waits for, not only the call.
void CatchUp()
{
    wxTheApp->ProcessPendingEvents();
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

// Short texts in a scrambled order: a million entries stay under the
// favorites file's 64 MiB limit.
std::string FavoriteTitle(int count, int index)
{
    return "P" + std::to_string((count - index) * 7919LL % 1000003);
}

void WriteFavoritesFile(const std::string& path, int favorites)
{
    std::ofstream file(path);
    file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Favorites>\n";
    for (int i = 0; i < favorites; ++i)
        file << "<Favorite><title>" << FavoriteTitle(favorites, i) << "</title><url>p" << i
             << "</url></Favorite>";
    file << "</Favorites>\n";
}

class NullReporter : public FavoritesReporter
{
public:
    void ShowMessage(const std::string& text) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

class TimingBrowser : public BrowserPane
{
public:
    void NavigateTo(std::string, std::string) override { reached = Clock::now(); }
    void GoBack() override {}
    void GoForward() override {}
    Clock::time_point reached;
};

// A shown frame with the pane, on temporary settings and a favorites file of F entries.
class Pane
{
public:
    explicit Pane(int favorites)
    {
        char dir[] = "/tmp/lumo-bench-XXXXXX";
        m_dir = mkdtemp(dir);
        WriteFavoritesFile(m_dir + "/Favorites.xml", favorites);
        SetProgramDirectory(m_dir);
        m_settings = OpenSettingsFile(m_dir + "/settings.conf");
        m_profile = std::make_unique<ProfileStore>(*m_settings);
        frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(320, 800));
        view = new CLeftView(frame, doc, *m_profile, m_reporter);
        doc.m_pHtmlView = &browser;
        frame->Show();
        CatchUp();
        view->OnInitialUpdate();
        CatchUp();
    }
    ~Pane()
    {
        frame->Destroy();
        CatchUp();
        std::remove((m_dir + "/Favorites.xml").c_str());
        std::remove((m_dir + "/settings.conf").c_str());
        std::remove(m_dir.c_str());
    }

    CLumoNewsReaderDoc doc;
    TimingBrowser browser;
    wxFrame* frame = nullptr;
    CLeftView* view = nullptr;

private:
    std::string m_dir;
    SettingsFile m_settings;
    std::unique_ptr<ProfileStore> m_profile;
    NullReporter m_reporter;
};

void BuildCatalogTree(benchmark::State& state)
{
    Pane pane(static_cast<int>(state.range(0)));
    CataView arrangement = CataView::ByArea;
    for (auto _ : state) {
        // As the two catalogue commands alternate.
        arrangement = arrangement == CataView::ByArea ? CataView::ByContent : CataView::ByArea;
        auto start = Clock::now();
        pane.view->BuildCatalogTree(arrangement);
        CatchUp();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["items"] = static_cast<double>(pane.view->Items().GetCount());
}
BENCHMARK(BuildCatalogTree)
    ->Arg(0)
    ->Arg(1395)
    ->Arg(10000)
    ->Arg(30000)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The same items (the catalogue's texts, the same number of favorites) appended
// in one plain loop, without sorting, address table or favorites file, and
// handed to a control set up like the pane's, with the same expansion.
void PlainLoop(benchmark::State& state)
{
    const auto favoriteCount = static_cast<int>(state.range(0));
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(320, 800));
    auto* control = new wxDataViewCtrl(frame, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                       wxDV_SINGLE | wxDV_NO_HEADER | wxBORDER_THEME);
    control->AppendTextColumn(wxString(), 0, wxDATAVIEW_CELL_INERT, wxCOL_WIDTH_AUTOSIZE);
    gtk_tree_view_set_enable_tree_lines(GTK_TREE_VIEW(control->GtkGetTreeView()), TRUE);
    auto* model = new DirectoryModel;
    control->AssociateModel(model);
    model->DecRef();
    frame->Show();
    CatchUp();
    for (auto _ : state) {
        auto start = Clock::now();
        using P = DirectoryTree::Position;
        DirectoryTree tree;
        int data = 1;
        auto root = tree.InsertItem(DirectoryTree::kTop, "Lumo News Reader", P::Last);
        auto favorites = tree.InsertItem(root, "My Favorites", P::Last);
        for (int i = 0; i < favoriteCount; ++i)
            tree.InsertItem(favorites, FavoriteTitle(favoriteCount, i), P::Last, data++);
        auto national = tree.InsertItem(root, "National", P::Last);
        for (const CatalogueEntry& entry : NationalEntries())
            tree.InsertItem(national, std::string(entry.text), P::Last, data++);
        auto world = tree.InsertItem(root, "World", P::Last);
        for (const CatalogueEntry& entry : WorldEntries())
            tree.InsertItem(world, std::string(entry.text), P::Last, data++);
        auto states = tree.InsertItem(root, "American States", P::Last);
        for (const CatalogueRegion& region : Regions()) {
            auto item = tree.InsertItem(states, std::string(region.text), P::Last);
            for (const CatalogueEntry& entry : region.entries)
                tree.InsertItem(item, std::string(entry.text), P::Last, data++);
        }
        model->Replace(std::move(tree));
        for (auto item : {root, favorites, national, states})
            control->Expand(DirectoryModel::ToViewItem(item));
        CatchUp();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["items"] = static_cast<double>(model->Tree().GetCount());
    frame->Destroy();
    CatchUp();
}
BENCHMARK(PlainLoop)->Arg(0)->Arg(1395)->UseManualTime()->Unit(benchmark::kMillisecond);

// The Edit My Favorite dialog on a file of N favorites, from its creation
// until it is on screen with its first rows drawn.
void ListDialog(benchmark::State& state)
{
    char dir[] = "/tmp/lumo-bench-XXXXXX";
    const std::string path = std::string(mkdtemp(dir)) + "/Favorites.xml";
    WriteFavoritesFile(path, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto start = Clock::now();
        auto* dialog = new CDlgCfgFav(nullptr, path);
        dialog->Show();
        CatchUp();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        state.counters["rows"] = dialog->List()->GetItemCount();
        dialog->Destroy();
        CatchUp();
    }
    std::remove(path.c_str());
    std::remove(dir);
}
BENCHMARK(ListDialog)
    ->Arg(0)
    ->Arg(1395)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void TreeStoreBeforeShow(benchmark::State& state)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(320, 800));
    auto* control = new wxDataViewTreeCtrl(frame, wxID_ANY);
    frame->Show();
    CatchUp();
    for (auto _ : state) {
        auto start = Clock::now();
        auto* store = new wxDataViewTreeStore;
        auto root = store->AppendContainer(wxDataViewItem(), "Lumo News Reader");
        auto national = store->AppendContainer(root, "National");
        for (long i = 0; i < state.range(0) - 2; ++i)
            store->AppendItem(national, wxString::Format("Newspaper %ld", i));
        control->AssociateModel(store);
        store->DecRef();
        control->Expand(root);
        control->Expand(national);
        CatchUp();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    frame->Destroy();
    CatchUp();
}
BENCHMARK(TreeStoreBeforeShow)->Arg(2756)->UseManualTime()->Unit(benchmark::kMillisecond);

void AppendToShownTreeCtrl(benchmark::State& state)
{
    for (auto _ : state) {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(320, 800));
        auto* control = new wxDataViewTreeCtrl(frame, wxID_ANY);
        frame->Show();
        CatchUp();
        auto start = Clock::now();
        auto root = control->AppendContainer(wxDataViewItem(), "Lumo News Reader");
        auto national = control->AppendContainer(root, "National");
        control->Expand(root);
        control->Expand(national);
        for (long i = 0; i < state.range(0) - 2; ++i)
            control->AppendItem(national, wxString::Format("Newspaper %ld", i));
        CatchUp();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        frame->Destroy();
        CatchUp();
    }
}
BENCHMARK(AppendToShownTreeCtrl)
    ->Arg(2756)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// From the native control's selection of a leaf (what a click or an arrow key
// does) to the browser pane's NavigateTo.
void SelectionToNavigate(benchmark::State& state)
{
    Pane pane(0);
    GtkTreeView* view = GTK_TREE_VIEW(pane.view->GtkGetTreeView());
    bool second = false;
    for (auto _ : state) {
        // Two national leaves in turn, so that every selection is a change.
        second = !second;
        gint indices[] = {0, 1, second ? 5 : 6};
        GtkTreePath* path = gtk_tree_path_new_from_indicesv(indices, 3);
        auto start = Clock::now();
        gtk_tree_view_set_cursor(view, path, nullptr, FALSE);
        state.SetIterationTime(std::chrono::duration<double>(pane.browser.reached - start).count());
        gtk_tree_path_free(path);
        CatchUp();
    }
}
BENCHMARK(SelectionToNavigate)->UseManualTime()->Unit(benchmark::kMicrosecond);

class BenchApp : public wxApp
{
public:
    bool OnInit() override { return true; }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    wxApp::SetInstance(new BenchApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "cannot start wxWidgets (no display?)\n");
        return 2;
    }
    wxTheApp->CallOnInit();
    wxGUIEventLoop loop;
    wxEventLoopBase::SetActive(&loop);
    delete wxLog::SetActiveTarget(new wxLogStderr);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wxEventLoopBase::SetActive(nullptr);
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
