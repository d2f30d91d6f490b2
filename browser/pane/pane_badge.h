#pragma once
// A short text shown for a moment over the middle of the page: the zoom
// level, or a note for the user when there is no status bar.
#include <wx/font.h>
#include <wx/popupwin.h>
#include <wx/timer.h>

namespace lumo {

class PaneBadge : public wxPopupWindow
{
public:
    enum class Kind
    {
        Zoom, // in large type, the same size for every level
        Note, // in the pane's own type, as wide as it needs
    };

    // A badge of the pane `parent`, in its type; hidden until shown.
    explicit PaneBadge(wxWindow* parent);

    // Shows `text` over the middle of `area` (screen coordinates) for `shownMs`.
    void ShowText(const wxString& text, Kind kind, const wxRect& area, int shownMs);
    // The text shown right now, or empty.
    wxString ShownText() const { return IsShown() ? m_text : wxString(); }

private:
    void OnPaint(wxPaintEvent& event);

    wxFont m_zoomFont;
    wxFont m_font;
    wxString m_text;
    wxTimer m_timer;
};

} // namespace lumo
