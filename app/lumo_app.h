#pragma once
// The application object: opens the settings, starts the skin, builds the
// main window with its panes, shows it as the user left it, and shuts the
// skin down at exit.
#include <memory>

#include <wx/app.h>
#include <wx/toplevel.h>

#include "common/settings.h"
#include "favorites/message_box_reporter.h"

class wxConfigBase;
class wxFileHistory;

namespace lumo {

class CMainFrame;

class CLumoNewsReaderApp : public wxApp
{
public:
    CLumoNewsReaderApp();
    ~CLumoNewsReaderApp() override;

    bool OnInit() override;
    int OnExit() override;
    bool OnExceptionInMainLoop() override;

    CMainFrame* MainFrame() const { return m_frame; }

private:
    SettingsFile m_config;
    std::unique_ptr<ProfileStore> m_profile;
    std::unique_ptr<wxFileHistory> m_fileHistory;
    MessageBoxReporter m_reporter;
    CMainFrame* m_frame = nullptr;
};

// Shows a top-level window with a stored show command: 3 maximised, the
// minimising commands (2, 6, 7) minimised, every other value in its normal
// state (also 0, which would leave the program without a visible window).
void ShowWithShowCommand(wxTopLevelWindow& window, WindowShow showCommand);

} // namespace lumo

wxDECLARE_APP(lumo::CLumoNewsReaderApp);
