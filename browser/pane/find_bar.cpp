#include "browser/pane/find_bar.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "ui/accessibility.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace lumo {

FindBar::FindBar(wxWindow* parent, FindBarHost& host) : wxPanel(parent, wxID_ANY), m_host(host)
{
    SetName("Find in page");
    m_field = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition,
                             wxSize(FromDIP(240), -1), wxTE_PROCESS_ENTER);
    m_field->SetHint("Find in page");
    SetAccessibleName(m_field, "Find in page");
    auto* previous = new wxButton(this, wxID_ANY, "Previous");
    auto* next = new wxButton(this, wxID_ANY, "Next");
    m_count = new wxStaticText(this, wxID_ANY, wxString());
    auto* close = new wxButton(this, wxID_ANY, "Close");
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    const int gap = FromDIP(4);
    row->Add(m_field, wxSizerFlags().CenterVertical().Border(wxALL, gap));
    row->Add(previous, wxSizerFlags().CenterVertical().Border(wxTOP | wxBOTTOM, gap));
    row->Add(next, wxSizerFlags().CenterVertical().Border(wxALL, gap));
    row->Add(m_count, wxSizerFlags(1).CenterVertical().Border(wxLEFT, gap));
    row->Add(close, wxSizerFlags().CenterVertical().Border(wxALL, gap));
    SetSizer(row);
    m_field->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { Find(false); });
    // The text offered again stays selected until the user does something
    // in the field: it drops its selection whenever another window takes
    // the desktop's selection, as the page does when its own selection
    // changes (a match found, the focus gone).
#ifdef __WXGTK__
    g_signal_connect(
        m_field->GetHandle(), "notify::selection-bound",
        G_CALLBACK(+[](GObject*, GParamSpec*, FindBar* bar) { bar->KeepTextSelected(); }), this);
#endif
    const auto userActs = [this](wxEvent& event) {
        m_textOffered = false;
        event.Skip();
    };
    m_field->Bind(wxEVT_KEY_DOWN, userActs);
    m_field->Bind(wxEVT_LEFT_DOWN, userActs);
    m_field->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { Find(wxGetKeyState(WXK_SHIFT)); });
    previous->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Find(true); });
    next->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Find(false); });
    close->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); });
}

FindBar::~FindBar()
{
#ifdef __WXGTK__
    // The field goes with the bar's children, after this object.
    g_signal_handlers_disconnect_by_data(m_field->GetHandle(), this);
#endif
}

wxString FindBar::CountText() const
{
    return m_count->GetLabel();
}

void FindBar::Open()
{
    Show();
    GetParent()->Layout();
    m_field->SetFocus();
    // The text of the last search, selected so that typing replaces it.
    m_field->SelectAll();
    m_textOffered = true;
    if (!m_field->IsEmpty())
        Find(false);
}

void FindBar::KeepTextSelected()
{
#ifdef __WXGTK__
    // Gone elsewhere, the field leaves the desktop's selection to others.
    if (!gtk_widget_is_focus(m_field->GetHandle()))
        m_textOffered = false;
#endif
    long from = 0, to = 0;
    m_field->GetSelection(&from, &to);
    if (!m_textOffered || from != to || m_field->IsEmpty())
        return;
    CallAfter([this] {
        if (m_textOffered)
            m_field->SelectAll();
    });
}

void FindBar::Find(bool backwards)
{
    const std::string text = m_field->GetValue().utf8_string();
    if (text.empty()) {
        m_host.SearchPage(std::string(), false);
        m_matches = m_current = 0;
        m_count->SetLabel(wxString());
        return;
    }
    m_backwards = backwards;
    m_host.SearchPage(text, backwards);
}

void FindBar::OnFindResult(unsigned matches, bool newText)
{
    // A new text starts at its first match (its last, searching backwards);
    // next and previous walk round the matches counted then.
    if (newText) {
        m_matches = matches;
        m_current = matches == 0 ? 0 : (m_backwards ? matches : 1);
    } else if (matches == 0 || m_matches == 0) {
        m_current = 0;
    } else if (m_backwards) {
        m_current = m_current > 1 ? m_current - 1 : m_matches;
    } else {
        m_current = m_current < m_matches ? m_current + 1 : 1;
    }
    m_count->SetLabel(m_current == 0 ? wxString("Not found")
                                     : wxString::Format("%u of %u", m_current, m_matches));
    Layout();
}

void FindBar::Close()
{
    if (!IsShown())
        return;
    m_host.SearchPage(std::string(), false);
    m_matches = m_current = 0;
    m_textOffered = false;
    Hide();
    m_host.FindBarClosed();
}

} // namespace lumo
