#pragma once
// The "Add/Modify My Favorite" dialog: adds one favorite, or deletes the one it
// was opened on.
#include <string>

#include <wx/dialog.h>

#include "common/message_box.h"
#include "favorites/favorites_store.h"
#include "favorites/message_box_reporter.h"

class wxButton;
class wxStaticText;
class wxTextCtrl;

namespace lumo {

// Controls of the dialog that keep the program's own numbers; Save and Cancel
// are the dialog's OK and Cancel commands (wxID_OK, wxID_CANCEL).
enum AddFavoriteControlId : int
{
    IDC_FAV_DELETE = 3,
    IDC_FAV_NAME = 1004,
    IDC_FAV_URL = 1005,
};

inline constexpr const char* kAddFavoriteTitle = "Add/Modify My Favorite";
inline constexpr const char* kEditFavoriteTitle = "Edit My Favorites";
inline constexpr const char* kFavNameLabel = "Newspapers, magazines Name";
inline constexpr const char* kFavURLLabel = "Newspapers, magazines URL";
inline constexpr const char* kMsgConfirmDelete = "Determined to delete?";

// Adds a favorite (add mode: two empty fields and Save) or deletes one (edit
// mode: the entry's texts read-only and Delete), and ends with wxID_OK exactly
// when it changed the favorites file.
class CDlgCfgAddFavorite : public wxDialog
{
public:
    // Add mode.
    CDlgCfgAddFavorite(wxWindow* parent, std::string favoritesPath);
    // Edit mode on an entry's name and address, exactly as the list shows them.
    CDlgCfgAddFavorite(wxWindow* parent, std::string favoritesPath, const wxString& name,
                       const wxString& url);

    // Add mode with the fields filled in (the page on screen), or edit mode.
    CDlgCfgAddFavorite(wxWindow* parent, std::string favoritesPath, bool editMode,
                       const wxString& name, const wxString& url);

    bool IsEditMode() const { return m_bEditMode; }
    wxTextCtrl* NameCtrl() const { return m_name; }
    wxTextCtrl* URLCtrl() const { return m_url; }

    // The Save command: adds the typed entry and ends the dialog with wxID_OK
    // after "Successfully!"; on failure the dialog stays open with the typed
    // texts. A javascript:, data: or blob: address is refused with a message.
    // Nothing happens while a Save or Delete is still under way. True when
    // the dialog ended.
    bool Save();

    // The Delete command: asks for confirmation, deletes the entry and ends
    // the dialog with wxID_OK after "Successfully!"; stays open on No or on
    // failure. True when the dialog ended.
    bool Delete();

private:
    void CreateControls();
    void ApplyMode();
    void CopyControlsToTexts();
    // Ends a modal run, or under a test's modal hook (the dialog never shown)
    // leaves the result for the hook to return.
    void EndWith(int result);

    void OnOK(wxCommandEvent& event);
    void OnDelete(wxCommandEvent& event);

    bool m_bEditMode;
    int m_busy = 0; // a Save or Delete is under way (a wxRecursionGuardFlag)
    wxString m_strFavName;
    wxString m_strFavURL;

    MessageBoxReporter m_reporter;
    FavoritesStore m_store;

    wxTextCtrl* m_name = nullptr;
    wxTextCtrl* m_url = nullptr;
    wxButton* m_save = nullptr;
    wxButton* m_delete = nullptr;
};

} // namespace lumo
