#include "app/lumo_app.h"

#include <wx/config.h>
#include <wx/filehistory.h>
#include <wx/log.h>
#include <wx/weakref.h>

#include "app/main_frame.h"
#include "app/skin.h"
#include "browser/web_engine.h"
#include "common/app_paths.h"
#include "common/file_replacement.h"
#include "common/message_box.h"
#include "common/resource_ids.h"
#include "favorites/favorites_store.h"
#include "ui/app_icon.h"

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace lumo {

CLumoNewsReaderApp::CLumoNewsReaderApp() = default;
CLumoNewsReaderApp::~CLumoNewsReaderApp() = default;

#ifdef __WXGTK__
namespace {

// A window mapped maximised, or maximised before it reaches its normal size,
// leaves the window manager no usable size to return to when it is
// un-maximised. So the window is maximised once it shows at its normal size
// (or after a second, if the screen cannot hold that size).
void MaximizeNow(GtkWidget* widget, bool fromTimer = false);

gboolean MaximizeOnceSized(GtkWidget* widget, GdkEventConfigure* event, gpointer)
{
    int width = 0, height = 0;
    gtk_window_get_default_size(GTK_WINDOW(widget), &width, &height);
    if (gtk_widget_get_mapped(widget) && event->width >= width && event->height >= height)
        MaximizeNow(widget);
    return FALSE;
}

gboolean MaximizeAnyway(gpointer widget)
{
    MaximizeNow(GTK_WIDGET(widget), true);
    return G_SOURCE_REMOVE;
}

void MaximizeNow(GtkWidget* widget, bool fromTimer)
{
    if (!fromTimer)
        g_source_remove_by_user_data(widget);
    if (g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(MaximizeOnceSized),
                                             nullptr))
        gtk_window_maximize(GTK_WINDOW(widget));
}

void MaximizeOnceShownAtNormalSize(wxTopLevelWindow& window)
{
    GtkWidget* widget = window.GetHandle();
    g_signal_connect(widget, "configure-event", G_CALLBACK(MaximizeOnceSized), nullptr);
    // The timer holds the window, which may be gone before it fires.
    g_timeout_add_full(G_PRIORITY_DEFAULT, 1000, MaximizeAnyway, g_object_ref(widget),
                       g_object_unref);
}

} // namespace
#endif

void ShowWithShowCommand(wxTopLevelWindow& window, WindowShow showCommand)
{
    switch (showCommand) {
    case WindowShow::Maximized:
#ifdef __WXGTK__
        MaximizeOnceShownAtNormalSize(window);
        window.Show();
#else
        window.Maximize(true);
        window.Show();
#endif
        break;
    case WindowShow::Minimized:
    case WindowShow::Minimize:
    case WindowShow::MinimizedInactive:
        window.Show();
        window.Iconize(true);
        break;
    default:
        window.Show();
        break;
    }
}

bool CLumoNewsReaderApp::OnInit()
{
    // The framework's command line: no options of our own.
    if (!wxApp::OnInit())
        return false;

    SetAppName(kAppTitle);
    SetVendorName(kSettingsVendor);
    m_config = OpenSettingsFile(SettingsFilePath());
    wxConfigBase::Set(m_config.get());
    m_profile = std::make_unique<ProfileStore>(*m_config);
    m_fileHistory = std::make_unique<wxFileHistory>(4);
    {
        wxLogNull quiet;
        m_config->SetPath("/Recent File List");
        m_fileHistory->Load(*m_config);
        m_config->SetPath("/");
    }

    const WindowShow windowSize = m_profile->Get(kWindowSize);
    if (const char* skin = SkinFileForStyle(m_profile->Get(kSkinStyle)))
        InitializeSkin(skin);

    // What saves cut short by an earlier end of the program left behind.
    RemoveLeftoverSaves(FavoritesFilePath());
    RemoveLeftoverReplacements(SettingsFilePath());

    m_reporter.Hold();
    auto* frame = new CMainFrame(*m_profile, m_reporter);
    if (!frame->Create()) {
        frame->Destroy();
        return false;
    }
    m_frame = frame;
    frame->SetFileHistory(m_fileHistory.get());
    SetTopWindow(frame);
    frame->InitialUpdate();

    // The engine's libraries load while the window shows. Not earlier: their
    // loading holds the dynamic linker's lock, which building the window
    // needs too (for threads and Xlib's cursor library).
    PreloadWebEngine();
    ShowWithShowCommand(*frame, windowSize);
    frame->Update();
    // What start-up has to say (settings that can never be saved, a
    // favorites file that cannot be read) comes over the shown window, once
    // the engine's libraries are loaded, as the icon does.
    WhenWebEngineLoaded([this, frame = wxWeakRef<CMainFrame>(frame)] {
        if (!frame)
            return;
        if (m_config)
            TellWhenSettingsCannotBeSaved(
                *m_config, [this](const std::string& text) { m_reporter.ShowMessage(text); });
        m_reporter.Release();
    });
    // Decoding the icon's sizes is left until the window is on screen, and
    // until the engine's libraries are loaded: Xlib looks a symbol up for the
    // icon's mask, and would wait for that load with the window not yet shown.
    WhenWebEngineLoaded([frame = wxWeakRef<CMainFrame>(frame)] {
        if (frame)
            frame->SetIcons(AppIconBundle());
    });

    frame->SetTitle(wxString(kAppName) + " " + kVersionText);
    return true;
}

int CLumoNewsReaderApp::OnExit()
{
    FinishWebEnginePreload();
    ExitSkin();
    // The recent-file list is written only when it has something to keep.
    if (m_config && m_fileHistory && m_fileHistory->GetCount() > 0) {
        wxLogNull quiet;
        m_config->SetPath("/Recent File List");
        m_fileHistory->Save(*m_config);
        m_config->SetPath("/");
        m_config->Flush();
    }
    wxConfigBase::Set(nullptr);
    m_profile.reset();
    m_config.reset();
    return wxApp::OnExit();
}

bool CLumoNewsReaderApp::OnExceptionInMainLoop()
{
    // An unexpected exception in one command must not take the user's window
    // away: report it and carry on.
    try {
        throw;
    } catch (const std::exception& e) {
        wxLogError("Unexpected error: %s", e.what());
    } catch (...) {
        wxLogError("Unexpected error.");
    }
    return true;
}

} // namespace lumo
