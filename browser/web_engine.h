#pragma once
// The web engine behind the browser pane, reached through this interface so
// that the program starts without loading it: the engine lives in a module
// (liblumo_web_engine.so beside the executable) loaded right after the main
// window is on screen.
#include <functional>
#include <string>
#include <vector>

class wxConfigBase;
class wxWindow;
class wxWebView;

namespace lumo {

// A favorite paper, whose headlines the engine keeps: its name and its page.
struct FavoritePaper
{
    std::string name;
    std::string address;
};

// Set when the program starts itself again because the web engine could not
// go on: the address the pane showed, opened in place of the start page.
inline constexpr const char* kResumeAddressVariable = "LUMO_RESUME_ADDRESS";
// Set as well when page processes failed to start again and again: the
// program starts without the web engine, and starts it only when asked.
inline constexpr const char* kEngineHeldVariable = "LUMO_WEB_ENGINE_HELD";

// What the engine tells the pane about.
// The item the page's context menu gets, which opens the page in the user's browser.
inline constexpr const char* kOpenPageInBrowserLabel = "Open Page in Web Browser";

class WebEngineHost
{
public:
    virtual ~WebEngineHost() = default;
    virtual void OnTitleChanged(const std::string& title) = 0;
    // A page asked for a new window, or for something the engine does not
    // display (a download): it opens in the user's web browser.
    virtual void OnNewWindow(const std::string& url) = 0;
    // An address of a scheme the engine cannot show (mailto:, tel:, ...),
    // for the desktop's handler of that scheme.
    virtual void OnOpenOutside(const std::string& url) = 0;
    // A page is loading from `host`; `progress` runs from 0 to 1.
    virtual void OnLoadProgress(const std::string& host, double progress) = 0;
    // The load ended: finished, failed or stopped.
    virtual void OnLoadEnded() = 0;
    // The pointer is over a link to `url`, or over no link when it is empty.
    virtual void OnLinkHovered(const std::string& url) = 0;
    // The page itself took the keyboard focus.
    virtual void OnPageFocused() = 0;
    // Whether this system can run the engine's sandbox for page processes.
    virtual bool WebSandboxSupported() = 0;
    // A page from `uri` is now the one shown (its first data arrived).
    virtual void OnPageCommitted(const std::string& uri) { (void)uri; }
    // Ctrl and the mouse wheel over the page: +1 zooms in, -1 out.
    virtual void OnZoomWheel(int steps) { (void)steps; }
    // What a search in the page found: for a new text, how many matches (0:
    // none); for a step to the next or previous match, 1 when there was one.
    virtual void OnFindResult(unsigned matches, bool newText)
    {
        (void)matches;
        (void)newText;
    }
    // Whether the page loaded reads as an article, which the reader view can show.
    virtual void OnReaderOffered(bool offered) { (void)offered; }
    // The reader view came on screen in place of the page, or went away
    // again and left the page on screen as it was.
    virtual void OnReaderShown(bool shown) { (void)shown; }
    // The reader view was asked for a page that holds no article.
    virtual void OnNoArticle() {}
    // The settings the engine keeps its own groups in ([ContentBlocking]);
    // nullptr: the application's (wxConfigBase::Get).
    virtual wxConfigBase* Settings() { return nullptr; }
    // The page asked for waits while the ad and tracker filters are
    // prepared (true), or waits no more (false).
    virtual void OnFiltersPreparing(bool preparing) { (void)preparing; }
    // One line for the user about the engine's own work.
    virtual void OnNotice(const std::string& text) { (void)text; }
    // The user's favorite papers now, whose headlines the engine reads.
    virtual std::vector<FavoritePaper> FavoritePapers() { return {}; }
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
    // Opens an address as the program asks for it: an address without a
    // scheme is taken as http://, an http:// address is tried as https://
    // first, and a page that fails shows the pane's failure page headed
    // with `name` (the host when it is empty).
    virtual void LoadURL(const std::string& url, const std::string& name) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    // Whether there is a page of the user's to go back to (the blank page the
    // engine starts with is none), and one to go forward to.
    virtual bool CanGoBack() const = 0;
    virtual bool CanGoForward() const = 0;
    virtual void Reload() = 0;
    virtual void StopLoading() = 0;
    virtual bool IsLoading() const = 0;
    virtual void Print() = 0;
    virtual void Edit(EditCommand command) = 0;
    // Gives the page itself the keyboard focus, and tells whether it has it.
    virtual void FocusPage() = 0;
    virtual bool PageHasFocus() const = 0;
    // How often a page was reloaded after its web process died, how often a
    // page process that stopped answering was ended, and whether the pane
    // shows its failure page.
    virtual int CrashReloadCount() const = 0;
    virtual int HungProcessesEnded() const = 0;
    virtual bool ShowsFailurePage() const = 0;
    // The address of the page on screen, wherever its links led (for a paper
    // that could not be reached: the paper's address); while a page asked
    // for is on its way, that page's address as it was asked for.
    virtual std::string ShownAddress() const = 0;
    // The page's zoom, 1.0 being its own size.
    virtual void SetZoom(double level) = 0;
    virtual double Zoom() const = 0;
    // Finds `text` in the page (case ignored, wrapping around), highlighting
    // the matches and going to the next one, or the previous one; an empty
    // text ends the search and its highlighting. The answer comes through
    // WebEngineHost::OnFindResult.
    virtual void Find(const std::string& text, bool backwards) = 0;

