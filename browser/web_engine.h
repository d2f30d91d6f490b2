#pragma once
// The web engine behind the browser pane, reached through this interface so
// that the program starts without loading it: the engine lives in a module
// (liblumo_web_engine.so beside the executable) loaded right after the main
// window is on screen.
#include <string>

class wxWindow;
class wxWebView;

namespace lumo {

// What the engine tells the pane about.
class WebEngineHost
{
public:
    virtual ~WebEngineHost() = default;
    virtual void OnTitleChanged(const std::string& title) = 0;
    // A page asked for a new window.
    virtual void OnNewWindow(const std::string& url) = 0;
    // Whether this system can run the engine's sandbox for page processes.
    virtual bool WebSandboxSupported() = 0;
};

enum class EditCommand
{
    Undo,
    Cut,
    Copy,
    Paste
};

class WebEngine
{
public:
    virtual ~WebEngine() = default;
    // The engine's window, a child of the parent it was made with.
    virtual wxWindow* Window() = 0;
    virtual wxWebView* View() = 0;
    virtual void LoadURL(const std::string& url) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Print() = 0;
    virtual void Edit(EditCommand command) = 0;
    // How often a page was reloaded after its web process died, and whether
    // the pane gave up and shows the failure message instead.
    virtual int CrashReloadCount() const = 0;
    virtual bool ShowsCrashMessage() const = 0;
};

using WebEngineFactory = WebEngine* (*)(wxWindow* parent, WebEngineHost& host);

// The factory in use: by default the one of the module beside the executable
// (nullptr when the module cannot be loaded).
WebEngineFactory CurrentWebEngineFactory();
// Replaces the factory, for programs that link the engine in (tests).
void SetWebEngineFactory(WebEngineFactory factory);

} // namespace lumo

// The module's entry point.
extern "C" __attribute__((visibility("default"))) lumo::WebEngine*
lumo_create_web_engine(wxWindow* parent, lumo::WebEngineHost& host);
