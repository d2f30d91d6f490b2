#pragma once
// The browser pane: an embedded web view in which newspapers, the start page
// and the help page are shown. It opens the start page at its first update,
// keeps the main window's caption in step with the page title, shows no
// dialogs on behalf of pages, sends pages' new windows to the user's own
// browser, and recovers when the web content process dies.
#include <optional>
#include <string>

#include <wx/panel.h>

#include "app/document.h"

class wxWebView;
class wxWebViewEvent;

namespace lumo {

class ProfileStore;

class CLumoNewsReaderView : public wxPanel, public BrowserPane
{
public:
    CLumoNewsReaderView(wxWindow* parent, CLumoNewsReaderDoc& doc, ProfileStore& profile);
    ~CLumoNewsReaderView() override;

    // The pane's first update: the start page chosen by IndexPage, then the
    // link in the document. The web engine itself starts right after the
    // window is on screen (see CreateBrowser).
    void OnInitialUpdate();

    void NavigateTo(std::string url) override;
    void GoBack() override;
    void GoForward() override;
    // Prints the page shown (the print dialog of the web engine).
    void Print();

    // Starts the web engine now if it has not started yet, and returns it
    // (nullptr when no web engine is available).
    wxWebView* CreateBrowser();
    wxWebView* WebView() const { return m_webView; }

    // How often the pane has reloaded a page after its web process died, and
    // whether it gave up and shows the failure message.
    int CrashReloadCount() const { return m_crashReloads; }
    bool ShowsCrashMessage() const { return m_showsCrashMessage; }

    // The text shown in the pane when a page keeps failing.
    static const char* CrashMessageHtml();

private:
    void OnTitleChanged(wxWebViewEvent& event);
    void OnNewWindow(wxWebViewEvent& event);
    void OnLoaded(wxWebViewEvent& event);
    void OnWebProcessTerminated();
    void ApplyHardening();
    void SetCaption(const wxString& text);

    static void WebProcessTerminatedThunk(void* webView, int reason, void* self);
    static int ScriptDialogThunk(void* webView, void* dialog, void* self);
    static int PermissionRequestThunk(void* webView, void* request, void* self);

    CLumoNewsReaderDoc& m_doc;
    ProfileStore& m_profile;
    wxWebView* m_webView = nullptr;
    // The address asked for before the web engine was started.
    std::optional<std::string> m_pendingUrl;
    bool m_reloadingAfterCrash = false;
    bool m_showsCrashMessage = false;
    int m_crashReloads = 0;
};

} // namespace lumo
