// The web engine: a wxWebView on WebKitGTK, hardened for pages from anywhere.
// Built into liblumo_web_engine.so, which the program loads after its window
// is on screen. No page can take the program down with it: new windows,
// other schemes and downloads leave the pane, failures show the pane's own
// page, and a page process that hangs, dies or grows without end is ended
// and replaced.
#include <csignal>
#include <fstream>
#include <functional>
#include <memory>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <wx/datetime.h>
#include <wx/sizer.h>
#include <wx/timer.h>
#include <wx/webview.h>

#include "browser/new_window_catcher.h"
#include "browser/page_keys.h"
#include "browser/reader_page.h"
#include "browser/reader_script.h"
#include "browser/start_page_handler.h"
#include "browser/web_address.h"
#include "browser/web_engine.h"
#include "browser/web_environment.h"
#include "common/resource_ids.h"

#include <webkit2/webkit2.h>

namespace lumo {
namespace {

// An https:// attempt that has not answered in this time gives way to http://.
constexpr int kSecureAttemptMs = 4000;
// How often a navigation checks that the page process still answers.
constexpr int kWatchdogMs = 1000;
// A navigation of the user's that the page process has not taken up in this
// time finds it hung, however busy the machine: the process is ended and
// the navigation runs in a fresh one.
constexpr int kNavigationAnswerMs = 1500;
// How often the page processes' memory is measured.
constexpr int kMemoryCheckMs = 500;

bool ErrorIs(const GError* error, const char* domain)
{
    return error && g_quark_to_string(error->domain) &&
           std::string_view(g_quark_to_string(error->domain)) == domain;
}

// The reason of a failed load, from the engine's error.
FailureReason SpecificReasonFor(const GError* error)
{
    if (error->domain == G_RESOLVER_ERROR)
        return error->code == G_RESOLVER_ERROR_TEMPORARY_FAILURE ? FailureReason::NotConnected
                                                                 : FailureReason::NameNotFound;
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
        case G_IO_ERROR_CONNECTION_REFUSED:
            return FailureReason::Refused;
        case G_IO_ERROR_TIMED_OUT:
            return FailureReason::TimedOut;
        case G_IO_ERROR_NETWORK_UNREACHABLE:
        case G_IO_ERROR_HOST_UNREACHABLE:
            return FailureReason::NotConnected;
        default:
            break;
        }
    }
    if (ErrorIs(error, "soup-http-error-quark") || ErrorIs(error, "soup_http_error_quark")) {
        switch (error->code) {
        case 2: // cannot resolve
            return FailureReason::NameNotFound;
        case 4: // cannot connect
            return FailureReason::Refused;
        default:
            break;
        }
    }
    return FailureReason::Other;
}

std::function<bool()>& NetworkCheck()
{
    static std::function<bool()> check;
    return check;
}

FailureReason ReasonFor(const GError* error)
{
    return ClassifyLoadFailure(SpecificReasonFor(error), error->message ? error->message : "",
                               NetworkAvailable());
}

bool IsCancellation(const GError* error)
{
    return g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
           g_error_matches(error, WEBKIT_POLICY_ERROR,
                           WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
           g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD);
}

bool IsAttachment(WebKitURIResponse* response)
{
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
    const char* disposition =
        headers ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
    return disposition && g_ascii_strncasecmp(disposition, "attachment", 10) == 0;
}

std::string UriOf(WebKitWebView* view)
{
    const char* uri = webkit_web_view_get_uri(view);
    return uri ? uri : "";
}

// What a navigation decision is about: the address asked for, whether the
// user's own click or key asked for it (a script's click on a link is not
// one), whether a server's redirect asked for it, and whether it walks the
// pane's own history (back, forward, reload).
struct Navigation
{
    std::string uri;
    bool byUser = false;
    bool redirect = false;
    bool inHistory = false;
};

Navigation NavigationOf(WebKitPolicyDecision* decision)
{
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const WebKitNavigationType type = webkit_navigation_action_get_navigation_type(action);
    return {request ? webkit_uri_request_get_uri(request) : "",
            webkit_navigation_action_is_user_gesture(action) != FALSE,
            webkit_navigation_action_is_redirect(action) != FALSE,
            type == WEBKIT_NAVIGATION_TYPE_BACK_FORWARD || type == WEBKIT_NAVIGATION_TYPE_RELOAD};
}

