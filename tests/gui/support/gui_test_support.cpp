#include "gui_test_support.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/utils.h>

#include "browser/web_environment.h"

namespace lumo::test {

void PrepareGuiTestEnvironment()
{
    std::string base = "/tmp/lumo-gui-test-XXXXXX";
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()))
        setenv("XDG_CONFIG_HOME", buf.data(), 1);
    PrepareWebEngineEnvironment();
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done())
    {
        if (std::chrono::steady_clock::now() > end)
            return done();
        wxTheApp->ProcessPendingEvents();
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
            while (loop->Pending())
                loop->Dispatch();
        else
            wxYield();
        wxMilliSleep(5);
    }
    return true;
}

void Settle(std::chrono::milliseconds duration)
{
    auto end = std::chrono::steady_clock::now() + duration;
    WaitFor([&] { return std::chrono::steady_clock::now() > end; }, duration * 2);
}

} // namespace lumo::test
