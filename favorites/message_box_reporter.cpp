#include "favorites/message_box_reporter.h"

#include <utility>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/utils.h>

#include "common/message_box.h"

namespace lumo {

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

} // namespace lumo
