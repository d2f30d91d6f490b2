#include "app/message_box.h"

#include <utility>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "app/resource_ids.h"
#include "app/url_opener.h"

namespace lumo {

int AppMessageBox(const std::string& text, long style)
{
    // No explicit parent: wx places the box over the window in use, the main
    // window or a dialog open on top of it.
    return wxMessageBox(wxString::FromUTF8(text), kAppTitle, style, nullptr);
}

void MessageBoxReporter::ShowMessage(const std::string& utf8Text)
{
    if (m_held)
        m_waiting.push_back(utf8Text);
    else
        AppMessageBox(utf8Text);
}

void MessageBoxReporter::Release()
{
    m_held = false;
    for (const std::string& text : std::exchange(m_waiting, {}))
        AppMessageBox(text);
}

bool MessageBoxReporter::WaitForLock(const std::function<bool()>& tryLock,
                                     std::chrono::milliseconds limit)
{
    wxBusyCursor busy;
    // Every window refuses input meanwhile: no second command starts.
    wxWindowDisabler disabled;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!tryLock()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        wxMilliSleep(10);
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
            loop->YieldFor(wxEVT_CATEGORY_ALL);
        else if (wxTheApp)
            wxTheApp->ProcessPendingEvents();
    }
    return true;
}

bool OpenOutsideOrSay(const std::string& url)
{
    if (OpenUrlOutside(url))
        return true;
    // An address that may not leave the program is refused as such; nothing
    // was tried, so "no program could be started" would be wrong.
    AppMessageBox(OutsideRouteOf(url) == OutsideRoute::Refused ? RefusedOutsideMessage(url)
                                                               : CannotOpenMessage(url));
    return false;
}

} // namespace lumo
