#pragma once
// Helpers for tests that run with a display.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/modalhook.h>

#include "common/url_opener.h"

class wxWebView;
class wxWindow;

namespace lumo::test {

// While it exists, addresses the program would open outside (in the user's
// browser) are only recorded: no browser starts. `succeed` is what the
// opening reports back.
class RecordedUrlOpens
{
public:
    RecordedUrlOpens()
        : m_previous(SetUrlOpener([this](const std::string& url) {
              opened.push_back(url);
              return succeed;
          }))
    {
    }
    ~RecordedUrlOpens() { SetUrlOpener(m_previous); }
    RecordedUrlOpens(const RecordedUrlOpens&) = delete;
    RecordedUrlOpens& operator=(const RecordedUrlOpens&) = delete;

    std::vector<std::string> opened;
    bool succeed = true;

private:
    UrlOpener m_previous;
};

// While it exists, message boxes are not shown: their texts are recorded and
// each is answered with OK.
class RecordedMessageBoxes : public wxModalDialogHook
{
public:
    RecordedMessageBoxes() { Register(); }
    ~RecordedMessageBoxes() override { Unregister(); }
    std::vector<std::string> texts;

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog*) override {}
};

// Points the settings at a fresh temporary XDG_CONFIG_HOME and prepares the
// web engine's environment; called once before wx starts.
void PrepareGuiTestEnvironment();

// Runs the event loop until `done` returns true or the time limit passes;
// returns the last value of `done`.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::seconds(20));

// Runs the event loop until everything queued before the call (events,
// calls after) has run; false if that took longer than the limit.
bool WaitForQueuedEvents(std::chrono::milliseconds limit = std::chrono::seconds(5));

// Runs pending events for a short while (lets GTK settle after a change).
void Settle(std::chrono::milliseconds duration = std::chrono::milliseconds(50));

// Waits until the page on screen in `view` has drawn two frames since the
// call: what it shows can then take a click.
bool WaitForPaint(wxWebView* view);
// What `script` gives in `view`'s page, as text ("" when undefined, "error:
// ..." when it fails). Asked of the engine itself: the program's own pages
// refuse wx's way (eval) by their policy.
std::string EvaluateInView(wxWebView* view, const std::string& script);

// Waits until the keys pressed so far have reached `view`'s page process:
// handled here, then a round trip to that process behind them. A key pressed
// next comes after them as a user's would.
bool WaitForPageToTakeKeys(wxWebView* view);

// Waits until GTK has laid out and drawn `window`'s top window twice since
// the call: sizes, scrolling and ellipses of a change are then in place.
bool WaitForFrames(wxWindow* window);

// Whether a pop-up menu (a context menu, a menu of the menu bar) is on screen.
bool PopupMenuShown();

// Clicks a pointer button (1 left, 3 right) at a point of the screen with a
// real X pointer event (XTest); false when the display cannot do that.
bool ClickAt(const wxPoint& screenPoint, unsigned button = 1);

// Presses and releases a key (an X keysym, e.g. XK_Page_Down) with real X
// key events (XTest), holding the given modifiers; false when the display
// cannot do that.
bool PressKey(unsigned long keysym, bool ctrl = false, bool shift = false, bool alt = false);

// Moves the pointer to a point of the screen (XTest).
bool MovePointerTo(const wxPoint& screenPoint);

} // namespace lumo::test
