#include "gui_test_support.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "browser/web_environment.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

namespace lumo::test {

int RecordedMessageBoxes::Enter(wxDialog* dialog)
{
    auto* box = dynamic_cast<wxMessageDialog*>(dialog);
    if (!box)
        return wxID_NONE; // other dialogs show as usual
    texts.push_back(box->GetMessage().utf8_string());
    return wxID_OK;
}

void PrepareGuiTestEnvironment()
{
    std::string base = "/tmp/lumo-gui-test-XXXXXX";
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) {
        // Settings, and the web engine's storage and cache, stay out of the home.
        const std::string home = buf.data();
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    }
    PrepareWebEngineEnvironment();
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
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

namespace {

// The X display when it can take XTest events.
Display* TestDisplay()
{
    GdkDisplay* gdkDisplay = gdk_display_get_default();
    if (!gdkDisplay || !GDK_IS_X11_DISPLAY(gdkDisplay))
        return nullptr;
    Display* display = GDK_DISPLAY_XDISPLAY(gdkDisplay);
    int eventBase, errorBase, major, minor;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor))
        return nullptr;
    return display;
}

} // namespace

bool MovePointerTo(const wxPoint& screenPoint)
{
    Display* display = TestDisplay();
    if (!display)
        return false;
    XTestFakeMotionEvent(display, -1, screenPoint.x, screenPoint.y, CurrentTime);
    XSync(display, False);
    Settle(std::chrono::milliseconds(50));
    return true;
}

bool PressKey(unsigned long keysym, bool ctrl, bool shift, bool alt)
{
    Display* display = TestDisplay();
    if (!display)
        return false;
    std::vector<KeyCode> held;
    if (ctrl)
        held.push_back(XKeysymToKeycode(display, XK_Control_L));
    if (shift)
        held.push_back(XKeysymToKeycode(display, XK_Shift_L));
    if (alt)
        held.push_back(XKeysymToKeycode(display, XK_Alt_L));
    for (KeyCode code : held)
        XTestFakeKeyEvent(display, code, True, CurrentTime);
    KeyCode key = XKeysymToKeycode(display, keysym);
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    for (auto it = held.rbegin(); it != held.rend(); ++it)
        XTestFakeKeyEvent(display, *it, False, CurrentTime);
    XSync(display, False);
    return true;
}

bool ClickAt(const wxPoint& screenPoint, unsigned button)
{
    Display* display = TestDisplay();
    if (!display || !MovePointerTo(screenPoint))
        return false;
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
    return true;
}

void Settle(std::chrono::milliseconds duration)
{
    auto end = std::chrono::steady_clock::now() + duration;
    WaitFor([&] { return std::chrono::steady_clock::now() > end; }, duration * 2);
}

} // namespace lumo::test
