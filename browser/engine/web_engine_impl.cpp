// The web engine: a wxWebView on WebKitGTK, hardened for pages from anywhere.
// Built into liblumo_web_engine.so, which the program loads after its window
// is on screen. No page can take the program down with it: new windows,
// other schemes and downloads leave the pane, failures show the pane's own
// page, and a page process that hangs, dies or grows without end is ended
// and replaced.
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include <wx/webview.h>

#include "browser/core/web_address.h"
#include "browser/engine/blocking/page_blocking.h"
#include "browser/engine/engine_environment.h"
#include "browser/engine/headlines/headlines_in_pane.h"
#include "browser/engine/navigation_policy.h"
#include "browser/engine/new_window_catcher.h"
#include "browser/engine/page_keys.h"
#include "browser/engine/page_process_guard.h"
#include "browser/engine/program_navigation.h"
#include "browser/engine/reader/reader_view.h"
#include "browser/engine/start_page_handler.h"
#include "browser/engine/view_address.h"
#include "browser/engine/web_view_hardening.h"
#include "browser/web_engine.h"
#include "common/resource_ids.h"

#include <webkit2/webkit2.h>

namespace lumo {
namespace {

std::function<bool()>& NetworkCheck()
{
    static std::function<bool()> check;
    return check;
}

int& AnswerLimitMs()
{
    static int limit = 0;
    return limit;
}

std::function<std::chrono::steady_clock::time_point()>& EngineClock()
{
    static std::function<std::chrono::steady_clock::time_point()> clock;
    return clock;
}

class WebKitEngine : public WebEngine,
                     public wxEvtHandler,
                     private ReaderView::Owner,
                     private NavigationPolicy::Owner,
                     private ProgramNavigation::Owner
{
public:
    WebKitEngine(wxWebView* view, WebEngineHost& host)
        : m_webView(view), m_native(static_cast<WebKitWebView*>(view->GetNativeBackend())),
          m_host(host)
    {
        m_webView->EnableAccessToDevTools(false);
        HardenWebView(m_native);
        m_webView->Bind(wxEVT_WEBVIEW_TITLE_CHANGED, &WebKitEngine::OnTitleChanged, this);
        // New windows of every kind are answered by the catcher. The
        // toolkit refuses them in its policy handler, which ends the program
        // for a script's window with some engine versions: the pane decides
        // every policy itself.
        DisconnectAllHandlers(m_native, "decide-policy");
        m_newWindows = std::make_unique<NewWindowCatcher>(
            m_native, [this](const std::string& url) { m_host.OnNewWindow(url); }, &EngineNow);
        m_reader = std::make_unique<lumo::ReaderView>(m_webView, m_host, AsReaderOwner());
        m_navigation = std::make_unique<ProgramNavigation>(m_native, AsNavigationOwner());
        m_policy = std::make_unique<NavigationPolicy>(m_native, m_host, AsPolicyOwner());
        ConnectViewSignals(m_native, m_webView);
        m_blocking = std::make_unique<PageContentBlocking>(m_native, m_host);
        m_headlines = std::make_unique<HeadlinesInPane>(m_native, m_host);
    }

    ~WebKitEngine() override
    {
        m_webView->Unbind(wxEVT_WEBVIEW_TITLE_CHANGED, &WebKitEngine::OnTitleChanged, this);
        m_newWindows.reset();
        if (WebKitWebView* reader = m_reader->Native()) {
            g_signal_handlers_disconnect_by_data(reader, this);
            g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(reader), this);
        }
        g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(m_native), this);
        g_signal_handlers_disconnect_by_data(m_native, this);
        m_headlines.reset();
        // Back in their windows, which they go with.
        m_reader.reset();
        m_policy.reset();
        m_navigation.reset();
    }

    wxWindow* Window() override { return m_webView; }
    wxWebView* View() override { return m_webView; }

