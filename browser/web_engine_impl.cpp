// The web engine: a wxWebView on WebKitGTK, hardened for pages from anywhere.
// Built into liblumo_web_engine.so, which the program loads after its window
// is on screen.
#include <wx/webview.h>

#include "browser/start_page_handler.h"
#include "browser/web_engine.h"
#include "browser/web_environment.h"

#ifdef __WXGTK__
#include <webkit2/webkit2.h>
#endif

namespace lumo {
namespace {

const char* kCrashMessageHtml =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
    "<title>This page stopped working</title></head>"
    "<body style=\"font-family:sans-serif;margin:3em\">"
    "<h1>This page stopped working</h1>"
    "<p>The page was closed twice in a row because its content stopped working. "
    "Choose a newspaper in the tree, or use Browse &gt; Home, to go on reading.</p>"
    "</body></html>";

class WebKitEngine : public WebEngine, public wxEvtHandler
{
public:
    WebKitEngine(wxWebView* view, WebEngineHost& host) : m_webView(view), m_host(host)
    {
        ApplyHardening();
        m_webView->Bind(wxEVT_WEBVIEW_TITLE_CHANGED, &WebKitEngine::OnTitleChanged, this);
        m_webView->Bind(wxEVT_WEBVIEW_NEWWINDOW, &WebKitEngine::OnNewWindow, this);
        m_webView->Bind(wxEVT_WEBVIEW_LOADED, &WebKitEngine::OnLoaded, this);
    }

    ~WebKitEngine() override
    {
        m_webView->Unbind(wxEVT_WEBVIEW_TITLE_CHANGED, &WebKitEngine::OnTitleChanged, this);
        m_webView->Unbind(wxEVT_WEBVIEW_NEWWINDOW, &WebKitEngine::OnNewWindow, this);
        m_webView->Unbind(wxEVT_WEBVIEW_LOADED, &WebKitEngine::OnLoaded, this);
#ifdef __WXGTK__
        g_signal_handlers_disconnect_by_data(m_webView->GetNativeBackend(), this);
#endif
    }

    wxWindow* Window() override { return m_webView; }
    wxWebView* View() override { return m_webView; }

    void LoadURL(const std::string& url) override
    {
        m_reloadingAfterCrash = false;
        m_showsCrashMessage = false;
        m_webView->LoadURL(wxString::FromUTF8(url));
    }

    void GoBack() override
    {
        if (m_webView->CanGoBack())
            m_webView->GoBack();
    }

    void GoForward() override
    {
        if (m_webView->CanGoForward())
            m_webView->GoForward();
    }

    void Print() override { m_webView->Print(); }

    void Edit(EditCommand command) override
    {
        switch (command)
        {
        case EditCommand::Undo:
            m_webView->Undo();
            break;
        case EditCommand::Cut:
            m_webView->Cut();
            break;
        case EditCommand::Copy:
            m_webView->Copy();
            break;
        case EditCommand::Paste:
            m_webView->Paste();
            break;
        }
    }

    int CrashReloadCount() const override { return m_crashReloads; }
    bool ShowsCrashMessage() const override { return m_showsCrashMessage; }

private:
    void OnTitleChanged(wxWebViewEvent& event)
    {
        m_host.OnTitleChanged(event.GetString().utf8_string());
    }

    void OnNewWindow(wxWebViewEvent& event)
    {
        // The pane keeps its page; the host opens the new one elsewhere.
        m_host.OnNewWindow(event.GetURL().utf8_string());
    }

    void OnLoaded(wxWebViewEvent& event)
    {
        m_reloadingAfterCrash = false;
        event.Skip();
    }

    void ApplyHardening()
    {
        m_webView->EnableAccessToDevTools(false);
#ifdef __WXGTK__
        auto* native = static_cast<WebKitWebView*>(m_webView->GetNativeBackend());
        WebKitSettings* settings = webkit_web_view_get_settings(native);
        webkit_settings_set_allow_file_access_from_file_urls(settings, FALSE);
        webkit_settings_set_allow_universal_access_from_file_urls(settings, FALSE);
        webkit_settings_set_enable_developer_extras(settings, FALSE);
        webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
        // Plugins are gone from current engines; switch them off where the
        // setting still exists.
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(settings), "enable-plugins"))
            g_object_set(settings, "enable-plugins", FALSE, nullptr);

        g_signal_connect(native, "script-dialog", G_CALLBACK(ScriptDialogThunk), this);
        g_signal_connect(native, "permission-request", G_CALLBACK(PermissionRequestThunk), this);
        g_signal_connect(native, "web-process-terminated", G_CALLBACK(WebProcessTerminatedThunk),
                         this);
#endif
    }

    void OnWebProcessTerminated()
    {
        if (m_showsCrashMessage)
            return; // even the message could not be shown; leave the pane as it is
        if (!m_reloadingAfterCrash)
        {
            m_reloadingAfterCrash = true;
            ++m_crashReloads;
            m_webView->Reload();
            return;
        }
        m_reloadingAfterCrash = false;
        m_showsCrashMessage = true;
        m_webView->SetPage(kCrashMessageHtml, "about:blank");
    }

#ifdef __WXGTK__
    static void WebProcessTerminatedThunk(WebKitWebView*, WebKitWebProcessTerminationReason,
                                          gpointer self)
    {
        // Whatever ended the process (a crash, the system's memory limits), the
        // pane must not stay dead. Leave the signal handler before loading again.
        auto* engine = static_cast<WebKitEngine*>(self);
        engine->CallAfter([engine] { engine->OnWebProcessTerminated(); });
    }

    static gboolean ScriptDialogThunk(WebKitWebView*, WebKitScriptDialog* dialog, gpointer)
    {
        // Silent mode: no alert, confirm, prompt or leave-page dialog from any
        // page. A confirm or leave-page question is answered "no"; a prompt
        // gets no text.
        switch (webkit_script_dialog_get_dialog_type(dialog))
        {
        case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
            webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
            break;
        default:
            break;
        }
        return TRUE; // handled: nothing is shown
    }

    static gboolean PermissionRequestThunk(WebKitWebView*, WebKitPermissionRequest* request,
                                           gpointer)
    {
        // Pages get no location, notifications, camera or microphone, and no
        // question about them.
        webkit_permission_request_deny(request);
        return TRUE;
    }
#endif

    wxWebView* m_webView;
    WebEngineHost& m_host;
    bool m_reloadingAfterCrash = false;
    bool m_showsCrashMessage = false;
    int m_crashReloads = 0;
};

} // namespace
} // namespace lumo

extern "C" lumo::WebEngine* lumo_create_web_engine(wxWindow* parent, lumo::WebEngineHost& host)
{
    if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault))
        return nullptr;
    lumo::RegisterStartPageScheme();
    lumo::EnableWebSandbox(host.WebSandboxSupported());
    wxWebView* view = wxWebView::New();
    if (!view->Create(parent, wxID_ANY, wxString(), wxDefaultPosition, parent->GetClientSize()))
    {
        delete view;
        return nullptr;
    }
    view->SetName("Web page");
    return new lumo::WebKitEngine(view, host);
}
