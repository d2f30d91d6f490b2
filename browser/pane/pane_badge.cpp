#include "browser/pane/pane_badge.h"

#include <algorithm>

#include <wx/dcclient.h>

namespace lumo {

PaneBadge::PaneBadge(wxWindow* parent) : wxPopupWindow(parent)
{
    // Drawn here rather than by a label, which the skins would restyle.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &PaneBadge::OnPaint, this);
    m_zoomFont = parent->GetFont().Scale(1.6).Bold();
    m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Hide(); });
}

void PaneBadge::ShowText(const wxString& text, Kind kind, const wxRect& area, int shownMs)
{
    wxWindow* pane = GetParent();
    const bool zoom = kind == Kind::Zoom;
    // The zoom in large type, the same size for every level; a note in the
    // pane's own type, as wide as it needs (at most the page's width).
    m_text = text;
    m_font = zoom ? m_zoomFont : pane->GetFont().Bold();
    wxClientDC measure(pane);
    measure.SetFont(m_font);
    const wxSize extent = measure.GetTextExtent(zoom ? wxString("300 %") : text);
    SetSize(std::min(extent.x + pane->FromDIP(24), area.width), extent.y + pane->FromDIP(12));
    Move(area.x + (area.width - GetSize().x) / 2, area.y + (area.height - GetSize().y) / 2);
    Show();
    Refresh();
    m_timer.StartOnce(shownMs);
}

void PaneBadge::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    dc.SetBackground(wxBrush(wxColour(0x33, 0x33, 0x33)));
    dc.Clear();
    dc.SetFont(m_font);
    dc.SetTextForeground(*wxWHITE);
    const wxSize extent = dc.GetTextExtent(m_text);
    const wxSize size = GetClientSize();
    dc.DrawText(m_text, (size.x - extent.x) / 2, (size.y - extent.y) / 2);
}

} // namespace lumo