    void LoadURL(const std::string& url, const std::string& name) override
    {
        // A script or data address from a favorite or a setting would run
        // in the page on screen: the program never loads one itself.
        if (IsRefusedAddress(url))
            return;
        std::string address = NormalizeAddress(url);
        if (RouteOf(address) == SchemeRoute::Outside) {
            m_host.OnOpenOutside(address);
            return;
        }
        if (m_blocking->HoldUntilReady(address, [this, url, name] { LoadURL(url, name); }))
            return;
        m_navigation->Open(address, name);
    }

    void GoBack() override
    {
        if (webkit_web_view_can_go_back(m_native))
            m_navigation->InPage([this] { webkit_web_view_go_back(m_native); });
    }

    void GoForward() override
    {
        if (webkit_web_view_can_go_forward(m_native))
            m_navigation->InPage([this] { webkit_web_view_go_forward(m_native); });
    }

    bool CanGoBack() const override
    {
        GList* back =
            webkit_back_forward_list_get_back_list(webkit_web_view_get_back_forward_list(m_native));
        bool found = false;
        for (GList* item = back; item && !found; item = item->next) {
            const char* uri =
                webkit_back_forward_list_item_get_uri(WEBKIT_BACK_FORWARD_LIST_ITEM(item->data));
            found = uri && std::string_view(uri) != "about:blank";
        }
        g_list_free(back);
        return found;
    }

    bool CanGoForward() const override { return webkit_web_view_can_go_forward(m_native); }

    void Reload() override
    {
        m_headlines->Reload();
        m_navigation->Reload();
    }

    void SetZoom(double level) override { webkit_web_view_set_zoom_level(ShownNative(), level); }
    double Zoom() const override { return webkit_web_view_get_zoom_level(ShownNative()); }

    void Find(const std::string& text, bool backwards) override
    {
        WebKitFindController* finder = webkit_web_view_get_find_controller(ShownNative());
        if (text.empty()) {
            webkit_find_controller_search_finish(finder);
            m_findText.clear();
            return;
        }
        if (text == m_findText) {
            ++m_findSteps;
            if (backwards)
                webkit_find_controller_search_previous(finder);
            else
                webkit_find_controller_search_next(finder);
            return;
        }
        m_findText = text;
        m_findSteps = 0;
        const guint32 options = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE |
                                WEBKIT_FIND_OPTIONS_WRAP_AROUND |
                                (backwards ? WEBKIT_FIND_OPTIONS_BACKWARDS : 0);
        webkit_find_controller_search(finder, text.c_str(), options, kMaxFindMatches);
    }

    std::string ShownAddress() const override { return m_navigation->ShownAddress(); }

    void StopLoading() override
    {
        m_blocking->DropHeldLoad();
        m_navigation->Stop();
    }
    bool IsLoading() const override { return m_navigation->IsLoading(); }

    void Print() override { ShownWebView()->Print(); }

    void Edit(EditCommand command) override
    {
        wxWebView* view = ShownWebView();
        switch (command) {
        case EditCommand::Undo:
            view->Undo();
            break;
        case EditCommand::Cut:
            view->Cut();
            break;
        case EditCommand::Copy:
            view->Copy();
            break;
        case EditCommand::Paste:
            view->Paste();
            break;
        }
    }

    void FocusPage() override
    {
        ShownWebView()->SetFocus();
        // The engine's own widget takes the keys, so that they scroll the
        // page and Tab walks its links.
        gtk_widget_grab_focus(GTK_WIDGET(ShownNative()));
    }

    bool PageHasFocus() const override { return gtk_widget_is_focus(GTK_WIDGET(ShownNative())); }

    // --- The reader view ---------------------------------------------------

    void ShowReader(const std::string& skin) override { m_reader->Show(skin); }
    void CloseReader() override { m_reader->Close(); }
    bool ReaderOffered() const override { return m_reader->Offered(); }
    bool ReaderShown() const override { return m_reader->Shown(); }
    wxWebView* ReaderView() override { return m_reader->Window(); }
    wxWindow* ReaderWindow() override { return m_reader->Window(); }
    std::string ReaderTitle() const override { return m_reader->Title(); }

