#include "browser/pane/load_progress_line.h"

#include <algorithm>

#include <wx/dcclient.h>

namespace lumo {

namespace {
constexpr int kProgressLineHeight = 3;
// The shortest time the progress line shows a load.
constexpr std::chrono::milliseconds kProgressShownAtLeast{600};
} // namespace

LoadProgressLine::LoadProgressLine(wxWindow* parent)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(-1, kProgressLineHeight), wxBORDER_NONE)
{
    SetName("Load progress");
    // Nor does Tab stop on it on its way into the page.
    SetCanFocus(false);
    SetMinSize(wxSize(-1, kProgressLineHeight));
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &LoadProgressLine::OnPaint, this);
    m_hold.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Refresh(); });
}

void LoadProgressLine::SetProgress(double progress)
{
    if (!m_loading && !m_hold.IsRunning())
        m_shownSince = std::chrono::steady_clock::now();
    m_hold.Stop();
    m_loading = true;
    m_progress = std::clamp(progress, 0.0, 1.0);
    Refresh();
}

void LoadProgressLine::SetLoading(bool loading)
{
    m_loading = loading;
    // A load that ends at once (a paper tried again that fails again at
    // once) still shows: the line stays a moment, run to its end.
    const auto shown = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_shownSince);
    if (!loading && shown < kProgressShownAtLeast) {
        m_progress = 1.0;
        m_hold.StartOnce(static_cast<int>((kProgressShownAtLeast - shown).count()));
    }
    Refresh();
}

void LoadProgressLine::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    wxSize size = GetClientSize();
    if (!IsShowing()) {
        dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
        dc.Clear();
        return;
    }
    // At least a short stub, so that a load just begun shows at once.
    int done = std::max(size.x / 20, static_cast<int>(size.x * m_progress));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(wxColour(0xf0, 0x8a, 0x24)));
    dc.DrawRectangle(0, 0, done, size.y);
    dc.SetBrush(wxBrush(wxColour(0xd9, 0xe0, 0xec)));
    dc.DrawRectangle(done, 0, size.x - done, size.y);
}

} // namespace lumo