// Shows a web view, or hides it. A hidden one is also taken out of its
// window: the engine keeps telling screen readers that its page shows, so
// only the page on screen may be found in the window.
void PutOnScreen(wxWebView* view, bool onScreen)
{
    static constexpr const char* kHolder = "lumo-holder";
    auto* native = static_cast<GtkWidget*>(view->GetNativeBackend());
    GtkWidget* parent = gtk_widget_get_parent(native);
    if (!onScreen && GTK_IS_CONTAINER(parent)) {
        g_object_ref(native);
        g_object_set_data(G_OBJECT(native), kHolder, parent);
        gtk_container_remove(GTK_CONTAINER(parent), native);
    } else if (onScreen && !parent) {
        if (auto* holder = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(native), kHolder))) {
            gtk_container_add(GTK_CONTAINER(holder), native);
            g_object_unref(native);
        }
    }
    view->Show(onScreen);
}

class WebKitEngine;

// The engines alive in this process.
std::vector<WebKitEngine*>& Engines()
{
    static std::vector<WebKitEngine*> engines;
    return engines;
}

std::string ResumeAddress();

// Starts this program again in place of itself (same process, same
// arguments), reopening `address`; returns only when that fails.
void RestartProgram(const std::string& address)
{
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::string cmdline((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<char*> argv;
    for (size_t at = 0; at < cmdline.size(); at = cmdline.find('\0', at) + 1)
        argv.push_back(cmdline.data() + at);
    argv.push_back(nullptr);
    if (!address.empty())
        setenv(kResumeAddressVariable, address.c_str(), 1);
    // Nothing of this run goes over: its page and network processes are
    // ended and collected, and no open file is inherited.
    for (pid_t child : ChildrenOfThisProcess()) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    execv("/proc/self/exe", argv.data());
}

// The engine ends the whole process (a fatal log message) when a page
// process dies before it could report itself, for example when it is
// killed in its first milliseconds; nothing can continue inside this
// process after that message. The program starts again in its place
// instead, on the page it showed.
void OnFatalLogMessage(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer)
{
    std::string_view text = message ? message : "";
    bool launchFailed = text.starts_with("readPIDFromPeer") ||
                        text.starts_with("Failed to read pid from child process");
    // Only the program itself, running its main loop, restarts.
    if (launchFailed && gtk_main_level() > 0)
        RestartProgram(ResumeAddress());
    g_log_default_handler(domain, level, message, nullptr);
}

void GuardAgainstFailedLaunches()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    g_log_set_handler(
        nullptr,
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_ERROR | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
        OnFatalLogMessage, nullptr);
}

class WebKitEngine : public WebEngine, public wxEvtHandler
{
public:
    WebKitEngine(wxWebView* view, WebEngineHost& host)
        : m_webView(view), m_native(static_cast<WebKitWebView*>(view->GetNativeBackend())),
          m_host(host)
    {
        ApplyHardening();
        m_webView->Bind(wxEVT_WEBVIEW_TITLE_CHANGED, &WebKitEngine::OnTitleChanged, this);
        // New windows of every kind are answered by the catcher. The
        // toolkit refuses them in its policy handler, which ends the program
        // for a script's window with some engine versions: the pane decides
        // every policy itself.
        DisconnectAllHandlers(m_native, "decide-policy");
        m_newWindows = std::make_unique<NewWindowCatcher>(
            m_native, [this](const std::string& url) { m_host.OnNewWindow(url); });
        ConnectSignals();
        m_watchdog.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { CheckNavigationAnswers(); });
        m_navigationAnswer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnNavigationUnanswered(); });
        m_secureAttempt.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { FallBackToPlainAddress(); });
        m_memoryCheck.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { CheckMemory(); });
        m_memoryCheck.Start(kMemoryCheckMs);
        m_readerCancel = g_cancellable_new();
        Engines().push_back(this);
    }

    ~WebKitEngine() override
    {
        std::erase(Engines(), this);
        m_watchdog.Stop();
        m_navigationAnswer.Stop();
        m_secureAttempt.Stop();
        m_memoryCheck.Stop();
        m_webView->Unbind(wxEVT_WEBVIEW_TITLE_CHANGED, &WebKitEngine::OnTitleChanged, this);
        m_newWindows.reset();
        g_cancellable_cancel(m_readerCancel);
        g_object_unref(m_readerCancel);
        // Back in their windows, which they go with.
        PutOnScreen(m_webView, true);
        if (m_reader) {
            PutOnScreen(m_readerWebView, true);
            m_readerNewWindows.reset();
            g_signal_handlers_disconnect_by_data(m_reader, this);
            g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(m_reader),
                                                 this);
        }
        g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(m_native), this);
        g_signal_handlers_disconnect_by_data(m_native, this);
        g_signal_handlers_disconnect_by_data(webkit_web_view_get_context(m_native), this);
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
        m_visit = Visit{};
        m_visit.address = address;
        m_visit.name = name;
        std::optional<std::string> secure = SecureFirstAddress(address);
        m_visit.secureTry = secure.value_or("");
        std::string first = secure.value_or(address);
        m_programUri = first;
        // Away from a page shown, the page process must take the navigation
        // up in time (see OnNavigationUnanswered).
        m_visit.answerBounded = !m_committedUri.empty() && m_committedUri != "about:blank";
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
        m_watchdog.Stop();
        m_navigationAnswer.Stop();
        m_pending = nullptr;
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

    void ShowReader(const std::string& skin) override
    {
        if (m_readerShown || m_readerLoading)
            return;
        m_skin = skin;
        m_readerLoading = true;
        ExtractArticle(m_native, m_readerCancel, [this](std::optional<ReaderArticle> article) {
            if (!m_readerLoading)
                return; // closed again meanwhile
            if (!article) {
                m_readerLoading = false;
                SetReaderOffered(false);
                m_host.OnNoArticle();
                return;
            }
            CreateReaderView();
            // Each article under an address of its own, so that what ends
            // loading is known to be this one.
            m_readerAddress =
                std::string(kReaderPageAddress) + "?" + std::to_string(++m_readerPages);
            const std::string html = ReaderPageHtml(*article, m_skin);
            // The caption's title as the page is made: the engine may tell
            // the page's own title only after its load has ended.
            m_readerTitle = ReaderPageTitle(*article);
            webkit_web_view_load_html(m_reader, html.c_str(), m_readerAddress.c_str());
        });
    }

    void CloseReader() override
    {
        m_readerLoading = false;
        if (!m_readerShown)
            return;
        SwapViews(false);
    }

    bool ReaderOffered() const override { return m_readerOffered; }
    bool ReaderShown() const override { return m_readerShown; }
    wxWebView* ReaderView() override { return m_readerWebView; }
    wxWindow* ReaderWindow() override { return m_readerWebView; }
    std::string ReaderTitle() const override { return m_readerTitle; }

    int CrashReloadCount() const override { return m_crashReloads; }
    int HungProcessesEnded() const override { return m_hungEnded; }
    bool ShowsFailurePage() const override
    {
        return ParseFailurePageAddress(UriOf(m_native)).has_value();
    }