    // The reader view: the article of the page loaded, alone, on a page of
    // the program's own (lumo://start/reader) in a second web view shown in
    // place of the page, which stays as it is underneath. Shown only when the
    // page is an article; the answer comes through
    // WebEngineHost::OnReaderShown. `skin` names the window's skin ("xp",
    // "mini", "soft") for the page's colours. While the reader view is on
    // screen, zoom, find, print, copy and the focus act on it.
    virtual void ShowReader(const std::string& skin) = 0;
    // Back to the page as it was; nothing is loaded again.
    virtual void CloseReader() = 0;
    virtual bool ReaderOffered() const = 0;
    virtual bool ReaderShown() const = 0;
    // The reader view's own web view (and window), nullptr until it was
    // first needed, and the title of its page.
    virtual wxWebView* ReaderView() = 0;
    virtual wxWindow* ReaderWindow() = 0;
    virtual std::string ReaderTitle() const = 0;

    // Drops the ad and tracker lists fetched from the web: the filters the
    // program came with serve again, and the page on screen is loaded again
    // with them.
    virtual void UseBuiltInFilterLists() {}

    // The Headlines page (lumo://headlines): the headlines of the user's
    // favorite papers, read in the background once the first page is shown.
    // The favorites changed (WebEngineHost::FavoritePapers), or the
    // [Headlines] settings did.
    virtual void FavoritesChanged() {}
    virtual void HeadlinesSettingsChanged() {}
};

using WebEngineFactory = WebEngine* (*)(wxWindow* parent, WebEngineHost& host);

// The factory in use: by default the one of the module beside the executable
// (nullptr when the module cannot be loaded).
WebEngineFactory CurrentWebEngineFactory();
// Starts loading the web engine's libraries on a thread of their own, to be
// ready when the pane asks for the engine; the program's start-up goes on
// meanwhile. CurrentWebEngineFactory waits for that load to end.
void PreloadWebEngine();
// Calls `then` on the main loop once that load has ended (soon, when none is
// under way), so that the main loop need not wait for it.
void WhenWebEngineLoaded(std::function<void()> then);
// Waits for a load PreloadWebEngine started, if any: before the program's
// application object goes, which that load's end calls on.
void FinishWebEnginePreload();
// Replaces the factory, for programs that link the engine in (tests).
void SetWebEngineFactory(WebEngineFactory factory);

} // namespace lumo

// The module's entry point.
extern "C" __attribute__((visibility("default"))) lumo::WebEngine*
lumo_create_web_engine(wxWindow* parent, lumo::WebEngineHost& host);
