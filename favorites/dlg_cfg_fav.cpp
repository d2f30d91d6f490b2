#include "favorites/dlg_cfg_fav.h"

#include <algorithm>
#include <utility>

#include <wx/button.h>
#include <wx/dataview.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

#include "app/resource_ids.h"
#include "favorites/dlg_cfg_add_favorite.h"

namespace lumo {
namespace {

// Room around a cell's text: the cell's own padding and the column separator.
constexpr int kCellPadding = 16;

} // namespace

wxString FavoriteRowNumber(std::size_t index)
{
    return wxString::Format("%06zu", index + 1);
}

CDlgCfgFav::CDlgCfgFav(wxWindow* parent, std::string favoritesPath)
    : wxDialog(parent, IDD_CFG_FAVORITE, kEditMyFavoriteTitle),
      m_store(std::move(favoritesPath), m_reporter)
{
    CreateControls();
    RefreshList();
    Bind(wxEVT_BUTTON, &CDlgCfgFav::OnOK, this, wxID_OK);
    // GTK reports a double-click on a row and Enter on the focused row alike,
    // as the row's activation; a double-click on no row activates nothing.
    m_list->Bind(wxEVT_DATAVIEW_ITEM_ACTIVATED, &CDlgCfgFav::OnDblclkList, this);
    Bind(wxEVT_INIT_DIALOG, &CDlgCfgFav::OnInitDialog, this);
}

void CDlgCfgFav::OnInitDialog(wxInitDialogEvent& event)
{
    // Enter right after opening presses the default button, New; Tab reaches
    // the records, where the arrows pick one and Enter opens it.
    if (wxWindow* newButton = FindWindow(wxID_OK))
        newButton->SetFocus();
    event.Skip(); // the default handler transfers data and updates the controls
}

void CDlgCfgFav::CreateControls()
{
    m_list =
        new wxDataViewListCtrl(this, IDC_FAV_LIST, wxDefaultPosition, wxDefaultSize,
                               wxDV_MULTIPLE | wxDV_HORIZ_RULES | wxDV_VERT_RULES | wxBORDER_THEME);
    // 50 pixels held six digits in the classic 8-point dialog font; a larger
    // theme font gets the width its six digits need.
    const int numberWidth =
        std::max(FromDIP(50), m_list->GetTextExtent("000000").x + FromDIP(kCellPadding));
    m_list->AppendTextColumn("No.", wxDATAVIEW_CELL_INERT, numberWidth, wxALIGN_LEFT);
    m_list->AppendTextColumn("Newspaper's Name", wxDATAVIEW_CELL_INERT, FromDIP(200), wxALIGN_LEFT);
    m_list->AppendTextColumn("Newspaper's URL", wxDATAVIEW_CELL_INERT, FromDIP(200), wxALIGN_LEFT);
    m_list->SetMinSize(ConvertDialogToPixels(wxSize(289, 230)));
    auto* hint = new wxStaticText(this, wxID_ANY, kFavListHint);
#ifdef __WXGTK__
    // The list's name, and the hint on how to reach an entry, for a screen reader.
    AtkObject* listForReaders = gtk_widget_get_accessible(m_list->GtkGetTreeView());
    atk_object_set_name(listForReaders, kFavListAccessibleName);
    atk_object_set_description(listForReaders, kFavListHint);
#endif

    auto* newButton = new wxButton(this, wxID_OK, "New");
    auto* closeButton = new wxButton(this, wxID_CANCEL, "Close");
    newButton->SetDefault();

    const int gap = ConvertDialogToPixels(wxSize(7, 0)).x;
    auto* listColumn = new wxBoxSizer(wxVERTICAL);
    listColumn->Add(m_list, wxSizerFlags(1).Expand());
    listColumn->AddSpacer(gap / 2);
    listColumn->Add(hint);

    auto* buttons = new wxBoxSizer(wxVERTICAL);
    buttons->Add(newButton, wxSizerFlags().Expand());
    buttons->AddSpacer(gap);
    buttons->Add(closeButton, wxSizerFlags().Expand());

    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(listColumn, wxSizerFlags(1).Expand().Border(wxALL, gap));
    top->Add(buttons, wxSizerFlags().Border(wxTOP | wxRIGHT | wxBOTTOM, gap));
    SetSizerAndFit(top);
    CentreOnParent();
}

void CDlgCfgFav::RefreshList()
{
    m_list->DeleteAllItems();
    const std::vector<FavoriteEntry> entries = m_store.LoadFavorites();
    wxVector<wxVariant> values(3);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        values[0] = FavoriteRowNumber(i);
        values[1] = wxString::FromUTF8(entries[i].title);
        values[2] = wxString::FromUTF8(entries[i].url);
        m_list->AppendItem(values, static_cast<wxUIntPtr>(i));
    }
}

int CDlgCfgFav::NewFavorite()
{
    CDlgCfgAddFavorite dlg(this, m_store.Path());
    const int result = dlg.ShowModal();
    if (result == wxID_OK)
        RefreshList();
    return result;
}

int CDlgCfgFav::EditRow(int row)
{
    if (row < 0 || row >= m_list->GetItemCount())
        return wxID_NONE;
    // The row's data names the row whose texts are shown; the two are the same
    // as long as the list is never sorted, which it is not.
    const int dataRow = static_cast<int>(m_list->GetItemData(m_list->RowToItem(row)));
    CDlgCfgAddFavorite dlg(this, m_store.Path(), m_list->GetTextValue(dataRow, 1),
                           m_list->GetTextValue(dataRow, 2));
    const int result = dlg.ShowModal();
    if (result == wxID_OK)
        RefreshList();
    return result;
}

void CDlgCfgFav::OnOK(wxCommandEvent&)
{
    NewFavorite();
}

void CDlgCfgFav::OnDblclkList(wxDataViewEvent& event)
{
    const wxDataViewItem item = event.GetItem();
    if (!item.IsOk())
        return;
    EditRow(m_list->ItemToRow(item));
}

void ShowEditFavoritesDialog(wxWindow* parent)
{
    CDlgCfgFav dlg(parent, FavoritesFilePath(g_strAppDir));
    dlg.ShowModal();
}

int ShowAddPageDialog(wxWindow* parent, const std::string& name, const std::string& url)
{
    CDlgCfgAddFavorite dlg(parent, FavoritesFilePath(g_strAppDir), false, wxString::FromUTF8(name),
                           wxString::FromUTF8(url));
    return dlg.ShowModal();
}

} // namespace lumo
