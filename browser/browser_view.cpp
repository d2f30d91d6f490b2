#include "browser/browser_view.h"

#include <wx/sizer.h>
#include <wx/toplevel.h>

#include "app/frame_commands.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "app/url_opener.h"
#include "browser/web_environment.h"

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
    m_engine.reset(); // before its window goes with the pane's children
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
    if (!m_engine)
    {
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
    if (!m_engine)
    {
        m_engineFailed = true;
        return nullptr;
    }
    GetSizer()->Add(m_engine->Window(), wxSizerFlags(1).Expand());
    Layout();
    if (m_pendingUrl)
    {
        std::string url = std::move(*m_pendingUrl);
        m_pendingUrl.reset();
        m_engine->LoadURL(url);
    }
    return m_engine.get();
}

void CLumoNewsReaderView::NavigateTo(std::string url)
{
    if (!m_engine)
    {
        m_pendingUrl = std::move(url);
        return;
    }
    m_engine->LoadURL(url);
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

void CLumoNewsReaderView::OnTitleChanged(const std::string& title)
{
    if (wxWindow* top = wxGetTopLevelParent(this))
        top->SetLabel(wxString::FromUTF8(title) + " - " + kAppName);
}

void CLumoNewsReaderView::OnNewWindow(const std::string& url)
{
    OpenUrlOutside(url);
}

bool CLumoNewsReaderView::WebSandboxSupported()
{
    return lumo::WebSandboxSupported();
}

} // namespace lumo