    void FavoritesChanged() override { m_headlines->FavoritesChanged(); }
    void HeadlinesSettingsChanged() override { m_headlines->SettingsChanged(); }

    int CrashReloadCount() const override { return m_navigation->CrashReloads(); }
    int HungProcessesEnded() const override { return m_navigation->HungEnded(); }
    bool ShowsFailurePage() const override { return m_navigation->ShowsFailurePage(); }

    void UseBuiltInFilterLists() override
    {
        m_blocking->ReturnToShippedLists([this] { Reload(); });
    }

private:
    // The engine as its parts see it.
    NavigationPolicy::Owner& AsPolicyOwner() { return *this; }
    ProgramNavigation::Owner& AsNavigationOwner() { return *this; }
    ReaderView::Owner& AsReaderOwner() { return *this; }

    WebKitWebView* ShownNative() const { return m_reader->Shown() ? m_reader->Native() : m_native; }
    wxWebView* ShownWebView() const { return m_reader->Shown() ? m_reader->Window() : m_webView; }

    void OnTitleChanged(wxWebViewEvent& event)
    {
        std::string title = event.GetString().utf8_string();
        m_navigation->NoteTitle(title);
        m_host.OnTitleChanged(title);
        if (!title.empty())
            m_blocking->PageTitled();
    }

    // What the user does with the wheel, the menu, the keys and the pointer
    // in a web view of the pane, and what its searches find.
    void ConnectViewSignals(WebKitWebView* view, wxWebView* window) override
    {
        g_signal_connect(view, "mouse-target-changed", G_CALLBACK(MouseTargetThunk), this);
        g_signal_connect(view, "context-menu", G_CALLBACK(ContextMenuThunk), this);
        g_signal_connect(view, "scroll-event", G_CALLBACK(ScrollThunk), this);
        g_signal_connect(view, "button-release-event", G_CALLBACK(ButtonReleaseThunk), this);
        // The toolkit follows the focus of the page's container only.
        g_signal_connect(view, "focus-in-event", G_CALLBACK(FocusInThunk), this);
        OfferProgramKeysFirst(GTK_WIDGET(view), window);
        ConnectFinder(view);
        if (m_blocking && view != m_native)
            m_blocking->FilterReader(view);
    }

    void OpenFromReader(const std::string& uri) override
    {
        if (uri != UriOf(m_native))
            LoadURL(uri, "");
    }

    void ConnectFinder(WebKitWebView* view)
    {
        WebKitFindController* finder = webkit_web_view_get_find_controller(view);
        g_signal_connect(finder, "found-text",
                         G_CALLBACK(+[](WebKitFindController*, guint matches, gpointer self) {
                             auto* me = static_cast<WebKitEngine*>(self);
                             me->m_host.OnFindResult(matches, !me->TakeFindStep());
                         }),
                         this);
        g_signal_connect(finder, "failed-to-find-text",
                         G_CALLBACK(+[](WebKitFindController*, gpointer self) {
                             auto* me = static_cast<WebKitEngine*>(self);
                             me->m_host.OnFindResult(0, !me->TakeFindStep());
                         }),
                         this);
    }

    // --- What the program's navigation tells -------------------------------

    void BeforeProgramLoad(const std::string& uri) override { m_blocking->ApplyFor(uri); }
    void LoadProgress(const std::string& host, double progress) override
    {
        m_host.OnLoadProgress(host, progress);
    }
    void LoadEnded() override { m_host.OnLoadEnded(); }
    void PageCommitted(const std::string& uri) override
    {
        // A click on the last page counts no longer, and a link under the
        // pointer belonged to the page that went.
        m_policy->ForgetClick();
        m_hovered.clear();
        m_reader->ForgetAnswers();
        m_host.OnPageCommitted(uri);
    }
    // One that dies again and again with the filters turns them off.
    void PageProcessCrashed() override { m_blocking->OnPageProcessCrashed(); }
    void PageFinished() override
    {
        m_reader->OfferIfArticle();
        m_headlines->PageShown(UriOf(m_native));
    }

