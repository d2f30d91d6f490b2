// The program's own navigations in the pane's view: the secure address
// first, the plain one after it, the failure page, and the load's state.
#include "browser/engine/program_navigation.h"

#include <optional>
#include <string_view>
#include <utility>

#include <wx/datetime.h>

#include "browser/core/load_failure.h"
#include "browser/engine/engine_environment.h"
#include "browser/engine/start_page_handler.h"
#include "browser/engine/view_address.h"

namespace lumo {
namespace {

// An https:// attempt that has not answered in this time gives way to http://.
constexpr int kSecureAttemptMs = 4000;

bool IsCancellation(const GError* error)
{
    return g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
           g_error_matches(error, WEBKIT_POLICY_ERROR,
                           WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
           g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD);
}

} // namespace

ProgramNavigation::ProgramNavigation(WebKitWebView* view, Owner& owner)
    : m_view(view), m_owner(owner), m_guard(view, *this)
{
    g_signal_connect(m_view, "load-changed", G_CALLBACK(LoadChangedThunk), this);
    g_signal_connect(m_view, "load-failed", G_CALLBACK(LoadFailedThunk), this);
    g_signal_connect(m_view, "load-failed-with-tls-errors", G_CALLBACK(TlsFailedThunk), this);
    g_signal_connect(m_view, "notify::estimated-load-progress", G_CALLBACK(ProgressThunk), this);
    m_secureAttempt.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { FallBackToPlainAddress(); });
    m_answerLimit.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
        // A server that never answers leaves no old page under the new name.
        if (m_guard.Committed() || !m_guard.Pending())
            return;
        m_guard.Stop();
        webkit_web_view_stop_loading(m_view);
        ShowFailureFor(UriOf(m_view), FailureReason::TimedOut);
    });
}

ProgramNavigation::~ProgramNavigation()
{
    m_secureAttempt.Stop();
    m_answerLimit.Stop();
    g_signal_handlers_disconnect_by_data(m_view, this);
}

void ProgramNavigation::Open(const std::string& address, const std::string& name)
{
    m_visit = Visit{};
    m_visit.address = address;
    m_visit.name = name;
    std::optional<std::string> secure = SecureFirstAddress(address);
    m_visit.secureTry = secure.value_or("");
    std::string first = secure.value_or(address);
    m_programUri = first;
    m_owner.BeforeProgramLoad(first);
    // Away from a page shown, the page process must take the navigation
    // up in time (see the page process guard).
    m_guard.NewVisit(!m_committedUri.empty() && m_committedUri != "about:blank");
    // The limit runs from the asking, the secure attempt included.
    m_answerLimit.StartOnce(NavigationAnswerLimitMs());
    Navigate([this, first] { webkit_web_view_load_uri(m_view, first.c_str()); });
    if (secure)
        m_secureAttempt.StartOnce(kSecureAttemptMs);
}

void ProgramNavigation::InPage(std::function<void()> start)
{
    m_visit = Visit{};
    m_guard.NewVisit(false);
    m_programUri.clear();
    m_answerLimit.StartOnce(NavigationAnswerLimitMs());
    Navigate(std::move(start));
}

void ProgramNavigation::Reload()
{
    if (std::optional<FailurePage> failed = ParseFailurePageAddress(UriOf(m_view))) {
        // Reloading the failure page tries the paper again.
        Open(failed->address, failed->name);
        return;
    }
    InPage([this] { webkit_web_view_reload(m_view); });
}

void ProgramNavigation::Stop()
{
    // Stopped means stopped: no plain address after the secure one, no
    // navigation run again in a fresh process.
    m_visit.secureTry.clear();
    m_secureAttempt.Stop();
    m_answerLimit.Stop();
    m_guard.Stop();
    webkit_web_view_stop_loading(m_view);
    // A load stopped before it started reports nothing.
    EndLoad();
}

void ProgramNavigation::NoteTitle(const std::string& title)
{
    if (!title.empty())
        m_title = title;
}

bool ProgramNavigation::ShowsFailurePage() const
{
    return ParseFailurePageAddress(UriOf(m_view)).has_value();
}

