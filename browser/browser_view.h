#pragma once
// The browser pane: the embedded web engine in which newspapers, the start
// page and the help page are shown. It opens the start page at its first
// update, keeps the main window's caption in step with the page title and
// sends pages' new windows to the user's own browser. The engine itself
// (silent, hardened, recovering from crashes) starts right after the window
// is on screen.
#include <memory>
#include <optional>
#include <string>

#include <wx/panel.h>

#include "app/document.h"
#include "browser/web_engine.h"

namespace lumo {

class ProfileStore;

class CLumoNewsReaderView : public wxPanel, public BrowserPane, private WebEngineHost
{
public:
    CLumoNewsReaderView(wxWindow* parent, CLumoNewsReaderDoc& doc, ProfileStore& profile);
    ~CLumoNewsReaderView() override;

    // The pane's first update: the start page chosen by IndexPage, then the
    // link in the document.
    void OnInitialUpdate();

    void NavigateTo(std::string url) override;
    void GoBack() override;
    void GoForward() override;
    // Prints the page shown (the print dialog of the web engine).
    void Print();
    // Undo, cut, copy and paste in the page.
    void Edit(EditCommand command);

    // Starts the web engine now if it has not started yet, and returns it
    // (nullptr when no engine is available).
    WebEngine* CreateBrowser();
    WebEngine* Engine() const { return m_engine.get(); }
    wxWebView* WebView() const { return m_engine ? m_engine->View() : nullptr; }
    wxWindow* WebWindow() const { return m_engine ? m_engine->Window() : nullptr; }

    int CrashReloadCount() const { return m_engine ? m_engine->CrashReloadCount() : 0; }
    bool ShowsCrashMessage() const { return m_engine && m_engine->ShowsCrashMessage(); }

private:
    void OnTitleChanged(const std::string& title) override;
    void OnNewWindow(const std::string& url) override;
    bool WebSandboxSupported() override;

    CLumoNewsReaderDoc& m_doc;
    ProfileStore& m_profile;
    std::unique_ptr<WebEngine> m_engine;
    bool m_engineFailed = false;
    // The address asked for before the web engine was started.
    std::optional<std::string> m_pendingUrl;
};

} // namespace lumo
