#include "favorites/dlg_cfg_add_favorite.h"

#include <utility>

#include <wx/button.h>
#include <wx/recguard.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

#include "common/address_text.h"
#include "common/resource_ids.h"

namespace lumo {
namespace {

// A screen reader announces the field by its label: the label is the field's
// accessible name and is related to it as its label.
void LabelFieldForScreenReaders(wxStaticText& label, wxWindow& field)
{
#ifdef __WXGTK__
    GtkWidget* labelWidget = label.GetHandle();
    GtkWidget* fieldWidget = field.GetHandle();
    if (GTK_IS_LABEL(labelWidget))
        gtk_label_set_mnemonic_widget(GTK_LABEL(labelWidget), fieldWidget);
    atk_object_set_name(gtk_widget_get_accessible(fieldWidget), label.GetLabel().utf8_str());
#else
    wxUnusedVar(label);
    wxUnusedVar(field);
#endif
}

} // namespace

CDlgCfgAddFavorite::CDlgCfgAddFavorite(wxWindow* parent, std::string favoritesPath)
    : CDlgCfgAddFavorite(parent, std::move(favoritesPath), false, wxString(), wxString())
{
}

CDlgCfgAddFavorite::CDlgCfgAddFavorite(wxWindow* parent, std::string favoritesPath,
                                       const wxString& name, const wxString& url)
    : CDlgCfgAddFavorite(parent, std::move(favoritesPath), true, name, url)
{
}

CDlgCfgAddFavorite::CDlgCfgAddFavorite(wxWindow* parent, std::string favoritesPath, bool editMode,
                                       const wxString& name, const wxString& url)
    : wxDialog(parent, IDD_CFG_ADD_FAVORITE, kAddFavoriteTitle), m_bEditMode(editMode),
      m_strFavName(name), m_strFavURL(url), m_store(std::move(favoritesPath), m_reporter)
{
    CreateControls();
    // The mode is fixed for the dialog's life and applied here rather than when
    // it is shown, so that its actions work the same on a dialog a test never shows.
    ApplyMode();
    Bind(wxEVT_BUTTON, &CDlgCfgAddFavorite::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CDlgCfgAddFavorite::OnDelete, this, IDC_FAV_DELETE);
    Bind(wxEVT_INIT_DIALOG, [this](wxInitDialogEvent& event) {
        // A new entry starts in the name field: typing goes there at once,
        // and Enter still presses Save.
        if (!m_bEditMode)
            m_name->SetFocus();
        event.Skip();
    });
}

void CDlgCfgAddFavorite::CreateControls()
{
    auto* nameLabel = new wxStaticText(this, wxID_ANY, kFavNameLabel);
    m_name = new wxTextCtrl(this, IDC_FAV_NAME);
    auto* urlLabel = new wxStaticText(this, wxID_ANY, kFavURLLabel);
    m_url = new wxTextCtrl(this, IDC_FAV_URL);
    LabelFieldForScreenReaders(*nameLabel, *m_name);
    LabelFieldForScreenReaders(*urlLabel, *m_url);

    m_save = new wxButton(this, wxID_OK, "Save");
    m_delete = new wxButton(this, IDC_FAV_DELETE, "Delete");
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    m_save->SetDefault();

    const wxSize fieldSize = ConvertDialogToPixels(wxSize(167, 14));
    m_name->SetMinSize(wxSize(fieldSize.x, -1));
    m_url->SetMinSize(wxSize(fieldSize.x, -1));
    const int gap = ConvertDialogToPixels(wxSize(0, 7)).y;

    auto* fields = new wxBoxSizer(wxVERTICAL);
    fields->Add(nameLabel);
    fields->AddSpacer(gap / 2);
    fields->Add(m_name, wxSizerFlags().Expand());
    fields->AddSpacer(gap);
    fields->Add(urlLabel);
    fields->AddSpacer(gap / 2);
    fields->Add(m_url, wxSizerFlags().Expand());

    auto* buttons = new wxBoxSizer(wxVERTICAL);
    buttons->Add(m_save, wxSizerFlags().Expand());
    buttons->AddSpacer(gap);
    buttons->Add(m_delete, wxSizerFlags().Expand());
    buttons->AddSpacer(gap);
    buttons->Add(cancel, wxSizerFlags().Expand());

    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(fields, wxSizerFlags(1).Border(wxALL, gap));
    top->Add(buttons, wxSizerFlags().Border(wxTOP | wxRIGHT | wxBOTTOM, gap));
    SetSizerAndFit(top);
    CentreOnParent();
}

void CDlgCfgAddFavorite::ApplyMode()
{
    if (m_bEditMode) {
        SetTitle(kEditFavoriteTitle);
        m_delete->Enable();
        m_name->Disable();
        m_url->Disable();
        m_save->Disable();
    } else {
        m_delete->Disable();
    }
    m_name->ChangeValue(m_strFavName);
    m_url->ChangeValue(m_strFavURL);
}

void CDlgCfgAddFavorite::CopyControlsToTexts()
{
    m_strFavName = m_name->GetValue();
    m_strFavURL = m_url->GetValue();
}

bool CDlgCfgAddFavorite::Save()
{
    // One command at a time: the one under way may be waiting for another
    // program to finish with the file.
    const wxRecursionGuard busy(m_busy);
    if (busy.IsInside())
        return false;
    CopyControlsToTexts();
    if (IsRefusedAddress(m_strFavURL.utf8_string())) {
        AppMessageBox(kMsgRefusedFavoriteAddress);
        return false;
    }
    if (!m_store.AddFavorite(m_strFavName.utf8_string(), m_strFavURL.utf8_string()))
        return false;
    AppMessageBox(kMsgSuccessfully);
    EndWith(wxID_OK);
    return true;
}

bool CDlgCfgAddFavorite::Delete()
{
    const wxRecursionGuard busy(m_busy);
    if (busy.IsInside())
        return false;
    if (AppMessageBox(kMsgConfirmDelete, wxYES_NO) != wxYES)
        return false;
    CopyControlsToTexts();
    if (!m_store.DeleteFavorite(m_strFavName.utf8_string(), m_strFavURL.utf8_string()))
        return false;
    AppMessageBox(kMsgSuccessfully);
    EndWith(wxID_OK);
    return true;
}

void CDlgCfgAddFavorite::EndWith(int result)
{
    if (IsModal())
        EndModal(result);
    else
        SetReturnCode(result);
}

void CDlgCfgAddFavorite::OnOK(wxCommandEvent&)
{
    Save();
}

void CDlgCfgAddFavorite::OnDelete(wxCommandEvent&)
{
    Delete();
}

} // namespace lumo
