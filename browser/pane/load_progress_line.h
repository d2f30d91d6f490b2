#pragma once
// The load's progress as a slim line along the top edge of the browser pane.
#include <chrono>

#include <wx/timer.h>
#include <wx/window.h>

namespace lumo {

// A slim line along the top edge of the pane, as long as the load is far;
// empty while nothing loads. It takes no keyboard focus.
class LoadProgressLine : public wxWindow
{
public:
    explicit LoadProgressLine(wxWindow* parent);

    void SetProgress(double progress);
    void SetLoading(bool loading);
    bool IsLoading() const { return m_loading; }
    // Whether the line shows a load: one under way or one just ended.
    bool IsShowing() const { return m_loading || m_hold.IsRunning(); }

    bool AcceptsFocus() const override { return false; }

private:
    void OnPaint(wxPaintEvent& event);

    double m_progress = 0.0;
    bool m_loading = false;
    std::chrono::steady_clock::time_point m_shownSince;
    wxTimer m_hold;
};

} // namespace lumo
