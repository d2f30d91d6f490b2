#pragma once
// The toolbar under the menu bar (View > Toolbar): Back, Forward, Reload (Stop
// while a page loads), Home, then Reader view, Zoom out, Zoom in and Find in
// page, with the desktop's icons. Hidden at first start; whether it shows is
// kept in a settings group of its own.
class wxToolBar;
class wxUpdateUIEvent;

namespace lumo {

class CMainFrame;
class ProfileStore;

inline constexpr const char* kToolbarSection = "Toolbar";
inline constexpr const char* kToolbarShownKey = "Shown";

class FrameToolBar
{
public:
    // Shows the toolbar when it was shown at the last exit, and makes View >
    // Toolbar show and hide it, checked while it shows.
    FrameToolBar(CMainFrame& frame, ProfileStore& profile);

    bool IsShown() const;
    void Show(bool show);
    // The toolbar, once it has been shown; nullptr before.
    wxToolBar* Bar() const { return m_bar; }

private:
    void Create();
    void UpdateReloadOrStop(wxUpdateUIEvent& event);

    CMainFrame& m_frame;
    ProfileStore& m_profile;
    wxToolBar* m_bar = nullptr;
    bool m_showsStop = false;
};

} // namespace lumo
