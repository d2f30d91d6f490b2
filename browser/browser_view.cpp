#include "browser/browser_view.h"

#include <algorithm>

#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/toplevel.h>

#include "app/frame_commands.h"
#include "app/message_box.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/url_opener.h"
#include "browser/web_environment.h"

namespace lumo {

namespace {
constexpr int kProgressLineHeight = 3;
}

// A slim line along the top edge of the pane, as long as the load is far;
// empty while nothing loads. It takes no keyboard focus.
class LoadProgressLine : public wxWindow
{
public:
    explicit LoadProgressLine(wxWindow* parent)
        : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(-1, kProgressLineHeight),
                   wxBORDER_NONE)
    {
        SetName("Load progress");
        SetMinSize(wxSize(-1, kProgressLineHeight));
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, &LoadProgressLine::OnPaint, this);
    }

    void SetProgress(double progress)
    {
        m_loading = true;
        m_progress = std::clamp(progress, 0.0, 1.0);
        Refresh();
    }
    void SetLoading(bool loading)
    {
        m_loading = loading;
        Refresh();
    }
    bool IsLoading() const { return m_loading; }

    bool AcceptsFocus() const override { return false; }

private:
    void OnPaint(wxPaintEvent&)
    {
        wxPaintDC dc(this);
        wxSize size = GetClientSize();
        if (!m_loading) {
            dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
            dc.Clear();
            return;
        }
        // At least a short stub, so that a load just begun shows at once.
        int done = std::max(size.x / 20, static_cast<int>(size.x * m_progress));
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(wxColour(0xf0, 0x8a, 0x24)));
        dc.DrawRectangle(0, 0, done, size.y);
        dc.SetBrush(wxBrush(wxColour(0xd9, 0xe0, 0xec)));
        dc.DrawRectangle(done, 0, size.x - done, size.y);
    }

    double m_progress = 0.0;
    bool m_loading = false;
};

CLumoNewsReaderView::CLumoNewsReaderView(wxWindow* parent, CLumoNewsReaderDoc& doc,
                                         ProfileStore& profile)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxNO_BORDER), m_doc(doc),
      m_profile(profile)
{
    // No wxTAB_TRAVERSAL: Tab inside the page walks the page's links rather
    // than leaving for the tree.
    SetName("Browser pane");
    m_progressLine = new LoadProgressLine(this);
    SetSizer(new wxBoxSizer(wxVERTICAL));
    GetSizer()->Add(m_progressLine, wxSizerFlags().Expand());
}

CLumoNewsReaderView::~CLumoNewsReaderView()
{
    m_engine.reset(); // before its window goes with the pane's children
    if (m_doc.m_pHtmlView == this)
        m_doc.m_pHtmlView = nullptr;
}

bool CLumoNewsReaderView::ShowsLoadProgress() const
{
    return m_progressLine->IsLoading();
}

void CLumoNewsReaderView::OnInitialUpdate()
{
    int indexPage = m_profile.Get(kIndexPage);
    std::optional<std::string> first = FirstPageFor(
        indexPage, indexPage == 3 ? m_profile.GetProfileString(kSettingsSection, kIndexPageURL)
                                  : std::string());
    // Started again after the web engine failed: back to the page shown.
    if (const char* resume = getenv(kResumeAddressVariable)) {
        first = std::string(resume);
        unsetenv(kResumeAddressVariable);
    }
    if (first)
        NavigateTo(*first);
    m_doc.m_pHtmlView = this;
    if (!m_engine) {
        // The window shows first; the web engine starts right after it.
        CallAfter([this] { CreateBrowser(); });
    }
}

WebEngine* CLumoNewsReaderView::CreateBrowser()
{
    if (m_engine || m_engineFailed)
        return m_engine.get();
    WebEngineFactory factory = CurrentWebEngineFactory();
    m_engine.reset(factory ? factory(this, *this) : nullptr);
    if (!m_engine) {
        m_engineFailed = true;
        return nullptr;
    }
    GetSizer()->Add(m_engine->Window(), wxSizerFlags(1).Expand());
    Layout();
    if (m_pendingUrl) {
        auto [url, name] = std::move(*m_pendingUrl);
        m_pendingUrl.reset();
        m_engine->LoadURL(url, name);
    }
    return m_engine.get();
}

