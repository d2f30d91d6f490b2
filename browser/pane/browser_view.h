#pragma once
// The browser pane: the embedded web engine in which newspapers, the start
// page and the help page are shown. It opens the start page at its first
// update, keeps the main window's caption in step with the page title, shows
// a page's loading (a slim line across its top, and the status bar when it
// is shown) and sends new windows, downloads and other schemes to the
// user's own programs. The engine itself starts right after the window is on
// screen.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <wx/panel.h>
#include <wx/timer.h>

#include "browser/pane/find_bar.h"
#include "browser/pane/pane_caption.h"
#include "browser/pane/pane_messages.h"
#include "browser/pane/pane_zoom.h"
#include "browser/web_engine.h"
#include "common/document.h"
#include "ui/key_map.h"

class wxButton;
class wxTextCtrl;

namespace lumo {

// What the reader view's key says when the page has no article (in the
// status bar, or in the pane while the status bar is hidden).
inline constexpr const char* kNoArticleMessage = "This page has no article for the reader view";

class LoadProgressLine;
class ProfileStore;

// The longest the web engine waits for the window to show before it starts.
inline constexpr int kEngineStartLatestMs = 1000;

class CLumoNewsReaderView : public wxPanel,
                            public BrowserPane,
                            private WebEngineHost,
                            private FindBarHost
{
public:
    CLumoNewsReaderView(wxWindow* parent, CLumoNewsReaderDoc& doc, ProfileStore& profile);
    ~CLumoNewsReaderView() override;

    // The pane's first update: the start page chosen by IndexPage, then the
    // link in the document.
    void OnInitialUpdate();

    void NavigateTo(std::string url, std::string name = {}) override;
    void GoBack() override;
    void GoForward() override;
    // Back also leaves the reader view.
    bool CanGoBack() const;
    bool CanGoForward() const;
    void Reload();
    void StopLoading();
    bool IsLoading() const;
    // Prints the page shown (the print dialog of the web engine).
    void Print();
    // Undo, cut, copy and paste in the page.
    void Edit(EditCommand command);
    // Gives the page itself the keyboard focus, so that the keys scroll it
    // and Tab walks its links.
    void FocusPage();
    bool PageHasFocus() const { return m_engine && m_engine->PageHasFocus(); }
    // Whether the ring around the page shows that the page has the keys.
    bool ShowsFocusRing() const { return m_focusRingShown; }
    // Runs one of the pane's key commands (a meaning the window's key table
    // gives a key: Esc stops a load or leaves the reader view, F5 and Ctrl+R
    // reload, Alt+Left and Alt+Right go back and forward, F9 shows and
    // leaves the reader view); false when it does not apply now (Esc with
    // nothing to end).
    bool RunKeyCommand(KeyCommand command);
    // Where the focus is, as far as the pane's keys go: the page, the find
    // bar or elsewhere.
    KeyPlace FocusPlace() const;

    // Starts the web engine now if it has not started yet, and returns it
    // (nullptr when no engine is available).
    WebEngine* CreateBrowser();
    // Starts the web engine once the window has drawn its first frame on
    // screen (or after kEngineStartLatestMs, should it never show).
    void CreateBrowserOnceShown();
    WebEngine* Engine() const { return m_engine.get(); }
    // Whether the pane waits to be asked before it starts the web engine
    // again (its page processes could not start).
    bool EngineHeld() const { return m_engineHeld; }
    // Whether the web engine is loaded, so that the pane can show pages.
    bool HasPage() const { return m_engine != nullptr; }
    wxWebView* WebView() const { return m_engine ? m_engine->View() : nullptr; }
    wxWindow* WebWindow() const { return m_engine ? m_engine->Window() : nullptr; }
    // The page's window or, while it is shown, the reader view's.
    wxWindow* ShownWebWindow() const;
    // Whether the line across the top of the pane shows a load's progress.
    bool ShowsLoadProgress() const;

    int CrashReloadCount() const { return m_engine ? m_engine->CrashReloadCount() : 0; }
    bool ShowsFailurePage() const { return m_engine && m_engine->ShowsFailurePage(); }
    // The page on screen: its title (for a paper that could not be reached,
    // the paper's name) and its address (see WebEngine::ShownAddress).
    const std::string& PageTitle() const { return m_pageTitle; }
    std::string PageAddress() const { return m_engine ? m_engine->ShownAddress() : std::string(); }

    // Zoom: one step in (+1) or out (-1) along kZoomSteps, or back to 100 %
    // (0). The level is kept for the page's site in the settings group
    // "Zoom" and used whenever a page of that site shows.
    void ZoomBy(int steps);
    int ZoomPercent() const { return m_zoom.Percent(); }
    // The text shown over the page right now (a note given in the pane when
    // the status bar is hidden, or the zoom), or empty.
    wxString PaneNotice() const;

    // The reader view (F9, or the "Reader view" button at the foot of the
    // pane, offered while the page is an article): the article alone on a
    // page of the program's own, in place of the page, which stays as it
    // was. The same key, the button, Esc and Back return to the page.
    void ToggleReader();
    // The ad and tracker lists the program came with serve again.
    void UseBuiltInFilterLists();
    bool ReaderOffered() const { return m_engine && m_engine->ReaderOffered(); }
    bool ReaderShown() const { return m_engine && m_engine->ReaderShown(); }
    wxButton* ReaderButton() const { return m_readerButton; }

    // The find bar at the bottom of the pane: opens it (Ctrl+F), goes to the
    // next or previous match (F3, Shift+F3), closes it (Esc) with the focus
    // back on the page.
    void OpenFindBar();

    // The Headlines page: what is new in the user's favorite papers.
    void ShowHeadlines();
    // Where the pane learns the user's favorites (the tree), and that they
    // changed.
    void SetFavoritesSource(std::function<std::vector<FavoritePaper>()> source)
    {
        m_favoritesSource = std::move(source);
    }
    void FavoritesChanged()
    {
        if (m_engine)
            m_engine->FavoritesChanged();
    }
    void FindAgain(bool backwards);
    void CloseFindBar();
    bool FindBarShown() const;
    // What the bar's count reads: "3 of 17", "Not found" or empty.
    wxString FindCount() const;
    wxTextCtrl* FindField() const;

private:
    void OnTitleChanged(const std::string& title) override;
    void OnNewWindow(const std::string& url) override;
    void OnOpenOutside(const std::string& url) override;
    void OnLoadProgress(const std::string& host, double progress) override;
    void OnLoadEnded() override;
    void OnLinkHovered(const std::string& url) override;
    void OnPageFocused() override;
    bool WebSandboxSupported() override;
    void OnPageCommitted(const std::string& uri) override;
    void OnZoomWheel(int steps) override;
    void OnFindResult(unsigned matches, bool newText) override;
    void OnReaderOffered(bool offered) override;
    void OnReaderShown(bool shown) override;
    void OnNoArticle() override;
    wxConfigBase* Settings() override;
    void OnFiltersPreparing(bool preparing) override;
    void OnNotice(const std::string& text) override;
    std::vector<FavoritePaper> FavoritePapers() override
    {
        return m_favoritesSource ? m_favoritesSource() : std::vector<FavoritePaper>();
    }
    void CreateReaderBar();
    void UpdateReaderBar();
    void ApplyKeptZoom();
    void SearchPage(const std::string& text, bool backwards) override;
    void FindBarClosed() override;
    void ShowNotice(const std::string& text) { m_messages.ShowNotice(text); }

    void Open(const std::string& asked);
    // Says in the pane that the web engine cannot start its page process,
    // with "Try again", which starts it.
    void ShowEngineHeld();
    void TryEngineAgain();
    // The ring around the page while it has the keyboard focus.
    int FocusRingWidth() const;
    void UpdateFocusRing();
    void PaintFocusRing();
    // Names the page on screen in the window's caption.
    void ShowCaption(const std::string& title);
    void ShowStatus() { m_messages.ShowStatus(); }

    CLumoNewsReaderDoc& m_doc;
    ProfileStore& m_profile;
    std::unique_ptr<WebEngine> m_engine;
    std::function<std::vector<FavoritePaper>()> m_favoritesSource;
    wxTimer m_engineStart;
    bool m_engineFailed = false;
    // The engine is not started until asked (its page processes could not
    // start), and the panel that says so.
    bool m_engineHeld = false;
    wxPanel* m_heldPanel = nullptr;
    // The address (and name) asked for before the web engine was started.
    std::optional<std::pair<std::string, std::string>> m_pendingUrl;
    LoadProgressLine* m_progressLine = nullptr;
    // The status line and the notes over the page.
    PaneMessages m_messages;
    PaneZoom m_zoom;
    std::string m_pageTitle;
    PaneCaption m_caption;
    bool m_focusRingShown = false;
    wxTimer m_focusRingCheck;
    // The strip that offers the reader view.
    wxPanel* m_readerBar = nullptr;
    wxButton* m_readerButton = nullptr;
    // Made when it first opens.
    FindBar* m_findBar = nullptr;
    // A page waits for the ad and tracker filters.
    bool m_preparingFilters = false;
};

} // namespace lumo