private:
    // The navigation the program asked for last.
    struct Visit
    {
        std::string address;   // as the pane loads it (http:// kept)
        std::string name;      // heads the failure page
        std::string secureTry; // the https:// address tried first, while it is tried
        bool reloadedAfterCrash = false;
        bool endedHungProcess = false;
        bool answerBounded = false;
    };

    WebKitWebView* ShownNative() const { return m_readerShown ? m_reader : m_native; }
    wxWebView* ShownWebView() const { return m_readerShown ? m_readerWebView : m_webView; }

    void SetReaderOffered(bool offered)
    {
        if (offered == m_readerOffered)
            return;
        m_readerOffered = offered;
        // The reader view's web view and its page process are made with the
        // first offer rather than at the key: they take longer than the rest.
        if (offered)
            CreateReaderView();
        m_host.OnReaderOffered(offered);
    }

    // A new page in the pane: what was asked of the last one is dropped.
    void ForgetReaderAnswers()
    {
        g_cancellable_cancel(m_readerCancel);
        g_object_unref(m_readerCancel);
        m_readerCancel = g_cancellable_new();
        m_readerLoading = false;
        SetReaderOffered(false);
    }

    void OfferReaderIfArticle()
    {
        if (!IsWebOrFilePage(UriOf(m_native)))
            return;
        CheckReaderable(m_native, m_readerCancel,
                        [this](bool article) { SetReaderOffered(article); });
    }

    // The second web view, made when an article is first offered: hardened like
    // the first, and more, since it shows only the program's own page: no
    // script in its markup runs, and links leave it for the pane's page.
    void CreateReaderView()
    {
        if (m_reader)
            return;
        wxWindow* parent = m_webView->GetParent();
        m_readerWebView = wxWebView::New();
        if (!m_readerWebView->Create(parent, wxID_ANY, "about:blank", wxDefaultPosition,
                                     m_webView->GetSize())) {
            delete m_readerWebView;
            m_readerWebView = nullptr;
            return;
        }
        PutOnScreen(m_readerWebView, false);
        m_readerWebView->SetName("Reader view");
        m_readerWebView->EnableAccessToDevTools(false);
        m_reader = static_cast<WebKitWebView*>(m_readerWebView->GetNativeBackend());
        WebKitSettings* settings = webkit_web_view_get_settings(m_reader);
        webkit_settings_set_enable_javascript_markup(settings, FALSE);
        webkit_settings_set_allow_file_access_from_file_urls(settings, FALSE);
        webkit_settings_set_allow_universal_access_from_file_urls(settings, FALSE);
        webkit_settings_set_enable_developer_extras(settings, FALSE);
        webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
        // Zoom sizes the text; the column and the images keep their measure.
        webkit_settings_set_zoom_text_only(settings, TRUE);
        // In the pane's sizer right after the page it stands in for.
        if (wxSizer* sizer = m_webView->GetContainingSizer()) {
            size_t index = 0;
            while (index < sizer->GetItemCount() && sizer->GetItem(index)->GetWindow() != m_webView)
                ++index;
            sizer->Insert(index + 1, m_readerWebView, wxSizerFlags(1).Expand());
        }
        DisconnectAllHandlers(m_reader, "decide-policy");
        m_readerNewWindows = std::make_unique<NewWindowCatcher>(
            m_reader, [this](const std::string& url) { m_host.OnNewWindow(url); });
        g_signal_connect(m_reader, "decide-policy", G_CALLBACK(ReaderDecidePolicyThunk), this);
        g_signal_connect(m_reader, "load-changed", G_CALLBACK(ReaderLoadChangedThunk), this);
        g_signal_connect(m_reader, "web-process-terminated",
                         G_CALLBACK(ReaderProcessTerminatedThunk), this);
        g_signal_connect(m_reader, "script-dialog", G_CALLBACK(AnswerScriptDialog), this);
        g_signal_connect(m_reader, "permission-request", G_CALLBACK(PermissionRequestThunk), this);
        g_signal_connect(m_reader, "mouse-target-changed", G_CALLBACK(MouseTargetThunk), this);
        g_signal_connect(m_reader, "context-menu", G_CALLBACK(ContextMenuThunk), this);
        g_signal_connect(m_reader, "scroll-event", G_CALLBACK(ScrollThunk), this);
        g_signal_connect(m_reader, "focus-in-event", G_CALLBACK(FocusInThunk), this);
        OfferProgramKeysFirst(GTK_WIDGET(m_reader), m_readerWebView);
        ConnectFinder(m_reader);
    }

    // Puts the reader view on screen in place of the page, or the page back.
    void SwapViews(bool toReader)
    {
        const bool hadFocus = PageHasFocus();
        for (WebKitWebView* view : {m_native, m_reader})
            webkit_find_controller_search_finish(webkit_web_view_get_find_controller(view));
        m_readerShown = toReader;
        PutOnScreen(m_webView, !toReader);
        PutOnScreen(m_readerWebView, toReader);
        m_webView->GetParent()->Layout();
        if (hadFocus)
            FocusPage();
        m_host.OnReaderShown(toReader);
    }

    void OnReaderLoadChanged(WebKitLoadEvent event)
    {
        if (event != WEBKIT_LOAD_FINISHED || !m_readerLoading || UriOf(m_reader) != m_readerAddress)
            return;
        m_readerLoading = false;
        SwapViews(true);
    }

    bool OnReaderDecidePolicy(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type)
    {
        if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
            return false;
        Navigation navigation = NavigationOf(decision);
        const std::string uri = std::move(navigation.uri);
        const bool byUser = navigation.byUser;
        // The program's own loads: the empty page it starts with, the articles.
        if (uri == "about:blank" || uri == m_readerAddress)
            return false;
        webkit_policy_decision_ignore(decision);
        // A link the user followed opens in the pane's page; the page's own
        // address brings it back as it was.
        if (byUser && IsWebOrFilePage(uri)) {
            CallAfter([this, uri] {
                CloseReader();
                if (uri != UriOf(m_native))
                    LoadURL(uri, "");
            });
        }
        return true;
    }

    void OnTitleChanged(wxWebViewEvent& event)
    {
        std::string title = event.GetString().utf8_string();
        if (!title.empty())
            m_title = title;
        m_host.OnTitleChanged(title);
    }

    void ApplyHardening()
    {
        m_webView->EnableAccessToDevTools(false);
        WebKitSettings* settings = webkit_web_view_get_settings(m_native);
        webkit_settings_set_allow_file_access_from_file_urls(settings, FALSE);
        webkit_settings_set_allow_universal_access_from_file_urls(settings, FALSE);
        webkit_settings_set_enable_developer_extras(settings, FALSE);
        webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
        // Plugins are gone from current engines; switch them off where the
        // setting still exists.
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(settings), "enable-plugins"))
            g_object_set(settings, "enable-plugins", FALSE, nullptr);
    }

    void ConnectSignals()
    {
        g_signal_connect(m_native, "script-dialog", G_CALLBACK(AnswerScriptDialog), this);
        g_signal_connect(m_native, "permission-request", G_CALLBACK(PermissionRequestThunk), this);
        g_signal_connect(m_native, "web-process-terminated", G_CALLBACK(WebProcessTerminatedThunk),
                         this);
        g_signal_connect(m_native, "decide-policy", G_CALLBACK(DecidePolicyThunk), this);
        g_signal_connect(m_native, "load-changed", G_CALLBACK(LoadChangedThunk), this);
        g_signal_connect(m_native, "load-failed", G_CALLBACK(LoadFailedThunk), this);
        g_signal_connect(m_native, "load-failed-with-tls-errors", G_CALLBACK(TlsFailedThunk), this);
        g_signal_connect(m_native, "notify::estimated-load-progress", G_CALLBACK(ProgressThunk),
                         this);
        g_signal_connect(m_native, "notify::is-web-process-responsive", G_CALLBACK(ResponsiveThunk),
                         this);
        g_signal_connect(m_native, "mouse-target-changed", G_CALLBACK(MouseTargetThunk), this);
        g_signal_connect(m_native, "context-menu", G_CALLBACK(ContextMenuThunk), this);
        g_signal_connect(m_native, "scroll-event", G_CALLBACK(ScrollThunk), this);
        ConnectFinder(m_native);
        // The toolkit follows the focus of the page's container only.
        g_signal_connect(m_native, "focus-in-event", G_CALLBACK(FocusInThunk), this);
        // What the user does in the page, unlike what its scripts do.
        g_signal_connect(m_native, "button-press-event", G_CALLBACK(ButtonPressThunk), this);
        g_signal_connect(m_native, "key-press-event", G_CALLBACK(KeyPressThunk), this);
        OfferProgramKeysFirst(GTK_WIDGET(m_native), m_webView);
        g_signal_connect(webkit_web_view_get_context(m_native), "download-started",
                         G_CALLBACK(DownloadStartedThunk), this);
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

    // --- Navigations and page processes that stop answering ---------------

    // Starts a navigation of the user's. When the page process does not
    // answer, it is ended and the navigation runs in a fresh one.
    void Navigate(std::function<void()> start)
    {
        m_pending = std::move(start);
        m_committed = false;
        m_fellBack = false;
        m_secureAttempt.Stop();
        if (!webkit_web_view_get_is_web_process_responsive(m_native) && EndHungProcess())
            return;
        RunPending();
    }

    void RunPending()
    {
        m_programLoadOpen = true;
        m_navigationAnswered = false;
        m_pending();
        m_watchdog.Start(kWatchdogMs);
        if (m_visit.answerBounded && !m_visit.endedHungProcess)
            m_navigationAnswer.StartOnce(kNavigationAnswerMs);
    }

    // The page process took up the navigation: it asked about it, or began it.
    void NavigationAnswered()
    {
        m_navigationAnswered = true;
        m_navigationAnswer.Stop();
    }

    // The user's navigation went unanswered for kNavigationAnswerMs: the page
    // process is busy with itself (a script that never ends). Waiting for the
    // engine's own check whether it answers takes far longer on a busy
    // machine; the user asked for another page, so this one is ended now.
    void OnNavigationUnanswered()
    {
        if (m_endingHungProcess) {
            // The engine never reported the end of the process: the
            // navigation goes on all the same.
            m_endingHungProcess = false;
            if (m_pending)
                RunPending();
            return;
        }
        if (!m_navigationAnswered && m_pending && !m_committed)
            EndHungProcess();
    }

    // Back, forward and reload: the page's own history, with a fresh chance
    // of a reload after a crash.
    void NavigateInPage(std::function<void()> start)
    {
        m_visit = Visit{};
        m_programUri.clear();
        Navigate(std::move(start));
    }

    void CheckNavigationAnswers()
    {
        if (m_committed || !m_pending) {
            m_watchdog.Stop();
            return;
        }
        if (!webkit_web_view_get_is_web_process_responsive(m_native))
            EndHungProcess();
    }

    // Ends the page process for the navigation under way; false when it was
    // ended for this navigation already (a machine too busy to answer in
    // time is no reason to end the next process too).
    bool EndHungProcess()
    {
        m_watchdog.Stop();
        m_navigationAnswer.Stop();
        if (m_endingHungProcess)
            return true;
        if (m_visit.endedHungProcess)
            return false;
        m_visit.endedHungProcess = true;
        m_endingHungProcess = true;
        ++m_hungEnded;
        webkit_web_view_terminate_web_process(m_native);
        // Should the engine never report the process's end, the navigation
        // goes on after this time all the same.
        m_navigationAnswer.StartOnce(kNavigationAnswerMs);
        return true;
    }

    void OnResponsiveChanged()
    {
        if (!webkit_web_view_get_is_web_process_responsive(m_native) && m_pending && !m_committed)
            EndHungProcess();
    }

    void EndLoad()
    {
        m_loading = false;
        m_host.OnLoadEnded();
    }

    void OnWebProcessTerminated(WebKitWebProcessTerminationReason reason)
    {
        EndLoad();
        if (m_endingHungProcess) {
            // Ended for the user's navigation: run it in a fresh process.
            m_endingHungProcess = false;
            m_navigationAnswer.Stop();
            if (m_pending)
                RunPending();
            return;
        }
        std::string uri = UriOf(m_native).empty() ? m_committedUri : UriOf(m_native);
        // The page is named as the user chose it, else by its last title.
        std::string name = !m_visit.name.empty() ? m_visit.name : m_title;
        if (reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT || m_endedForMemory) {
            m_endedForMemory = false;
            ShowFailure(m_visit.address.empty() ? uri : m_visit.address, name,
                        FailureReason::TooMuchMemory);
            return;
        }
        if (m_pending && !m_committed) {
            // Died as the user's navigation started: it runs once more in a
            // fresh process, rather than the page it was leaving.
            if (!m_visit.reloadedAfterCrash) {
                m_visit.reloadedAfterCrash = true;
                ++m_crashReloads;
                RunPending();
                return;
            }
            ShowFailure(m_visit.address.empty() ? m_programUri : m_visit.address, name,
                        FailureReason::StoppedWorking);
            return;
        }
        if (ParseFailurePageAddress(uri) || !m_visit.reloadedAfterCrash) {
            // Once per navigation of the user's, and the pane's own page always.
            m_visit.reloadedAfterCrash = true;
            ++m_crashReloads;
            webkit_web_view_reload(m_native);
            return;
        }
        ShowFailure(uri, name, FailureReason::StoppedWorking);
    }

    void CheckMemory()
    {
        const std::size_t limit = WebProcessMemoryLimit();
        for (const WebProcessUsage& process : WebProcessesOfThisProgram()) {
            if (process.residentBytes > limit) {
                m_endedForMemory = true;
                kill(process.pid, SIGKILL);
            }
        }
    }

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
        if (m_visit.secureTry.empty() || m_committed)
            return;
        m_visit.secureTry.clear();
        // The page process has just answered for the secure address.
        m_visit.answerBounded = false;
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
                if (event == WEBKIT_LOAD_FINISHED && !m_pending && m_loading)
                    EndLoad();
                return;
            }
        }
        if (event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_COMMITTED)
            NavigationAnswered();
        switch (event) {
        case WEBKIT_LOAD_STARTED:
            m_startedUri = UriOf(m_native);
            // Leaving the empty page, the engine names the new address only
            // once it is shown.
            if (m_startedUri == "about:blank" && m_blankFinished && m_pending && !m_committed)
                m_startedUri = m_programUri;
            m_loading = true;
            m_host.OnLoadProgress(LoadingHost(), 0.0);
            break;
        case WEBKIT_LOAD_COMMITTED:
            m_committed = true;
            // What the program asked for is now shown: from here on, only
            // the page asks for addresses, and a click on the last page
            // counts no longer.
            m_programLoadOpen = false;
            m_clickUnused = false;
            // A link under the pointer belonged to the page that went.
            m_hovered.clear();
            m_committedUri = UriOf(m_native);
            ForgetReaderAnswers();
            m_host.OnPageCommitted(m_committedUri);
            m_watchdog.Stop();
            m_secureAttempt.Stop();
            m_visit.secureTry.clear();
            break;
        case WEBKIT_LOAD_FINISHED:
            // The secure attempt that gave way ends too, while the user's
            // navigation goes on at the plain address.
            if (m_committed || !std::exchange(m_fellBack, false))
                m_pending = nullptr;
            EndLoad();
            OfferReaderIfArticle();
            break;
        default:
            break;
        }
    }

    bool OnLoadFailed(const char* failingUri, const GError* error)
    {
        if (IsCancellation(error))
            return true;
        FailureReason reason = ReasonFor(error);
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
        bool programs = !m_committed && !m_visit.address.empty();
        ShowFailure(programs ? m_visit.address : failing, programs ? m_visit.name : "", reason);
    }

    bool OnDecidePolicy(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type)
    {
        if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
            return DecideResponse(WEBKIT_RESPONSE_POLICY_DECISION(decision));
        if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
            return false;
        NavigationAnswered();
        Navigation navigation = NavigationOf(decision);
        const std::string uri = std::move(navigation.uri);
        const bool byUser = navigation.byUser;
        // The program's own navigation, until its page is shown; a page that
        // asks for the same address later is only a page.
        const bool byProgram = m_programLoadOpen && !m_programUri.empty() && uri == m_programUri;
        // The page shown asks, by its own link or script (no server's
        // redirect, no navigation of the program's under way).
        const auto fromPageOf = [&](std::string_view scheme) {
            return (m_committed || !m_pending) && !navigation.redirect &&
                   SchemeOf(m_committedUri) == scheme;
        };

        // "Try again" on the failure page goes through the program's own
        // navigation: the secure address first, a hung process replaced.
        if (uri == kFailureRetryAddress) {
            webkit_policy_decision_ignore(decision);
            if (std::optional<FailurePage> failed = ParseFailurePageAddress(UriOf(m_native));
                failed && byUser) {
                std::string address = failed->address, name = failed->name;
                CallAfter([this, address, name] { LoadURL(address, name); });
            }
            return true;
        }
        // The program's own pages (the start page, the failure page) come
        // only from the program: no page can show them, in the pane or in a
        // frame, with words of its own. The pane's history walks over them
        // as over any page, and they may link to each other.
        if (SchemeOf(uri) == kStartPageScheme && !byProgram && !navigation.inHistory &&
            !fromPageOf(kStartPageScheme)) {
            webkit_policy_decision_ignore(decision);
            return true;
        }
        switch (RouteOf(uri)) {
        case SchemeRoute::Outside:
            webkit_policy_decision_ignore(decision);
            // A page may hand an address to another program only from the
            // user's click; one that tries by itself gets nothing. Which
            // addresses may leave at all is the host's to decide.
            if (byUser || byProgram)
                CallAfter([this, uri] { m_host.OnOpenOutside(uri); });
            return true;
        case SchemeRoute::Local:
            // Local files open when the program opens them (the help page),
            // in the pane's history and from local pages; never from a web
            // page, nor through a web server's redirect.
            if (byProgram || navigation.inHistory || fromPageOf("file"))
                return false;
            webkit_policy_decision_ignore(decision);
            return true;
        case SchemeRoute::Shown:
            break;
        }
        return false;
    }

    // A click or key of the user's in the page: one answer the pane does
    // not show (a download) may go to the web browser for it.
    void OnUserInput() { m_clickUnused = true; }

    // Takes the user's last click for something handed outside, once.
    bool TakeUnusedClick() { return std::exchange(m_clickUnused, false); }

    bool DecideResponse(WebKitResponsePolicyDecision* decision)
    {
        WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
        const bool shown = webkit_response_policy_decision_is_mime_type_supported(decision) &&
                           !IsAttachment(response);
        if (!webkit_response_policy_decision_is_main_frame_main_resource(decision)) {
            // A frame of the page never sends anything out of the pane.
            if (shown)
                return false;
            webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
            return true;
        }
        NavigationAnswered();
        if (shown)
            return false;
        // Something the pane does not display (a PDF, an archive): the
        // user's web browser knows what to do with it, when the user asked
        // for it with a click, and once for each click.
        webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
        WebKitURIRequest* request = webkit_response_policy_decision_get_request(decision);
        std::string uri =
            request ? webkit_uri_request_get_uri(request) : webkit_uri_response_get_uri(response);
        if (TakeUnusedClick())
            CallAfter([this, uri] { m_host.OnNewWindow(uri); });
        return true;
    }

    void OnDownloadStarted(WebKitDownload* download)
    {
        WebKitWebView* view = webkit_download_get_web_view(download);
        if (!view || (view != m_native && view != m_reader))
            return;
        WebKitURIRequest* request = webkit_download_get_request(download);
        std::string uri = request ? webkit_uri_request_get_uri(request) : "";
        // Nothing is saved from the pane: the web browser gets it instead,
        // for a click of the user's (the reader view runs no script, so only
        // its menu starts one there).
        webkit_download_cancel(download);
        if (!uri.empty() && (view == m_reader || TakeUnusedClick()))
            CallAfter([this, uri] { m_host.OnNewWindow(uri); });
    }

    // The site being loaded: the one the program asked for while its
    // navigation is under way (the view may still show the previous one).
    std::string LoadingHost() const
    {
        std::string host = m_pending ? HostOf(m_programUri) : std::string();
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

    static void WebProcessTerminatedThunk(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                          gpointer self)
    {
        // Whatever ended the process, the pane must not stay dead. Leave the
        // signal handler before loading again.
        auto* engine = static_cast<WebKitEngine*>(self);
        engine->CallAfter([engine, reason] { engine->OnWebProcessTerminated(reason); });
    }

    static gboolean ReaderDecidePolicyThunk(WebKitWebView*, WebKitPolicyDecision* decision,
                                            WebKitPolicyDecisionType type, gpointer self)
    {
        return static_cast<WebKitEngine*>(self)->OnReaderDecidePolicy(decision, type);
    }

    static void ReaderLoadChangedThunk(WebKitWebView*, WebKitLoadEvent event, gpointer self)
    {
        static_cast<WebKitEngine*>(self)->OnReaderLoadChanged(event);
    }

    static void ReaderProcessTerminatedThunk(WebKitWebView*, WebKitWebProcessTerminationReason,
                                             gpointer self)
    {
        // Nothing of the reader view is lost that the page cannot give again.
        auto* engine = static_cast<WebKitEngine*>(self);
        engine->CallAfter([engine] { engine->CloseReader(); });
    }

    static gboolean DecidePolicyThunk(WebKitWebView*, WebKitPolicyDecision* decision,
                                      WebKitPolicyDecisionType type, gpointer self)
    {
        return static_cast<WebKitEngine*>(self)->OnDecidePolicy(decision, type);
    }

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

    static void ResponsiveThunk(WebKitWebView*, GParamSpec*, gpointer self)
    {
        static_cast<WebKitEngine*>(self)->OnResponsiveChanged();
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
    static gboolean ContextMenuThunk(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                     WebKitHitTestResult*, gpointer self)
    {
        // Only a page of the web goes to the web browser: not the help page
        // on the disk, nor the program's own pages.
        const std::string scheme = SchemeOf(static_cast<WebKitEngine*>(self)->ShownAddress());
        if (scheme != "http" && scheme != "https")
            return FALSE;
        GSimpleAction* action = g_simple_action_new("open-page-in-browser", nullptr);
        g_signal_connect(action, "activate",
                         G_CALLBACK(+[](GSimpleAction*, GVariant*, gpointer engine) {
                             auto* me = static_cast<WebKitEngine*>(engine);
                             me->m_host.OnOpenOutside(me->ShownAddress());
                         }),
                         self);
        webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
        webkit_context_menu_append(menu, webkit_context_menu_item_new_from_gaction(
                                             G_ACTION(action), kOpenPageInBrowserLabel, nullptr));
        g_object_unref(action);
        return FALSE;
    }

    static void MouseTargetThunk(WebKitWebView*, WebKitHitTestResult* hit, guint, gpointer self)
    {
        static_cast<WebKitEngine*>(self)->OnMouseTarget(hit);
    }

    static gboolean ButtonPressThunk(GtkWidget*, GdkEventButton*, gpointer self)
    {
        static_cast<WebKitEngine*>(self)->OnUserInput();
        return FALSE;
    }

    static gboolean KeyPressThunk(GtkWidget*, GdkEventKey* key, gpointer self)
    {
        switch (key->keyval) {
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
        case GDK_KEY_space:
            static_cast<WebKitEngine*>(self)->OnUserInput();
            break;
        default:
            break;
        }
        return FALSE;
    }

    static gboolean FocusInThunk(GtkWidget*, GdkEvent*, gpointer self)
    {
        static_cast<WebKitEngine*>(self)->m_host.OnPageFocused();
        return FALSE;
    }

    static void DownloadStartedThunk(WebKitWebContext*, WebKitDownload* download, gpointer self)
    {
        static_cast<WebKitEngine*>(self)->OnDownloadStarted(download);
    }

    static gboolean PermissionRequestThunk(WebKitWebView*, WebKitPermissionRequest* request,
                                           gpointer)
    {
        // Pages get no location, notifications, camera or microphone, and no
        // question about them.
        webkit_permission_request_deny(request);
        return TRUE;
    }

    wxWebView* m_webView;
    WebKitWebView* m_native;
    WebEngineHost& m_host;
    std::unique_ptr<NewWindowCatcher> m_newWindows;
    // The reader view: its web view (made when first needed), what is asked
    // of the page shown (cancelled when another page comes), and where it stands.
    wxWebView* m_readerWebView = nullptr;
    WebKitWebView* m_reader = nullptr;
    std::unique_ptr<NewWindowCatcher> m_readerNewWindows;
    GCancellable* m_readerCancel = nullptr;
    bool m_readerOffered = false;
    bool m_readerLoading = false;
    bool m_readerShown = false;
    std::string m_readerAddress;
    std::string m_readerTitle;
    unsigned m_readerPages = 0;
    std::string m_skin;
    Visit m_visit;
    // The address the program itself asked the engine for last, and whether
    // that navigation is still on its way (until a page is shown).
    std::string m_programUri;
    bool m_programLoadOpen = false;
    // Whether the user's navigation was taken up by the page process.
    bool m_navigationAnswered = true;
    // A click (or Enter) of the user's in the page not yet used for
    // something handed outside.
    bool m_clickUnused = false;
    // The user's navigation under way, run again in a fresh process when the
    // page process had to be ended for it.
    std::function<void()> m_pending;
    // The secure attempt gave way to the plain address: its own end is not
    // that of the navigation.
    bool m_fellBack = false;
    bool m_committed = true;
    bool m_loading = false;
    bool m_endingHungProcess = false;
    bool m_endedForMemory = false;
    int m_crashReloads = 0;
    int m_hungEnded = 0;
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
    wxTimer m_watchdog;
    wxTimer m_navigationAnswer;
    wxTimer m_secureAttempt;
    wxTimer m_memoryCheck;
};

std::string ResumeAddress()
{
    return Engines().empty() ? std::string() : Engines().front()->ShownAddress();
}

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