void CLumoNewsReaderView::NavigateTo(std::string url, std::string name)
{
    if (!m_engine) {
        m_pendingUrl.emplace(std::move(url), std::move(name));
        return;
    }
    m_engine->LoadURL(url, name);
}

void CLumoNewsReaderView::GoBack()
{
    if (m_engine)
        m_engine->GoBack();
}

void CLumoNewsReaderView::GoForward()
{
    if (m_engine)
        m_engine->GoForward();
}

void CLumoNewsReaderView::Reload()
{
    if (m_engine)
        m_engine->Reload();
}

void CLumoNewsReaderView::StopLoading()
{
    if (m_engine)
        m_engine->StopLoading();
}

bool CLumoNewsReaderView::IsLoading() const
{
    return m_engine && m_engine->IsLoading();
}

void CLumoNewsReaderView::Print()
{
    if (m_engine)
        m_engine->Print();
}

void CLumoNewsReaderView::Edit(EditCommand command)
{
    if (m_engine)
        m_engine->Edit(command);
}

void CLumoNewsReaderView::FocusPage()
{
    if (m_engine)
        m_engine->FocusPage();
    else
        SetFocus();
}

bool CLumoNewsReaderView::HandleKey(const wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    const int modifiers = event.GetModifiers();
    if (key == WXK_ESCAPE && modifiers == wxMOD_NONE) {
        if (!IsLoading())
            return false; // the page's own Escape
        StopLoading();
        return true;
    }
    if ((key == WXK_F5 && modifiers == wxMOD_NONE) || (key == 'R' && modifiers == wxMOD_CONTROL)) {
        Reload();
        return true;
    }
    if (modifiers == wxMOD_ALT && (key == WXK_LEFT || key == WXK_RIGHT)) {
        if (key == WXK_LEFT)
            GoBack();
        else
            GoForward();
        return true;
    }
    return false;
}

void CLumoNewsReaderView::OnTitleChanged(const std::string& title)
{
    m_pageTitle = title;
    if (wxWindow* top = wxGetTopLevelParent(this))
        top->SetLabel(wxString::FromUTF8(title) + " - " + kAppName);
}

void CLumoNewsReaderView::Open(const std::string& url)
{
    if (OpenUrlOutside(url))
        return;
    // Nothing could be started: say so rather than do nothing.
    const std::string text = CannotOpenMessage(url);
    if (wxStatusBar* bar = ShownStatusBar())
        bar->SetStatusText(wxString::FromUTF8(text), 0);
    else
        AppMessageBox(text);
}

void CLumoNewsReaderView::OnNewWindow(const std::string& url)
{
    Open(url);
}

void CLumoNewsReaderView::OnOpenOutside(const std::string& url)
{
    Open(url);
}

void CLumoNewsReaderView::OnLoadProgress(const std::string& host, double progress)
{
    m_loadingHost = host;
    m_progressLine->SetProgress(progress);
    ShowStatus();
}

void CLumoNewsReaderView::OnLoadEnded()
{
    m_progressLine->SetLoading(false);
    ShowStatus();
}

void CLumoNewsReaderView::OnLinkHovered(const std::string& url)
{
    m_hoveredLink = url;
    ShowStatus();
}

void CLumoNewsReaderView::OnPageFocused()
{
    // Tell the frame, as the toolkit does for its own windows.
    wxChildFocusEvent event(WebWindow());
    WebWindow()->ProcessWindowEvent(event);
}

wxStatusBar* CLumoNewsReaderView::ShownStatusBar() const
{
    auto* frame =
        dynamic_cast<wxFrame*>(wxGetTopLevelParent(const_cast<CLumoNewsReaderView*>(this)));
    wxStatusBar* bar = frame ? frame->GetStatusBar() : nullptr;
    return bar && bar->IsShown() ? bar : nullptr;
}

void CLumoNewsReaderView::ShowStatus()
{
    wxStatusBar* bar = ShownStatusBar();
    if (!bar)
        return;
    const bool loading = m_progressLine->IsLoading();
    std::string text;
    if (!m_hoveredLink.empty())
        text = m_hoveredLink;
    else if (loading && !m_loadingHost.empty())
        text = "Loading " + m_loadingHost + "\u2026";
    else if (loading)
        text = "Loading\u2026";
    else
        text = kIdleMessage;
    bar->SetStatusText(wxString::FromUTF8(text), 0);
}

bool CLumoNewsReaderView::WebSandboxSupported()
{
    return lumo::WebSandboxSupported();
}

} // namespace lumo
