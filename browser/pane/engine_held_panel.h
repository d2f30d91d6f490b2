#pragma once
// What the pane shows in place of pages while the web engine waits to be
// asked to start again (its page processes could not start): why, and a
// "Try again" button.
#include <functional>

#include <wx/panel.h>

namespace lumo {

inline constexpr const char* kEngineHeldMessage =
    "The web engine cannot start its page process, so no page can be shown. "
    "Try again to start it.";
inline constexpr const char* kEngineHeldCaption = "Web engine not started";

class EngineHeldPanel : public wxPanel
{
public:
    // `tryAgain` runs once the button's click is over.
    EngineHeldPanel(wxWindow* parent, std::function<void()> tryAgain);
};

} // namespace lumo
