#include "ui/hyperlink.h"

#include <wx/cursor.h>
#include <wx/dcclient.h>
#include <wx/msgdlg.h>
#include <wx/renderer.h>
#include <wx/utils.h>

#include "common/resource_ids.h"
#include "common/url_opener.h"
#include "ui/accessibility.h"

namespace lumo {
namespace {

LinkBeeper DefaultBeeper()
{
    return [] { wxBell(); };
}

LinkBeeper& CurrentBeeper()
{
    static LinkBeeper beeper = DefaultBeeper();
    return beeper;
}

} // namespace

// --- CHyperlink ----------------------------------------------------------------

CHyperlink::CHyperlink(const char* text) : std::string(text ? text : "") {}

CHyperlink::CHyperlink(std::string text) : std::string(std::move(text)) {}

CHyperlink& CHyperlink::operator=(const char* text)
{
    assign(text ? text : "");
    return *this;
}

CHyperlink& CHyperlink::operator=(std::string text)
{
    std::string::operator=(std::move(text));
    return *this;
}

bool CHyperlink::OpenLink() const
{
    if (empty())
        return false;
    return OpenUrlOutside(*this);
}

LinkBeeper SetLinkBeeper(LinkBeeper beeper)
{
    LinkBeeper previous = CurrentBeeper();
    CurrentBeeper() = beeper ? std::move(beeper) : DefaultBeeper();
    return previous;
}

// --- CStaticLink ---------------------------------------------------------------

wxIMPLEMENT_DYNAMIC_CLASS(CStaticLink, wxControl);

const wxColour CStaticLink::s_normalColor(0, 0, 255);
const wxColour CStaticLink::s_hoverColor(255, 0, 0);
const wxColour CStaticLink::s_visitedColor(128, 0, 128);
wxCursor* CStaticLink::s_handCursor = nullptr;
bool CStaticLink::s_cursorLookupDone = false;

CStaticLink::CStaticLink(const char* text, bool autoDelete)
    : m_target(text), m_autoDelete(autoDelete)
{
}

CStaticLink::CStaticLink(wxWindow* parent, wxWindowID id, const wxString& label, const char* text,
                         bool autoDelete, const wxPoint& pos, const wxSize& size, long style)
    : CStaticLink(text, autoDelete)
{
    Create(parent, id, label, pos, size, style);
}

bool CStaticLink::Create(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                         const wxSize& size, long style, const wxString& name)
{
    if (!wxControl::Create(parent, id, pos, size, style, wxDefaultValidator, name))
        return false;
    SetAccessibleRole(this, AccessibleRole::Link);
    SetLabel(label);
    SetInitialSize(size);
    if (const wxCursor* hand = HandCursor())
        SetCursor(*hand);

    Bind(wxEVT_PAINT, &CStaticLink::OnPaint, this);
    Bind(wxEVT_ENTER_WINDOW, &CStaticLink::OnEnter, this);
    Bind(wxEVT_LEAVE_WINDOW, &CStaticLink::OnLeave, this);
    Bind(wxEVT_LEFT_DOWN, &CStaticLink::OnLeftDown, this);
    // wx turns a quick second press into a double click; it is a click all the same.
    Bind(wxEVT_LEFT_DCLICK, &CStaticLink::OnLeftDown, this);
    Bind(wxEVT_KEY_DOWN, &CStaticLink::OnKeyDown, this);
    Bind(wxEVT_SET_FOCUS, &CStaticLink::OnFocusChanged, this);
    Bind(wxEVT_KILL_FOCUS, &CStaticLink::OnFocusChanged, this);
    return true;
}

void CStaticLink::SetLabel(const wxString& label)
{
    wxControl::SetLabel(label);
    SetAccessibleName(this, label);
    InvalidateBestSize();
    Refresh();
}

bool CStaticLink::IsPlainText() const
{
    return GetBorder() == wxBORDER_NONE;
}

bool CStaticLink::FollowLink()
{
    if (m_target.empty())
        m_target = GetLabel().utf8_string();
    if (m_target.empty())
        return false;
    if (!m_target.OpenLink()) {
        CurrentBeeper()();
        // The program's message box (its title as caption), without the
        // favorites that the shared one brings along.
        wxMessageBox(wxString::FromUTF8(CannotOpenMessage(m_target)), kAppTitle, wxOK, nullptr);
        return false;
    }
    ChangeTextColour(s_visitedColor);
    return true;
}

const wxCursor* CStaticLink::HandCursor()
{
    if (!s_handCursor && !s_cursorLookupDone) {
        s_cursorLookupDone = true;
        // Kept for the life of the process, like the other shared GDI objects.
        auto* cursor = new wxCursor(wxCURSOR_HAND);
        if (cursor->IsOk())
            s_handCursor = cursor;
        else
            delete cursor;
    }
    return s_handCursor;
}

wxSize CStaticLink::DoGetBestClientSize() const
{
    wxClientDC dc(const_cast<CStaticLink*>(this));
    dc.SetFont(GetFont());
    wxSize text = dc.GetMultiLineTextExtent(GetLabel().empty() ? wxString("M") : GetLabel());
    return text + wxSize(2 * kTextMargin, 2 * kTextMargin);
}

void CStaticLink::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    dc.SetFont(GetFont());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetTextForeground(IsPlainText() ? m_textColor : GetForegroundColour());
    const wxRect client = GetClientRect();
    const int alignment = GetWindowStyleFlag() & (wxALIGN_CENTER_HORIZONTAL | wxALIGN_RIGHT);
    dc.DrawLabel(GetLabel(), wxRect(client).Deflate(kTextMargin),
                 alignment | wxALIGN_CENTER_VERTICAL);
    if (HasFocus())
        wxRendererNative::Get().DrawFocusRect(this, dc, client);
}

void CStaticLink::OnEnter(wxMouseEvent& event)
{
    if (!m_hovering) {
        m_hovering = true;
        ChangeTextColour(s_hoverColor);
    }
    event.Skip();
}

void CStaticLink::OnLeave(wxMouseEvent& event)
{
    // Leaving forgets a successful open: the link is blue again, not purple.
    m_hovering = false;
    ChangeTextColour(s_normalColor);
    event.Skip();
}

void CStaticLink::OnLeftDown(wxMouseEvent&)
{
    // Not skipped: the click belongs to the link alone.
    FollowLink();
}

void CStaticLink::OnKeyDown(wxKeyEvent& event)
{
    switch (event.GetKeyCode()) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
    case WXK_SPACE:
    case WXK_NUMPAD_SPACE:
        // Handled here, so Enter opens the link rather than pressing the
        // dialog's default button.
        FollowLink();
        break;
    default:
        event.Skip(); // Tab and the rest move the focus as usual
    }
}

void CStaticLink::OnFocusChanged(wxFocusEvent& event)
{
    // A link opened from the keyboard shows purple until the focus moves on,
    // as one opened by the pointer does until the pointer leaves.
    if (event.GetEventType() == wxEVT_KILL_FOCUS && !m_hovering)
        ChangeTextColour(s_normalColor);
    Refresh(); // the focus rectangle
    event.Skip();
}

void CStaticLink::ChangeTextColour(const wxColour& colour)
{
    if (m_textColor == colour)
        return;
    m_textColor = colour;
    Refresh();
}

} // namespace lumo
