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

#include <wx/datetime.h>
#include <wx/timer.h>
#include <wx/webview.h>

#include "browser/core/load_failure.h"
#include "browser/core/web_address.h"
#include "browser/engine/blocking/page_blocking.h"
#include "browser/engine/engine_environment.h"
#include "browser/engine/navigation_policy.h"
#include "browser/engine/new_window_catcher.h"
#include "browser/engine/page_keys.h"
#include "browser/engine/page_process_guard.h"
#include "browser/engine/reader/reader_view.h"
#include "browser/engine/start_page_handler.h"
#include "browser/engine/view_address.h"
#include "browser/engine/web_view_hardening.h"
#include "browser/web_engine.h"
#include "common/resource_ids.h"

#include <webkit2/webkit2.h>

namespace lumo {
namespace {

// An https:// attempt that has not answered in this time gives way to http://.
constexpr int kSecureAttemptMs = 4000;

std::function<bool()>& NetworkCheck()
{
    static std::function<bool()> check;
    return check;
}

bool IsCancellation(const GError* error)
{
    return g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
           g_error_matches(error, WEBKIT_POLICY_ERROR,
                           WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
           g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD);
}

class WebKitEngine : public WebEngine,
                     public wxEvtHandler,
                     private ReaderView::Owner,
                     private NavigationPolicy::Owner,
                     private PageProcessGuard::Owner
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
            m_native, [this](const std::string& url) { m_host.OnNewWindow(url); });
        m_reader = std::make_unique<lumo::ReaderView>(m_webView, m_host, AsReaderOwner());
        m_guard = std::make_unique<PageProcessGuard>(m_native, AsGuardOwner());
        m_policy = std::make_unique<NavigationPolicy>(m_native, m_host, AsPolicyOwner());
        ConnectSignals();
        m_secureAttempt.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { FallBackToPlainAddress(); });
        m_blocking = std::make_unique<PageContentBlocking>(m_native, m_host);
    }

    ~WebKitEngine() override
    {
        m_secureAttempt.Stop();
        m_webView->Unbind(wxEVT_WEBVIEW_TITLE_CHANGED, &WebKitEngine::OnTitleChanged, this);
        m_newWindows.reset();
        if (WebKitWebView* reader = m_reader->Native()) {
            g_signal_handlers_disconnect_by_data(reader, this);
            g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(reader), this);
        }
        g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(m_native), this);
        g_signal_handlers_disconnect_by_data(m_native, this);
        // Back in their windows, which they go with.
        m_reader.reset();
        m_policy.reset();
        m_guard.reset();
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
        m_visit = Visit{};
        m_visit.address = address;
        m_visit.name = name;
        std::optional<std::string> secure = SecureFirstAddress(address);
        m_visit.secureTry = secure.value_or("");
        std::string first = secure.value_or(address);
        m_programUri = first;
        m_blocking->ApplyFor(first);
        // Away from a page shown, the page process must take the navigation
        // up in time (see the page process guard).
        m_guard->NewVisit(!m_committedUri.empty() && m_committedUri != "about:blank");
        Navigate([this, first] { webkit_web_view_load_uri(m_native, first.c_str()); });
        if (secure)
            m_secureAttempt.StartOnce(kSecureAttemptMs);
    }

    void GoBack() override
    {
        if (webkit_web_view_can_go_back(m_native))
            NavigateInPage([this] { webkit_web_view_go_back(m_native); });
    }

    void GoForward() override
    {
        if (webkit_web_view_can_go_forward(m_native))
            NavigateInPage([this] { webkit_web_view_go_forward(m_native); });
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
        if (std::optional<FailurePage> failed = ParseFailurePageAddress(UriOf(m_native))) {
            // Reloading the failure page tries the paper again.
            LoadURL(failed->address, failed->name);
            return;
        }
        NavigateInPage([this] { webkit_web_view_reload(m_native); });
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

    std::string ShownAddress() const override
    {
        if (!m_visit.address.empty())
            return m_visit.address;
        std::string uri = UriOf(m_native);
        if (std::optional<FailurePage> failed = ParseFailurePageAddress(uri))
            return failed->address;
        return uri.empty() ? m_committedUri : uri;
    }

    void StopLoading() override
    {
        // Stopped means stopped: no plain address after the secure one, no
        // navigation run again in a fresh process.
        m_visit.secureTry.clear();
        m_secureAttempt.Stop();
        m_guard->Stop();
        m_blocking->DropHeldLoad();
        webkit_web_view_stop_loading(m_native);
        // A load stopped before it started reports nothing.
        EndLoad();
    }
    bool IsLoading() const override { return m_loading; }

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

    void UseBuiltInFilterLists() override
    {
        m_blocking->ReturnToShippedLists([this] { Reload(); });
    }

    int CrashReloadCount() const override { return m_guard->CrashReloads(); }
    int HungProcessesEnded() const override { return m_guard->HungEnded(); }
    bool ShowsFailurePage() const override
    {
        return ParseFailurePageAddress(UriOf(m_native)).has_value();
    }

private:
    // The engine as its parts see it.
    NavigationPolicy::Owner& AsPolicyOwner() { return *this; }
    PageProcessGuard::Owner& AsGuardOwner() { return *this; }
    ReaderView::Owner& AsReaderOwner() { return *this; }

    // The navigation the program asked for last.
    struct Visit
    {
        std::string address;   // as the pane loads it (http:// kept)
        std::string name;      // heads the failure page
        std::string secureTry; // the https:// address tried first, while it is tried
    };

    WebKitWebView* ShownNative() const { return m_reader->Shown() ? m_reader->Native() : m_native; }
    wxWebView* ShownWebView() const { return m_reader->Shown() ? m_reader->Window() : m_webView; }

    void OnTitleChanged(wxWebViewEvent& event)
    {
        std::string title = event.GetString().utf8_string();
        if (!title.empty())
            m_title = title;
        m_host.OnTitleChanged(title);
    }

    void ConnectSignals()
    {
        g_signal_connect(m_native, "load-changed", G_CALLBACK(LoadChangedThunk), this);
        g_signal_connect(m_native, "load-failed", G_CALLBACK(LoadFailedThunk), this);
        g_signal_connect(m_native, "load-failed-with-tls-errors", G_CALLBACK(TlsFailedThunk), this);
        g_signal_connect(m_native, "notify::estimated-load-progress", G_CALLBACK(ProgressThunk),
                         this);
        ConnectViewSignals(m_native, m_webView);
    }

    // What the user does with the wheel, the menu, the keys and the pointer
    // in a web view of the pane, and what its searches find.
    void ConnectViewSignals(WebKitWebView* view, wxWebView* window) override
    {
        g_signal_connect(view, "mouse-target-changed", G_CALLBACK(MouseTargetThunk), this);
        g_signal_connect(view, "context-menu", G_CALLBACK(ContextMenuThunk), this);
        g_signal_connect(view, "scroll-event", G_CALLBACK(ScrollThunk), this);
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

    // --- Navigations of the user's -----------------------------------------

    // Starts a navigation of the user's, in a fresh page process when the
    // page process does not answer.
    void Navigate(std::function<void()> start)
    {
        m_fellBack = false;
        m_secureAttempt.Stop();
        m_guard->Navigate([this, start = std::move(start)] {
            m_programLoadOpen = true;
            start();
        });
    }

    // Back, forward and reload: the page's own history, with a fresh chance
    // of a reload after a crash.
    void NavigateInPage(std::function<void()> start)
    {
        m_visit = Visit{};
        m_guard->NewVisit(false);
        m_programUri.clear();
        Navigate(std::move(start));
    }

    void EndLoad() override
    {
        m_loading = false;
        m_host.OnLoadEnded();
    }

    std::string PageUri() const override
    {
        return UriOf(m_native).empty() ? m_committedUri : UriOf(m_native);
    }
    std::string AskedAddress() const override { return m_visit.address; }
    std::string ProgramUri() const override { return m_programUri; }

    void ShowProcessFailure(const std::string& address, FailureReason reason) override
    {
        // The page is named as the user chose it, else by its last title.
        ShowFailure(address, !m_visit.name.empty() ? m_visit.name : m_title, reason);
    }

    // One that dies again and again with the filters turns them off.
    void PageProcessCrashed() override { m_blocking->OnPageProcessCrashed(); }

    // --- Loading, failures and the secure address first -------------------

    void ShowFailure(const std::string& address, const std::string& name, FailureReason reason)
    {
        m_visit.secureTry.clear();
        m_secureAttempt.Stop();
        NoteFailedTry(address, wxDateTime::Now().FormatISOTime().utf8_string());
        std::string page =
            FailurePageAddress(address, name.empty() ? HostOf(address) : name, reason);
        m_programUri = page;
        m_programLoadOpen = true;
        webkit_web_view_load_uri(m_native, page.c_str());
    }

    void FallBackToPlainAddress()
    {
        if (m_visit.secureTry.empty() || m_guard->Committed())
            return;
        m_visit.secureTry.clear();
        // The page process has just answered for the secure address.
        m_guard->SetAnswerBounded(false);
        m_programUri = m_visit.address;
        std::string plain = m_visit.address;
        Navigate([this, plain] { webkit_web_view_load_uri(m_native, plain.c_str()); });
        m_fellBack = true;
    }

    void OnLoadChanged(WebKitLoadEvent event)
    {
        if ((event == WEBKIT_LOAD_COMMITTED || event == WEBKIT_LOAD_FINISHED) &&
            UriOf(m_native) == "about:blank") {
            // An address the engine will not load (a port kept for other
            // services) ends on an empty page in its place, with no failure
            // reported: it is one.
            if (event == WEBKIT_LOAD_COMMITTED && m_blankFinished &&
                IsWebOrFilePage(m_startedUri)) {
                ShowFailureFor(std::exchange(m_startedUri, std::string()),
                               FailureReason::PortNotAllowed);
                return;
            }
            // The pane's first, empty page has been shown once it ends:
            // only then may an empty page stand for another address.
            m_blankFinished = m_blankFinished || event == WEBKIT_LOAD_FINISHED;
            // The pane's first, empty page may report in after the program has
            // asked for another one: that is not the news of the navigation,
            // though with none under way (stopped) it ends what loads.
            if (!m_programUri.empty() && m_programUri != "about:blank") {
                if (event == WEBKIT_LOAD_FINISHED && !m_guard->Pending() && m_loading)
                    EndLoad();
                return;
            }
        }
        if (event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_COMMITTED)
            m_guard->NavigationAnswered();
        switch (event) {
        case WEBKIT_LOAD_STARTED:
            m_startedUri = UriOf(m_native);
            // Leaving the empty page, the engine names the new address only
            // once it is shown.
            if (m_startedUri == "about:blank" && m_blankFinished && m_guard->Pending() &&
                !m_guard->Committed())
                m_startedUri = m_programUri;
            m_loading = true;
            m_host.OnLoadProgress(LoadingHost(), 0.0);
            break;
        case WEBKIT_LOAD_COMMITTED:
            m_guard->Commit();
            // What the program asked for is now shown: from here on, only
            // the page asks for addresses, and a click on the last page
            // counts no longer.
            m_programLoadOpen = false;
            m_policy->ForgetClick();
            // A link under the pointer belonged to the page that went.
            m_hovered.clear();
            m_committedUri = UriOf(m_native);
            m_reader->ForgetAnswers();
            m_host.OnPageCommitted(m_committedUri);
            m_guard->StopWatchdog();
            m_secureAttempt.Stop();
            m_visit.secureTry.clear();
            break;
        case WEBKIT_LOAD_FINISHED:
            // The secure attempt that gave way ends too, while the user's
            // navigation goes on at the plain address.
            if (m_guard->Committed() || !std::exchange(m_fellBack, false))
                m_guard->ForgetNavigation();
            EndLoad();
            m_reader->OfferIfArticle();
            break;
        default:
            break;
        }
    }

    bool OnLoadFailed(const char* failingUri, const GError* error)
    {
        if (IsCancellation(error))
            return true;
        FailureReason reason = ReasonFor(error, NetworkAvailable());
        std::string failing = failingUri ? failingUri : "";
        if (!m_visit.secureTry.empty() && reason != FailureReason::NameNotFound &&
            reason != FailureReason::NotConnected) {
            FallBackToPlainAddress();
            return true;
        }
        ShowFailureFor(failing, reason);
        return true;
    }

    bool OnTlsFailed(const char* failingUri)
    {
        if (!m_visit.secureTry.empty()) {
            // Only the https:// tried in place of the user's own http://
            // failed: the plain address is what the user asked for.
            FallBackToPlainAddress();
            return true;
        }
        ShowFailureFor(failingUri ? failingUri : "", FailureReason::Untrusted);
        return true;
    }

    void ShowFailureFor(const std::string& failing, FailureReason reason)
    {
        // The program's own navigation keeps the paper's name and address as
        // written; a link followed inside a page is named by its host.
        bool programs = !m_guard->Committed() && !m_visit.address.empty();
        ShowFailure(programs ? m_visit.address : failing, programs ? m_visit.name : "", reason);
    }

    // --- What the navigation policy asks ------------------------------------

    bool IsProgramNavigation(const std::string& uri) const override
    {
        // A page that asks for the same address later is only a page.
        return m_programLoadOpen && !m_programUri.empty() && uri == m_programUri;
    }
    bool PageShownAsks() const override { return m_guard->Committed() || !m_guard->Pending(); }
    std::string CommittedUri() const override { return m_committedUri; }
    void NavigationAnswered() override { m_guard->NavigationAnswered(); }
    void NavigationAsked(const Navigation& navigation) override
    {
        // The filters follow the page the user goes to, by a click or
        // through the history; the program's own loads set them themselves.
        if (navigation.byUser || navigation.inHistory)
            m_blocking->ApplyFor(navigation.uri);
    }
    WebKitWebView* ReaderNative() const override { return m_reader->Native(); }

    // The site being loaded: the one the program asked for while its
    // navigation is under way (the view may still show the previous one).
    std::string LoadingHost() const
    {
        std::string host = m_guard->Pending() ? HostOf(m_programUri) : std::string();
        return host.empty() ? HostOf(UriOf(m_native)) : host;
    }

    void OnProgress()
    {
        m_loading = webkit_web_view_is_loading(m_native);
        if (m_loading)
            m_host.OnLoadProgress(LoadingHost(),
                                  webkit_web_view_get_estimated_load_progress(m_native));
    }

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

    static void LoadChangedThunk(WebKitWebView*, WebKitLoadEvent event, gpointer self)
    {
        static_cast<WebKitEngine*>(self)->OnLoadChanged(event);
    }

    static gboolean LoadFailedThunk(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                    gpointer self)
    {
        return static_cast<WebKitEngine*>(self)->OnLoadFailed(uri, error);
    }

    static gboolean TlsFailedThunk(WebKitWebView*, gchar* uri, GTlsCertificate*,
                                   GTlsCertificateFlags, gpointer self)
    {
        return static_cast<WebKitEngine*>(self)->OnTlsFailed(uri);
    }

    static void ProgressThunk(WebKitWebView*, GParamSpec*, gpointer self)
    {
        static_cast<WebKitEngine*>(self)->OnProgress();
    }

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
    std::unique_ptr<PageProcessGuard> m_guard;
    std::unique_ptr<NavigationPolicy> m_policy;
    std::unique_ptr<PageContentBlocking> m_blocking;
    Visit m_visit;
    // The address the program itself asked the engine for last, and whether
    // that navigation is still on its way (until a page is shown).
    std::string m_programUri;
    bool m_programLoadOpen = false;
    // The secure attempt gave way to the plain address: its own end is not
    // that of the navigation.
    bool m_fellBack = false;
    bool m_loading = false;
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
    std::string m_title;
    std::string m_committedUri;
    // The address the load under way started with, and whether an empty
    // page was shown.
    std::string m_startedUri;
    bool m_blankFinished = false;
    wxTimer m_secureAttempt;
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
