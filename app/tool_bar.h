#pragma once
// The toolbar under the menu bar (View > Toolbar): Back, Forward, Reload (Stop
// while a page loads), Home, then Reader view, Zoom out, Actual size, Zoom in
// and Find in page, with the desktop's icons. Hidden at first start; whether it shows is
// kept in a settings group of its own.
#include "common/settings.h"

class wxToolBar;
class wxUpdateUIEvent;

namespace lumo {

class CMainFrame;

inline constexpr SwitchSetting kToolbarShown{"Toolbar", "Shown", false};

class FrameToolBar
{
public:
    // Shows the toolbar when it was shown at the last exit.
    FrameToolBar(CMainFrame& frame, ProfileStore& profile);

    bool IsShown() const;
    // View > Toolbar: shows or hides it, and keeps the choice.
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