std::string ProgramNavigation::ShownAddress() const
{
    // Until the page asked for shows: its address as asked for. Then the
    // page on screen, wherever its links led.
    if (!m_visit.address.empty() && !m_guard.Committed())
        return m_visit.address;
    std::string uri = m_committedUri.empty() ? UriOf(m_view) : m_committedUri;
    if (std::optional<FailurePage> failed = ParseFailurePageAddress(uri))
        return failed->address;
    return uri;
}

bool ProgramNavigation::IsProgramNavigation(const std::string& uri) const
{
    // A page that asks for the same address later is only a page.
    return m_programLoadOpen && !m_programUri.empty() && uri == m_programUri;
}

void ProgramNavigation::EndLoad()
{
    // Stopped, or its page process gone: the engine may never report the
    // end of what it started.
    m_earlierLoadOpen = m_loadReported = false;
    m_loading = false;
    m_owner.LoadEnded();
}

std::string ProgramNavigation::PageUri() const
{
    return UriOf(m_view).empty() ? m_committedUri : UriOf(m_view);
}

void ProgramNavigation::ShowProcessFailure(const std::string& address, FailureReason reason)
{
    // The page is named as the user chose it, else by its last title.
    ShowFailure(address, !m_visit.name.empty() ? m_visit.name : m_title, reason);
}

void ProgramNavigation::Navigate(std::function<void()> start)
{
    m_fellBack = false;
    m_secureAttempt.Stop();
    m_guard.Navigate([this, start = std::move(start)] {
        m_programLoadOpen = true;
        m_earlierLoadOpen = m_loadReported;
        start();
    });
}

void ProgramNavigation::ShowFailure(const std::string& address, const std::string& name,
                                    FailureReason reason)
{
    m_visit.secureTry.clear();
    m_secureAttempt.Stop();
    m_answerLimit.Stop();
    NoteFailedTry(address, wxDateTime::Now().FormatISOTime().utf8_string());
    std::string page = FailurePageAddress(address, name.empty() ? HostOf(address) : name, reason);
    m_programUri = page;
    m_programLoadOpen = true;
    m_earlierLoadOpen = m_loadReported;
    webkit_web_view_load_uri(m_view, page.c_str());
}

void ProgramNavigation::FallBackToPlainAddress()
{
    if (m_visit.secureTry.empty() || m_guard.Committed())
        return;

    m_visit.secureTry.clear();
    // The page process has just answered for the secure address.
    m_guard.SetAnswerBounded(false);
    m_programUri = m_visit.address;
    std::string plain = m_visit.address;
    Navigate([this, plain] { webkit_web_view_load_uri(m_view, plain.c_str()); });
    m_fellBack = true;
}

void ProgramNavigation::ShowFailureFor(const std::string& failing, FailureReason reason)
{
    // The program's own navigation keeps the paper's name and address as
    // written, also when its page fails once shown (its network process
    // gone); a link followed inside a page is named by its host.
    const bool programs = !m_visit.address.empty() &&
                          (!m_guard.Committed() || (!failing.empty() && failing == m_visitPage));
    ShowFailure(programs ? m_visit.address : failing, programs ? m_visit.name : "", reason);
}

std::string ProgramNavigation::LoadingHost() const
{
    std::string host = m_guard.Pending() ? HostOf(m_programUri) : std::string();
    return host.empty() ? HostOf(UriOf(m_view)) : host;
}

