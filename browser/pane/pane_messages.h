#pragma once
// Where the pane's messages show and which one wins: the status bar's first
// field while the frame shows its status bar (a hovered link over the wait
// for the filters, over the load, over the engine's last notice, over
// "Ready"), else a note over the page for a few seconds (and a message box
// when there is no page on screen to show it over).
#include <functional>
#include <string>

#include <wx/string.h>

class wxStatusBar;
class wxWindow;

namespace lumo {

class LoadProgressLine;
class PaneBadge;

// How long a message shows in the pane while there is no status bar.
inline constexpr int kNoticeShownMs = 4000;

class PaneMessages
{
public:
    // For the pane `pane`, whose load shows on `line`; `shownPage` gives the
    // window over which notes show (the page, or the reader view).
    PaneMessages(wxWindow* pane, const LoadProgressLine& line,
                 std::function<wxWindow*()> shownPage);

    // What the status line is made of.
    void SetHoveredLink(const std::string& url);
    void SetLoadingHost(const std::string& host);
    void SetPreparingFilters(bool preparing);
    // The engine's last notice stands in place of "Ready" until it is
    // forgotten (the next page asked for).
    void SetEngineNotice(const std::string& text);

    // Writes the status line anew (nothing without a status bar).
    void ShowStatus();
    // One line for the user: in the status bar when it is shown, else
    // briefly in the pane.
    void ShowNotice(const std::string& text);
    // Shows `text` over the middle of the page for `shownMs`: the zoom
    // badge (`zoom`), or a note.
    void ShowBadge(const wxString& text, bool zoom, int shownMs);
    // The text shown over the page right now, or empty.
    wxString PaneNotice() const;

private:
    // The frame's status bar while it is shown, else nullptr.
    wxStatusBar* ShownStatusBar() const;

    wxWindow* m_pane;
    const LoadProgressLine& m_line;
    std::function<wxWindow*()> m_shownPage;
    PaneBadge* m_badge = nullptr;
    std::string m_loadingHost;
    std::string m_hoveredLink;
    bool m_preparingFilters = false;
    std::string m_engineNotice;
};

} // namespace lumo
