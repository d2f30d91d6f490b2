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

#include "common/resource_ids.h"
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

class FavoritesList::Rows : public wxDataViewVirtualListModel
{
public:
    std::vector<FavoriteEntry> entries;

    void GetValueByRow(wxVariant& value, unsigned row, unsigned column) const override
    {
        if (row >= entries.size())
            value = wxString();
        else if (column == 0)
            value = FavoriteRowNumber(row);
        else
            value = wxString::FromUTF8(column == 1 ? entries[row].title : entries[row].url);
    }
    bool SetValueByRow(const wxVariant&, unsigned, unsigned) override { return false; }
};

FavoritesList::FavoritesList(wxWindow* parent, wxWindowID id, long style)
    : wxDataViewCtrl(parent, id, wxDefaultPosition, wxDefaultSize, style), m_rows(new Rows)
{
    AssociateModel(m_rows);
    m_rows->DecRef(); // the control holds the model from here on
}

void FavoritesList::SetEntries(std::vector<FavoriteEntry> entries)
{
    m_rows->entries = std::move(entries);
    m_rows->Reset(static_cast<unsigned>(m_rows->entries.size()));
}

int FavoritesList::GetItemCount() const
{
    return static_cast<int>(m_rows->entries.size());
}

wxString FavoritesList::GetTextValue(int row, unsigned column) const
{
    wxVariant value;
    m_rows->GetValueByRow(value, static_cast<unsigned>(row), column);
    return value.GetString();
}

wxDataViewItem FavoritesList::RowToItem(int row) const
{
    return row >= 0 && row < GetItemCount() ? m_rows->GetItem(static_cast<unsigned>(row))
                                            : wxDataViewItem();
}

int FavoritesList::ItemToRow(const wxDataViewItem& item) const
{
    return item.IsOk() ? static_cast<int>(m_rows->GetRow(item)) : -1;
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
    m_list = new FavoritesList(this, IDC_FAV_LIST,
                               wxDV_MULTIPLE | wxDV_HORIZ_RULES | wxDV_VERT_RULES | wxBORDER_THEME);
    // 50 pixels held six digits in the classic 8-point dialog font; a larger
    // theme font gets the width its six digits need.
    const int numberWidth =
        std::max(FromDIP(50), m_list->GetTextExtent("000000").x + FromDIP(kCellPadding));
    m_list->AppendTextColumn("No.", 0, wxDATAVIEW_CELL_INERT, numberWidth, wxALIGN_LEFT);
    m_list->AppendTextColumn("Newspaper's Name", 1, wxDATAVIEW_CELL_INERT, FromDIP(200),
                             wxALIGN_LEFT);
    m_list->AppendTextColumn("Newspaper's URL", 2, wxDATAVIEW_CELL_INERT, FromDIP(200),
                             wxALIGN_LEFT);
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
    m_list->SetEntries(m_store.LoadFavorites());
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
    CDlgCfgAddFavorite dlg(this, m_store.Path(), m_list->GetTextValue(row, 1),
                           m_list->GetTextValue(row, 2));
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
    CDlgCfgFav dlg(parent, FavoritesFilePath());
    dlg.ShowModal();
}

int ShowAddPageDialog(wxWindow* parent, const std::string& name, const std::string& url)
{
    CDlgCfgAddFavorite dlg(parent, FavoritesFilePath(), false, wxString::FromUTF8(name),
                           wxString::FromUTF8(url));
    return dlg.ShowModal();
}

} // namespace lumo