void ProgramNavigation::OnLoadChanged(WebKitLoadEvent event)
{
    // Every load the engine reports started, it reports ended.
    if (event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_FINISHED)
        m_loadReported = event == WEBKIT_LOAD_STARTED;
    if (m_earlierLoadOpen) {
        // Its page is not the one asked for; its end leaves the new
        // navigation under way.
        if (event == WEBKIT_LOAD_FINISHED)
            m_earlierLoadOpen = false;
        return;
    }
    if ((event == WEBKIT_LOAD_COMMITTED || event == WEBKIT_LOAD_FINISHED) &&
        UriOf(m_view) == "about:blank") {
        // An address the engine will not load (a port kept for other
        // services) ends on an empty page in its place, with no failure
        // reported: it is one.
        if (event == WEBKIT_LOAD_COMMITTED && m_blankFinished && IsWebOrFilePage(m_startedUri)) {
            ShowFailureFor(std::exchange(m_startedUri, std::string()),
                           FailureReason::PortNotAllowed);
            return;
        }
        // The pane's first, empty page has been shown once it ends: only
        // then may an empty page stand for another address.
        m_blankFinished = m_blankFinished || event == WEBKIT_LOAD_FINISHED;
        // The pane's first, empty page may report in after the program has
        // asked for another one: that is not the news of the navigation,
        // though with none under way (stopped) it ends what loads.
        if (!m_programUri.empty() && m_programUri != "about:blank") {
            if (event == WEBKIT_LOAD_FINISHED && !m_guard.Pending() && m_loading)
                EndLoad();
            return;
        }
    }
    if (event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_COMMITTED)
        m_guard.NavigationAnswered();
    switch (event) {
    case WEBKIT_LOAD_STARTED:
        m_startedUri = UriOf(m_view);
        // Leaving the empty page, the engine names the new address only
        // once it is shown.
        if (m_startedUri == "about:blank" && m_blankFinished && m_guard.Pending() &&
            !m_guard.Committed())
            m_startedUri = m_programUri;
        m_loading = true;
        m_owner.LoadProgress(LoadingHost(), 0.0);
        break;
    case WEBKIT_LOAD_COMMITTED:
        m_guard.Commit();
        // What the program asked for is now shown: from here on, only the
        // page asks for addresses.
        m_committedUri = UriOf(m_view);
        m_visitPage = m_programLoadOpen ? m_committedUri : std::string();
        m_programLoadOpen = false;
        m_guard.StopWatchdog();
        m_secureAttempt.Stop();
        m_answerLimit.Stop();
        m_visit.secureTry.clear();
        m_owner.PageCommitted(m_committedUri);
        break;
    case WEBKIT_LOAD_FINISHED:
        // The secure attempt that gave way ends too, while the user's
        // navigation goes on at the plain address.
        if (m_guard.Committed() || !std::exchange(m_fellBack, false))
            m_guard.ForgetNavigation();
        EndLoad();
        m_owner.PageFinished();
        break;
    default:
        break;
    }
}

bool ProgramNavigation::OnLoadFailed(const char* failingUri, const GError* error)
{
    if (IsCancellation(error) || m_earlierLoadOpen)
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

bool ProgramNavigation::OnTlsFailed(const char* failingUri)
{
    if (m_earlierLoadOpen)
        return true;
    if (!m_visit.secureTry.empty()) {
        // Only the https:// tried in place of the user's own http://
        // failed: the plain address is what the user asked for.
        FallBackToPlainAddress();
        return true;
    }
    ShowFailureFor(failingUri ? failingUri : "", FailureReason::Untrusted);
    return true;
}

void ProgramNavigation::OnProgress()
{
    m_loading = webkit_web_view_is_loading(m_view);
    if (m_loading)
        m_owner.LoadProgress(LoadingHost(), webkit_web_view_get_estimated_load_progress(m_view));
}

void ProgramNavigation::LoadChangedThunk(WebKitWebView*, WebKitLoadEvent event, gpointer self)
{
    static_cast<ProgramNavigation*>(self)->OnLoadChanged(event);
}

gboolean ProgramNavigation::LoadFailedThunk(WebKitWebView*, WebKitLoadEvent, gchar* uri,
                                            GError* error, gpointer self)
{
    return static_cast<ProgramNavigation*>(self)->OnLoadFailed(uri, error);
}

gboolean ProgramNavigation::TlsFailedThunk(WebKitWebView*, gchar* uri, GTlsCertificate*,
                                           GTlsCertificateFlags, gpointer self)
{
    return static_cast<ProgramNavigation*>(self)->OnTlsFailed(uri);
}

void ProgramNavigation::ProgressThunk(WebKitWebView*, GParamSpec*, gpointer self)
{
    static_cast<ProgramNavigation*>(self)->OnProgress();
}

} // namespace lumo
