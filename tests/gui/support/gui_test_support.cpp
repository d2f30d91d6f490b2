#include "gui_test_support.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>
#include <wx/webview.h>

#include <webkit2/webkit2.h>
#include <wx/window.h>

#include "browser/pane/web_environment.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

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
    WaitForQueuedEvents();
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

bool WaitForQueuedEvents(std::chrono::milliseconds limit)
{
    // Posted twice: what ran first may have queued more.
    auto reached = std::make_shared<int>(0);
    wxTheApp->CallAfter([reached] {
        *reached = 1;
        wxTheApp->CallAfter([reached] { *reached = 2; });
    });
    return WaitFor([&] { return *reached == 2; }, limit);
}

bool WaitForPaint(wxWebView* view)
{
    const auto run = [view](const char* script) {
        wxString result;
        view->RunScript(script, &result);
        return result;
    };
    run("window.lumoTestFrames = 0; requestAnimationFrame(function() {"
        " requestAnimationFrame(function() { window.lumoTestFrames = 2; }); });");
    return WaitFor([&] { return run("String(window.lumoTestFrames)") == "2"; });
}

std::string EvaluateInView(wxWebView* view, const std::string& script)
{
    struct Answer
    {
        bool done = false;
        std::string text;
    };
    // Shared with the callback, which may come after a wait that gave up.
    auto answer = std::make_shared<Answer>();
    webkit_web_view_evaluate_javascript(
        static_cast<WebKitWebView*>(view->GetNativeBackend()), script.data(),
        static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<Answer>> kept(
                static_cast<std::shared_ptr<Answer>*>(data));
            g_autoptr(GError) error = nullptr;
            g_autoptr(JSCValue) value =
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
            if (!value)
                (*kept)->text = std::string("error: ") + (error ? error->message : "");
            else if (!jsc_value_is_undefined(value)) {
                g_autofree char* text = jsc_value_to_string(value);
                (*kept)->text = text ? text : "";
            }
            (*kept)->done = true;
        },
        new std::shared_ptr<Answer>(answer));
    WaitFor([&] { return answer->done; });
    return answer->text;
}

bool WaitForPageToTakeKeys(wxWebView* view)
{
    if (!WaitForQueuedEvents())
        return false;
    // The page process learns of the focus on its own time: keys pressed
    // before it has would go nowhere.
    return WaitFor([view] {
        wxString result;
        // A page of the program's own that runs no script is asked no more.
        return !view->RunScript("String(document.hasFocus())", &result) || result == "true";
    });
}

bool WaitForFrames(wxWindow* window)
{
    GdkFrameClock* clock = gtk_widget_get_frame_clock(window->GetHandle());
    if (!clock)
        return WaitForQueuedEvents();
    const gint64 from = gdk_frame_clock_get_frame_counter(clock);
    return WaitFor([&] {
        if (gdk_frame_clock_get_frame_counter(clock) >= from + 2)
            return true;
        gdk_frame_clock_request_phase(clock, GDK_FRAME_CLOCK_PHASE_PAINT);
        return false;
    });
}

bool PopupMenuShown()
{
    GList* windows = gtk_window_list_toplevels();
    bool shown = false;
    for (GList* at = windows; at; at = at->next) {
        GtkWidget* window = GTK_WIDGET(at->data);
        GtkWidget* child = GTK_IS_BIN(window) ? gtk_bin_get_child(GTK_BIN(window)) : nullptr;
        shown = shown || (child && GTK_IS_MENU(child) && gtk_widget_get_mapped(window));
    }
    g_list_free(windows);
    return shown;
}

void Settle(std::chrono::milliseconds duration)
{
    auto end = std::chrono::steady_clock::now() + duration;
    WaitFor([&] { return std::chrono::steady_clock::now() > end; }, duration * 2);
}

} // namespace lumo::test
