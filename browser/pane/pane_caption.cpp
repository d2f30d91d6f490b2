#include "browser/pane/pane_caption.h"

#include <wx/toplevel.h>

#include "browser/core/web_address.h"
#include "common/window_caption.h"

namespace lumo {
namespace {

// The site of a page of the web, which names it while it has no title.
std::string SiteOf(const std::string& address)
{
    const std::string scheme = SchemeOf(address);
    return scheme == "http" || scheme == "https" ? HostOf(address) : std::string();
}

} // namespace

void PaneCaption::PaperAsked(const std::string& url, const std::string& name)
{
    const std::string address = NormalizeAddress(url);
    m_paperName = CleanTitle(name);
    if (m_paperName.empty())
        m_paperName = SiteOf(address);
    m_paperHost = HostOf(address);
    if (m_paperName.empty() || IsRefusedAddress(url) || RouteOf(address) == SchemeRoute::Outside)
        return;
    Show(m_paperName, std::string());
}

void PaneCaption::PageCommitted(const std::string& uri)
{
    if (HostOf(uri) != m_paperHost && !ParseFailurePageAddress(uri))
        m_paperName.clear();
}

void PaneCaption::PaperAbandoned()
{
    m_paperName.clear();
}

void PaneCaption::Show(const std::string& title, const std::string& pageUrl)
{
    std::string shown = title;
    if (shown.empty())
        shown = !m_paperName.empty() ? m_paperName : SiteOf(pageUrl);
    if (shown.empty())
        return;
    if (wxWindow* top = wxGetTopLevelParent(m_pane))
        top->SetLabel(wxString::FromUTF8(WindowCaption(shown)));
}

} // namespace lumo
