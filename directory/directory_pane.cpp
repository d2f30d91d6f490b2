#include "directory/directory_pane.h"

#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "directory/left_view.h"
#include "ui/accessibility.h"

namespace lumo {

std::string MatchCountText(std::size_t matches)
{
    if (matches == 0)
        return kNoNewspaperMatches;
    return std::to_string(matches) + (matches == 1 ? " newspaper" : " newspapers");
}

CDirectoryPane::CDirectoryPane(wxWindow* parent, CLumoNewsReaderDoc& doc, ProfileStore& profile,
                               FavoritesReporter& reporter)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxNO_BORDER)
{
    SetName("Directory");
    m_field = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                             wxTE_PROCESS_ENTER);
    m_field->SetHint(kFindNewspaperHint);
    m_field->SetToolTip(kFindNewspaperTip);
    SetAccessibleName(m_field, kFindNewspaperHint);
    m_count = new wxStaticText(this, wxID_ANY, wxString());
    m_tree = new CLeftView(this, doc, profile, reporter);
    // Tab walks from the field to the tree below it, and on to the page; the
    // tree has the focus at start, as it did before there was a field.
    m_tree->SetFocus();

    // The count goes under the field, which keeps the pane's whole width
    // however long the count reads.
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(m_field, wxSizerFlags().Expand().Border(wxALL, FromDIP(2)));
    column->Add(m_count, wxSizerFlags().Right().Border(wxLEFT | wxRIGHT | wxBOTTOM, FromDIP(2)));
    column->Add(m_tree, wxSizerFlags(1).Expand());
    SetSizer(column);
    m_count->Hide();

    m_field->Bind(wxEVT_TEXT, &CDirectoryPane::OnText, this);
    // Ctrl+N builds the whole tree again: the search it replaced is over.
    m_tree->SetSearchEndedByBuild([this] {
        m_field->ChangeValue(wxString());
        m_count->Hide();
        Layout();
    });
}

void CDirectoryPane::OnText(wxCommandEvent&)
{
    const std::size_t matches = m_tree->ShowMatches(m_field->GetValue().utf8_string());
    const bool searching = m_tree->IsFiltered();
    m_count->SetLabel(searching ? wxString::FromUTF8(MatchCountText(matches)) : wxString());
    m_count->Show(searching);
    Layout();
}

void CDirectoryPane::FocusSearch()
{
    m_field->SetFocus();
    m_field->SelectAll();
}

void CDirectoryPane::StartSearch(wxChar letter)
{
    m_field->SetFocus();
    m_field->SetValue(wxString(letter)); // searches, as typing there does
    m_field->SetInsertionPointEnd();
}

void CDirectoryPane::EndSearch()
{
    m_field->Clear(); // sends the text event that restores the tree
    m_tree->SetFocus();
}

} // namespace lumo
