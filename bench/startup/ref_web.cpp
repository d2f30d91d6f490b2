// Reference program for the start-up benchmark: the cheapest window that shows
// a local page in the default web engine. A frame holding one wxWebView that
// loads the file given on the command line; when the page reports its title,
// the caption becomes "<title> - Reference", which the probe waits for.
//
// Usage: ref_web <page.html | file:// URL>
// With REF_WEB_SANDBOX=1 in the environment the engine runs its page
// processes in its sandbox, as the program does where the sandbox works.

#include <cstdlib>

#include <wx/app.h>
#include <wx/cmdline.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/webview.h>

#include <webkit2/webkit2.h>

namespace lumo {
namespace {

/// The reference frame: one web view filling the client area.
class RefWebFrame : public wxFrame
{
public:
    explicit RefWebFrame(const wxString& url)
        : wxFrame(nullptr, wxID_ANY, "Reference Web", wxDefaultPosition, wxSize(1024, 720))
    {
        wxWebView* view = wxWebView::New(this, wxID_ANY, url);
        view->Bind(wxEVT_WEBVIEW_TITLE_CHANGED, &RefWebFrame::OnTitleChanged, this);
    }

private:
    void OnTitleChanged(wxWebViewEvent& event) { SetTitle(event.GetString() + " - Reference"); }
};

/// Takes the page from the command line and shows it.
class RefWebApp : public wxApp
{
public:
    bool OnInit() override
    {
        if (!wxApp::OnInit())
            return false;
        // Same engine setting as the program: the DMA-BUF renderer fails on
        // many virtual and remote displays. An explicit user choice wins.
        setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
        if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault))
            return false;
        if (const char* sandbox = std::getenv("REF_WEB_SANDBOX"); sandbox && *sandbox == '1')
            webkit_web_context_set_sandbox_enabled(webkit_web_context_get_default(), TRUE);
        auto* frame = new RefWebFrame(m_url);
        frame->Show();
        return true;
    }

    void OnInitCmdLine(wxCmdLineParser& parser) override
    {
        wxApp::OnInitCmdLine(parser);
        parser.AddParam("page", wxCMD_LINE_VAL_STRING);
    }

    bool OnCmdLineParsed(wxCmdLineParser& parser) override
    {
        if (!wxApp::OnCmdLineParsed(parser))
            return false;
        const wxString page = parser.GetParam(0);
        m_url = page.StartsWith("file:") ? page : wxFileName::FileNameToURL(wxFileName(page));
        return true;
    }

private:
    wxString m_url;
};

} // namespace
} // namespace lumo

wxIMPLEMENT_APP(lumo::RefWebApp);
