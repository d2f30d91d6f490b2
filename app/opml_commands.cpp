#include "app/opml_commands.h"

#include <utility>
#include <vector>

#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "app/main_frame.h"
#include "app/view_commands.h"
#include "common/app_paths.h"
#include "common/message_box.h"
#include "directory/left_view.h"
#include "favorites/favorites_store.h"
#include "favorites/message_box_reporter.h"
#include "headlines/core/headlines_store.h"
#include "headlines/core/opml_favorites.h"

namespace lumo {
namespace {

std::string AskWithFileDialog(wxWindow* parent, OpmlFileUse use)
{
    // Like the framework's Open, the dialog leaves the current directory as
    // it is: the program directory.
    const bool import = use == OpmlFileUse::Import;
    wxFileDialog dialog(parent, import ? "Import Favorites (OPML)" : "Export Favorites (OPML)",
                        wxString(), import ? "" : "Favorites.opml",
                        import ? "OPML files (*.opml, *.xml)|*.opml;*.xml|All files|*"
                               : "OPML files (*.opml)|*.opml|All files|*",
                        import ? wxFD_OPEN | wxFD_FILE_MUST_EXIST
                               : wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    return dialog.ShowModal() == wxID_OK ? dialog.GetPath().utf8_string() : std::string();
}

OpmlFileChooser& Chooser()
{
    static OpmlFileChooser chooser = &AskWithFileDialog;
    return chooser;
}

} // namespace

OpmlFileChooser SetOpmlFileChooser(OpmlFileChooser chooser)
{
    return std::exchange(Chooser(), chooser ? std::move(chooser) : &AskWithFileDialog);
}

void ImportFavoritesFromOpml(CMainFrame& frame)
{
    const std::string path = Chooser()(&frame, OpmlFileUse::Import);
    if (path.empty())
        return;
    MessageBoxReporter reporter;
    const FavoritesStore favorites(FavoritesFilePath(), reporter);
    headlines::OpmlImportResult result;
    {
        // The longest list takes a few seconds.
        const wxBusyCursor busy;
        result =
            headlines::ImportOpmlFavorites(path, favorites, headlines::HeadlinesDatabasePath());
        if (result.changed)
            frame.LeftView()->RefreshFavorites();
    }
    if (!result.message.empty())
        AppMessageBox(result.message);
}

void ExportFavoritesToOpml(CMainFrame& frame)
{
    MessageBoxReporter reporter;
    const FavoritesStore store(FavoritesFilePath(), reporter);
    FavoritesFileState state = FavoritesFileState::Read;
    const std::vector<FavoriteEntry> favorites = store.LoadFavorites(&state);
    if (favorites.empty()) {
        AppMessageBox(state == FavoritesFileState::Read || state == FavoritesFileState::Missing
                          ? "There are no favorites to export."
                          : "The favorites cannot be exported: " +
                                FavoritesFileProblem(state, store.Path()) + ".");
        return;
    }
    const std::string path = Chooser()(&frame, OpmlFileUse::Export);
    if (path.empty())
        return;
    AppMessageBox(
        headlines::ExportOpmlFavorites(favorites, path, headlines::HeadlinesDatabasePath())
            .message);
}

} // namespace lumo