    // --- What the navigation policy asks ------------------------------------

    bool IsProgramNavigation(const std::string& uri) const override
    {
        return m_navigation->IsProgramNavigation(uri);
    }
    bool PageShownAsks() const override { return m_navigation->PageShownAsks(); }
    std::string CommittedUri() const override { return m_navigation->CommittedUri(); }
    void NavigationAnswered() override { m_navigation->NavigationAnswered(); }
    void NavigationAsked(const Navigation& navigation) override
    {
        // The filters follow the page the user goes to, by a click or
        // through the history; the program's own loads set them themselves.
        if (navigation.byUser || navigation.inHistory)
            m_blocking->ApplyFor(navigation.uri);
    }
    WebKitWebView* ReaderNative() const override { return m_reader->Native(); }

    void OnMouseTarget(WebKitHitTestResult* hit)
    {
        const char* link = webkit_hit_test_result_context_is_link(hit)
                               ? webkit_hit_test_result_get_link_uri(hit)
                               : nullptr;
        std::string url = link ? link : "";
        // "Try again" names the paper it tries.
        if (url == kFailureRetryAddress)
            if (std::optional<FailurePage> failed = ParseFailurePageAddress(UriOf(m_native)))
                url = failed->address;
        if (url != m_hovered) {
            m_hovered = url;
            m_host.OnLinkHovered(url);
        }
    }

    // --- Signal thunks -------------------------------------------------------
    // Ctrl with the wheel zooms; the page never sees that wheel.
    static gboolean ScrollThunk(WebKitWebView*, GdkEventScroll* scroll, gpointer self)
    {
        if (!(scroll->state & GDK_CONTROL_MASK))
            return FALSE;
        int steps = 0;
        if (scroll->direction == GDK_SCROLL_UP)
            steps = 1;
        else if (scroll->direction == GDK_SCROLL_DOWN)
            steps = -1;
        else if (scroll->direction == GDK_SCROLL_SMOOTH && scroll->delta_y != 0)
            steps = scroll->delta_y < 0 ? 1 : -1;
        if (steps != 0)
            static_cast<WebKitEngine*>(self)->m_host.OnZoomWheel(steps);
        return TRUE;
    }

