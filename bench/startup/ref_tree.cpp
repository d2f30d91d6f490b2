// Reference program for the start-up benchmark: the cheapest window that looks
// like our main window without its web pane. A frame, a vertical splitter at
// 250 px, a native tree with 2,700 leaves on the left and an empty panel on
// the right. The tree's model is filled completely before it is associated,
// because appending to a shown control costs seconds, not milliseconds.

#include <vector>

#include <wx/app.h>
#include <wx/dataview.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/splitter.h>

namespace lumo {
namespace {

// The shape of the program's catalogue: 66 national titles, 25 world titles and
// 2,609 local titles under 51 regions, 2,700 leaves in all, with the same
// branches expanded after the build (root, "National", "American States").
constexpr int kNational = 66;
constexpr int kWorld = 25;
constexpr int kRegions = 51;
constexpr int kLocal = 2609;
constexpr const char* kCaption = "Reference Tree";

/// The filled model and the containers to expand once it is shown.
struct TreeContents
{
    wxObjectDataPtr<wxDataViewTreeStore> store;
    std::vector<wxDataViewItem> expanded;
};

TreeContents BuildStore()
{
    TreeContents contents;
    contents.store = wxObjectDataPtr<wxDataViewTreeStore>(new wxDataViewTreeStore);
    wxDataViewTreeStore& store = *contents.store;
    const wxDataViewItem root = store.AppendContainer(wxDataViewItem(), "Newspapers");
    const wxDataViewItem national = store.AppendContainer(root, "National");
    for (int i = 0; i < kNational; ++i)
        store.AppendItem(national, wxString::Format("National title %d", i + 1));
    const wxDataViewItem world = store.AppendContainer(root, "World");
    for (int i = 0; i < kWorld; ++i)
        store.AppendItem(world, wxString::Format("World title %d", i + 1));
    const wxDataViewItem states = store.AppendContainer(root, "American States");
    for (int r = 0; r < kRegions; ++r) {
        const wxDataViewItem region =
            store.AppendContainer(states, wxString::Format("Region %d", r + 1));
        const int leaves = kLocal / kRegions + (r < kLocal % kRegions ? 1 : 0);
        for (int i = 0; i < leaves; ++i)
            store.AppendItem(region, wxString::Format("Local title %d.%d", r + 1, i + 1));
    }
    contents.expanded = {root, national, states};
    return contents;
}

/// The reference frame: splitter, native tree and an empty right pane.
class RefTreeFrame : public wxFrame
{
public:
    RefTreeFrame() : wxFrame(nullptr, wxID_ANY, kCaption, wxDefaultPosition, wxSize(1024, 720))
    {
        auto* splitter = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                              wxSP_LIVE_UPDATE | wxSP_3DSASH);
        auto* tree = new wxDataViewTreeCtrl(splitter, wxID_ANY);
        TreeContents contents = BuildStore();
        tree->AssociateModel(contents.store.get());
        for (const wxDataViewItem& item : contents.expanded)
            tree->Expand(item);
        auto* right = new wxPanel(splitter);
        splitter->SplitVertically(tree, right, 250);
    }
};

/// Shows the reference frame and nothing else.
class RefTreeApp : public wxApp
{
public:
    bool OnInit() override
    {
        if (!wxApp::OnInit())
            return false;
        auto* frame = new RefTreeFrame;
        frame->Show();
        return true;
    }
};

} // namespace
} // namespace lumo

wxIMPLEMENT_APP(lumo::RefTreeApp);
