#include "browser/pane/pane_messages.h"

#include <utility>

#include <wx/frame.h>
#include <wx/statusbr.h>
#include <wx/toplevel.h>

#include "browser/pane/load_progress_line.h"
#include "browser/pane/pane_badge.h"
#include "common/message_box.h"
#include "common/resource_ids.h"
#include "content_filter/blocking_settings.h"
#include "ui/accessibility.h"

namespace lumo {

PaneMessages::PaneMessages(wxWindow* pane, const LoadProgressLine& line,
                           std::function<wxWindow*()> shownPage)
    : m_pane(pane), m_line(line), m_shownPage(std::move(shownPage))
{
}

void PaneMessages::SetHoveredLink(const std::string& url)
{
    m_hoveredLink = url;
}

void PaneMessages::SetLoadingHost(const std::string& host)
{
    m_loadingHost = host;
}

void PaneMessages::SetPreparingFilters(bool preparing)
{
    m_preparingFilters = preparing;
}

void PaneMessages::SetEngineNotice(const std::string& text)
{
    m_engineNotice = text;
}

void PaneMessages::ShowStatus()
{
    wxStatusBar* bar = ShownStatusBar();
    if (!bar)
        return;
    const bool loading = m_line.IsLoading();
    std::string text;
    if (!m_hoveredLink.empty())
        text = m_hoveredLink;
    else if (m_preparingFilters)
        text = content_filter::kPreparingFiltersMessage;
    else if (loading && !m_loadingHost.empty())
        text = "Loading " + m_loadingHost + "\u2026";
    else if (loading)
        text = "Loading\u2026";
    else
        text = m_engineNotice.empty() ? std::string(kIdleMessage) : m_engineNotice;
    bar->SetStatusText(wxString::FromUTF8(text), 0);
}

void PaneMessages::ShowNotice(const std::string& text)
{
    if (wxStatusBar* bar = ShownStatusBar()) {
        bar->SetStatusText(wxString::FromUTF8(text), 0);
        return;
    }
    // No status bar: a note in the pane, for a few seconds, and for a
    // screen reader a notification, named before it shows so that its
    // showing tells the text.
    const wxString notice = wxString::FromUTF8(text);
    const bool made = m_badge;
    if (made)
        AnnounceNotice(m_badge, notice);
    ShowBadge(notice, false, kNoticeShownMs);
    if (PaneNotice() != notice)
        AppMessageBox(text); // no page on screen to show it over
    else if (!made)
        AnnounceNotice(m_badge, notice);
}

void PaneMessages::ShowBadge(const wxString& text, bool zoom, int shownMs)
{
    wxWindow* page = m_shownPage();
    if (!page || !page->IsShownOnScreen())
        return;
    if (!m_badge)
        m_badge = new PaneBadge(m_pane);
    m_badge->ShowText(text, zoom ? PaneBadge::Kind::Zoom : PaneBadge::Kind::Note,
                      page->GetScreenRect(), shownMs);
}

wxString PaneMessages::PaneNotice() const
{
    return m_badge ? m_badge->ShownText() : wxString();
}

wxStatusBar* PaneMessages::ShownStatusBar() const
{
    auto* frame = dynamic_cast<wxFrame*>(wxGetTopLevelParent(m_pane));
    wxStatusBar* bar = frame ? frame->GetStatusBar() : nullptr;
    return bar && bar->IsShown() ? bar : nullptr;
}

} // namespace lumo