    // The page's own menu ends with "Open Page in Web Browser".
    static gboolean ContextMenuThunk(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent*,
                                     WebKitHitTestResult*, gpointer self)
    {
        auto* engine = static_cast<WebKitEngine*>(self);
        // Only a page of the web goes to the web browser: not the help page
        // on the disk, nor the program's own pages.
        const std::string scheme = SchemeOf(engine->ShownAddress());
        if (scheme != "http" && scheme != "https")
            return FALSE;
        g_autoptr(GSimpleAction) action = g_simple_action_new("open-page-in-browser", nullptr);
        g_signal_connect(action, "activate",
                         G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer engine) {
                             auto* me = static_cast<WebKitEngine*>(engine);
                             me->m_host.OnOpenOutside(me->ShownAddress());
                         }),
                         self);
        webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
        webkit_context_menu_append(menu, webkit_context_menu_item_new_from_gaction(
                                             G_ACTION(action), kOpenPageInBrowserLabel, nullptr));
        if (view == engine->m_native)
            engine->m_blocking->AppendMenuItems(menu, UriOf(view));
        return FALSE;
    }

    // A link to a file of this computer, clicked in a page of the web: the
    // engine refuses it without a word, and the user is told why.
    static gboolean ButtonReleaseThunk(WebKitWebView* view, GdkEventButton* button, gpointer self)
    {
        auto* me = static_cast<WebKitEngine*>(self);
        if (button->button == 1 && SchemeOf(me->m_hovered) == "file" &&
            SchemeOf(UriOf(view)) != "file")
            me->CallAfter([me, link = me->m_hovered] { me->m_host.OnOpenOutside(link); });
        return FALSE;
    }

    static void MouseTargetThunk(WebKitWebView*, WebKitHitTestResult* hit, guint, gpointer self)
    {
        static_cast<WebKitEngine*>(self)->OnMouseTarget(hit);
    }

    static gboolean FocusInThunk(GtkWidget*, GdkEvent*, gpointer self)
    {
        static_cast<WebKitEngine*>(self)->m_host.OnPageFocused();
        return FALSE;
    }

    wxWebView* m_webView;
    WebKitWebView* m_native;
    WebEngineHost& m_host;
    std::unique_ptr<NewWindowCatcher> m_newWindows;
    std::unique_ptr<lumo::ReaderView> m_reader;
    std::unique_ptr<ProgramNavigation> m_navigation;
    std::unique_ptr<NavigationPolicy> m_policy;
    std::unique_ptr<PageContentBlocking> m_blocking;
    std::unique_ptr<HeadlinesInPane> m_headlines;
    std::string m_hovered;
    std::string m_findText;
    // Steps to the next or previous match whose answers are still to come.
    int m_findSteps = 0;
    bool TakeFindStep()
    {
        if (m_findSteps == 0)
            return false;
        --m_findSteps;
        return true;
    }
    // Beyond this many, a search in the page says "more than".
    static constexpr guint kMaxFindMatches = 1000;
};

// The engine names its storage (local storage, HSTS, media keys) and cache
// folders after the program when the first web view is made, and in the
// installed layout that name is also the user's program directory, beside
// Favorites.xml. While it exists, the engine sees a name of its own instead: a
// "web" folder of the program's own under the XDG data and cache homes. The
// program's windows are named before and after it, under the program's name.
class EngineFolderName
{
public:
    EngineFolderName() : m_programName(g_get_prgname() ? g_get_prgname() : "")
    {
        g_set_prgname(kWebStorageFolder);
    }
    ~EngineFolderName() { g_set_prgname(m_programName.c_str()); }
    EngineFolderName(const EngineFolderName&) = delete;
    EngineFolderName& operator=(const EngineFolderName&) = delete;

private:
    std::string m_programName;
};

} // namespace

bool NetworkAvailable()
{
    if (NetworkCheck())
        return NetworkCheck()();
    return g_network_monitor_get_network_available(g_network_monitor_get_default());
}

void SetNetworkAvailableCheck(std::function<bool()> check)
{
    NetworkCheck() = std::move(check);
}

int NavigationAnswerLimitMs()
{
    constexpr int kDefaultMs = 30000;
    return AnswerLimitMs() > 0 ? AnswerLimitMs() : kDefaultMs;
}

void SetNavigationAnswerLimit(int ms)
{
    AnswerLimitMs() = ms;
}

std::chrono::steady_clock::time_point EngineNow()
{
    return EngineClock() ? EngineClock()() : std::chrono::steady_clock::now();
}

void SetEngineClock(std::function<std::chrono::steady_clock::time_point()> clock)
{
    EngineClock() = std::move(clock);
}

} // namespace lumo

extern "C" lumo::WebEngine* lumo_create_web_engine(wxWindow* parent, lumo::WebEngineHost& host)
{
    if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault))
        return nullptr;
    lumo::EngineFolderName folders;
    lumo::RegisterStartPageScheme();
    lumo::GuardAgainstFailedLaunches();
    lumo::EnableWebSandbox(host.WebSandboxSupported());
    wxWebView* view = wxWebView::New();
    // The pane starts as a true empty page until it is asked for one.
    if (!view->Create(parent, wxID_ANY, "about:blank", wxDefaultPosition,
                      parent->GetClientSize())) {
        delete view;
        return nullptr;
    }
    view->SetName("Web page");
    return new lumo::WebKitEngine(view, host);
}
