#pragma once
// The "Edit My Favorite" dialog: lists the favorites file and opens the
// Add/Modify My Favorite dialog to add or delete an entry.
#include <string>
#include <vector>

#include <wx/dataview.h>
#include <wx/dialog.h>

#include "common/app_paths.h"
#include "common/message_box.h"
#include "favorites/favorites_store.h"
#include "favorites/message_box_reporter.h"

class wxInitDialogEvent;

namespace lumo {

// The list keeps the program's own control number; New and Close are the
// dialog's OK and Cancel commands (wxID_OK, wxID_CANCEL).
enum CfgFavControlId : int
{
    IDC_FAV_LIST = 1003,
};

inline constexpr const char* kEditMyFavoriteTitle = "Edit My Favorite";
inline constexpr const char* kFavListHint = "Double-click to edit or delete the record";
// What a screen reader calls the list.
inline constexpr const char* kFavListAccessibleName = "My favorites";

// The text of the "No." column for the entry at `index` (from 0): "%06d" of
// index + 1, so 000001, 000002, ..., and more digits past 999999.
wxString FavoriteRowNumber(std::size_t index);

// The list of the dialog: three columns (number, name, address) over the
// entries it is given, whose rows the control asks for only as it shows
// them, so a list of a million opens as fast as one of ten.
class FavoritesList : public wxDataViewCtrl
{
public:
    FavoritesList(wxWindow* parent, wxWindowID id, long style);

    void SetEntries(std::vector<FavoriteEntry> entries);
    int GetItemCount() const;
    wxString GetTextValue(int row, unsigned column) const;
    wxDataViewItem RowToItem(int row) const;
    int ItemToRow(const wxDataViewItem& item) const;

private:
    class Rows;
    Rows* m_rows;
};

// Lists every favorite in file order, numbered from 000001, and refills the
// list from the file each time an add or a delete it opened succeeded.
class CDlgCfgFav : public wxDialog
{
public:
    explicit CDlgCfgFav(wxWindow* parent = nullptr,
                        std::string favoritesPath = FavoritesFilePath());

    FavoritesList* List() const { return m_list; }

    // Fills the list anew from the file.
    void RefreshList();

    // "New": the add dialog, modally; refills the list when it ended with
    // wxID_OK. Returns the add dialog's result.
    int NewFavorite();

    // Double-click or Enter on a row: the edit dialog on the row's texts as
    // the list shows them; refills the list when it ended with wxID_OK.
    // Returns its result, or wxID_NONE for a row outside the list.
    int EditRow(int row);

private:
    void CreateControls();
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnDblclkList(wxDataViewEvent& event);

    MessageBoxReporter m_reporter;
    FavoritesStore m_store;
    FavoritesList* m_list = nullptr;
};

// Favorites > Modify: the Edit My Favorite dialog on the program directory's
// favorites file, shown modally over `parent`.
void ShowEditFavoritesDialog(wxWindow* parent);

// Ctrl+D: the add dialog on the same file with the name and address of the
// page on screen filled in; the user may change both. Returns wxID_OK when a
// favorite was saved.
int ShowAddPageDialog(wxWindow* parent, const std::string& name, const std::string& url);

} // namespace lumo
