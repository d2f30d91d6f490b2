#include "browser/browser_view.h"

#include <wx/sizer.h>
#include <wx/toplevel.h>
#include <wx/webview.h>

#include "app/frame_commands.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/url_opener.h"
#include "browser/start_page_handler.h"
#include "browser/web_environment.h"

#ifdef __WXGTK__
#include <webkit2/webkit2.h>
#endif

namespace lumo {

CLumoNewsReaderView::CLumoNewsReaderView(wxWindow* parent, CLumoNewsReaderDoc& doc,
                                         ProfileStore& profile)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER),
      m_doc(doc), m_profile(profile)
{
    SetName("Browser pane");
    SetSizer(new wxBoxSizer(wxVERTICAL));
}

CLumoNewsReaderView::~CLumoNewsReaderView()
{
#ifdef __WXGTK__
    if (m_webView)
        g_signal_handlers_disconnect_by_data(m_webView->GetNativeBackend(), this);
#endif
    if (m_doc.m_pHtmlView == this)
        m_doc.m_pHtmlView = nullptr;
}

void CLumoNewsReaderView::OnInitialUpdate()
{
    int indexPage = m_profile.Get(kIndexPage);
    std::optional<std::string> first =
        FirstPageFor(indexPage, indexPage == 3
                                    ? m_profile.GetProfileString(kSettingsSection, kIndexPageURL)
                                    : std::string());
    if (first)
        NavigateTo(*first);
    m_doc.m_pHtmlView = this;
    if (!m_webView)
    {
        // The window shows first; the web engine starts right after it.
        CallAfter([this] { CreateBrowser(); });
    }
}

wxWebView* CLumoNewsReaderView::CreateBrowser()
{
    if (m_webView || !wxWebView::IsBackendAvailable(wxWebViewBackendDefault))
        return m_webView;

    RegisterStartPageScheme();
    EnableWebSandboxWhereSupported();
    wxWebView* view = wxWebView::New();
    if (!view->Create(this, wxID_ANY, wxString(), wxDefaultPosition, GetClientSize()))
    {
        delete view;
        return nullptr;
    }
    m_webView = view;
    m_webView->SetName("Web page");
    ApplyHardening();
    GetSizer()->Add(m_webView, wxSizerFlags(1).Expand());
    Layout();

    m_webView->Bind(wxEVT_WEBVIEW_TITLE_CHANGED, &CLumoNewsReaderView::OnTitleChanged, this);
    m_webView->Bind(wxEVT_WEBVIEW_NEWWINDOW, &CLumoNewsReaderView::OnNewWindow, this);
    m_webView->Bind(wxEVT_WEBVIEW_LOADED, &CLumoNewsReaderView::OnLoaded, this);

    if (m_pendingUrl)
    {
        std::string url = std::move(*m_pendingUrl);
        m_pendingUrl.reset();
        m_webView->LoadURL(wxString::FromUTF8(url));
    }
    return m_webView;
}

void CLumoNewsReaderView::ApplyHardening()
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

void CLumoNewsReaderView::NavigateTo(std::string url)
{
    m_reloadingAfterCrash = false;
    m_showsCrashMessage = false;
    if (!m_webView)
    {
        m_pendingUrl = std::move(url);
        return;
    }
    m_webView->LoadURL(wxString::FromUTF8(url));
}

void CLumoNewsReaderView::GoBack()
{
    if (m_webView && m_webView->CanGoBack())
        m_webView->GoBack();
}

void CLumoNewsReaderView::GoForward()
{
    if (m_webView && m_webView->CanGoForward())
        m_webView->GoForward();
}

void CLumoNewsReaderView::Print()
{
    if (m_webView)
        m_webView->Print();
}

void CLumoNewsReaderView::SetCaption(const wxString& text)
{
    if (wxWindow* top = wxGetTopLevelParent(this))
        top->SetLabel(text);
}

void CLumoNewsReaderView::OnTitleChanged(wxWebViewEvent& event)
{
    SetCaption(event.GetString() + " - " + kAppName);
}

void CLumoNewsReaderView::OnNewWindow(wxWebViewEvent& event)
{
    // The pane keeps its page; the new window opens in the user's own browser.
    OpenUrlOutside(event.GetURL().utf8_string());
}

void CLumoNewsReaderView::OnLoaded(wxWebViewEvent& event)
{
    m_reloadingAfterCrash = false;
    event.Skip();
}

const char* CLumoNewsReaderView::CrashMessageHtml()
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
           "<title>This page stopped working</title></head>"
           "<body style=\"font-family:sans-serif;margin:3em\">"
           "<h1>This page stopped working</h1>"
           "<p>The page was closed twice in a row because its content stopped working. "
           "Choose a newspaper in the tree, or use Browse &gt; Home, to go on reading.</p>"
           "</body></html>";
}

void CLumoNewsReaderView::OnWebProcessTerminated()
{
    if (!m_webView)
        return;
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
    m_webView->SetPage(CrashMessageHtml(), "about:blank");
}

void CLumoNewsReaderView::WebProcessTerminatedThunk(void*, int, void* self)
{
    // Whatever ended the process (a crash, the system's memory limits), the
    // pane must not stay dead. Leave the signal handler before loading again.
    auto* view = static_cast<CLumoNewsReaderView*>(self);
    view->CallAfter([view] { view->OnWebProcessTerminated(); });
}

int CLumoNewsReaderView::ScriptDialogThunk(void*, void* dialog, void*)
{
#ifdef __WXGTK__
    // Silent mode: no alert, confirm, prompt or leave-page dialog from any page.
    // A confirm or leave-page question is answered "no"; a prompt gets no text.
    auto* scriptDialog = static_cast<WebKitScriptDialog*>(dialog);
    switch (webkit_script_dialog_get_dialog_type(scriptDialog))
    {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        webkit_script_dialog_confirm_set_confirmed(scriptDialog, FALSE);
        break;
    default:
        break;
    }
#else
    (void)dialog;
#endif
    return 1; // handled: nothing is shown
}

int CLumoNewsReaderView::PermissionRequestThunk(void*, void* request, void*)
{
#ifdef __WXGTK__
    // Pages get no location, notifications, camera or microphone, and no
    // question about them.
    webkit_permission_request_deny(static_cast<WebKitPermissionRequest*>(request));
#else
    (void)request;
#endif
    return 1;
}

} // namespace lumo
