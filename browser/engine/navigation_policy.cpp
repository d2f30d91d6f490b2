// What a page in the pane may navigate to, decided on the engine's policy
// questions about the page's view.
#include "browser/engine/navigation_policy.h"

#include <optional>
#include <string_view>
#include <utility>

#include "browser/core/web_address.h"
#include "browser/engine/view_address.h"
#include "browser/web_engine.h"
#include "common/resource_ids.h"

namespace lumo {
namespace {

bool IsAttachment(WebKitURIResponse* response)
{
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
    const char* disposition =
        headers ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
    return disposition && g_ascii_strncasecmp(disposition, "attachment", 10) == 0;
}

} // namespace

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

NavigationPolicy::NavigationPolicy(WebKitWebView* view, WebEngineHost& host, Owner& owner)
    : m_view(view), m_host(host), m_owner(owner)
{
    g_signal_connect(m_view, "decide-policy", G_CALLBACK(DecidePolicyThunk), this);
    // What the user does in the page, unlike what its scripts do.
    g_signal_connect(m_view, "button-press-event", G_CALLBACK(ButtonPressThunk), this);
    g_signal_connect(m_view, "key-press-event", G_CALLBACK(KeyPressThunk), this);
    g_signal_connect(webkit_web_view_get_context(m_view), "download-started",
                     G_CALLBACK(DownloadStartedThunk), this);
}

NavigationPolicy::~NavigationPolicy()
{
    g_signal_handlers_disconnect_by_data(m_view, this);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_context(m_view), this);
}

bool NavigationPolicy::OnDecidePolicy(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type)
{
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
        return DecideResponse(WEBKIT_RESPONSE_POLICY_DECISION(decision));
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
        return false;
    m_owner.NavigationAnswered();
    Navigation navigation = NavigationOf(decision);
    m_owner.NavigationAsked(navigation);
    const std::string uri = std::move(navigation.uri);
    const bool byUser = navigation.byUser;
    // The program's own navigation, until its page is shown; a page that
    // asks for the same address later is only a page.
    const bool byProgram = m_owner.IsProgramNavigation(uri);
    // The page shown asks, by its own link or script (no server's
    // redirect, no navigation of the program's under way).
    const auto fromPageOf = [&](std::string_view scheme) {
        return m_owner.PageShownAsks() && !navigation.redirect &&
               SchemeOf(m_owner.CommittedUri()) == scheme;
    };

    // "Try again" on the failure page goes through the program's own
    // navigation: the secure address first, a hung process replaced.
    if (uri == kFailureRetryAddress) {
        webkit_policy_decision_ignore(decision);
        if (std::optional<FailurePage> failed = ParseFailurePageAddress(UriOf(m_view));
            failed && byUser) {
            std::string address = failed->address, name = failed->name;
            CallAfter([this, address, name] { m_owner.LoadURL(address, name); });
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
        // The user's click is told why nothing opened (the host refuses it).
        if (byUser)
            CallAfter([this, uri] { m_host.OnOpenOutside(uri); });
        return true;
    case SchemeRoute::Shown:
        break;
    }
    return false;
}

bool NavigationPolicy::TakeUnusedClick()
{
    return std::exchange(m_clickUnused, false);
}

bool NavigationPolicy::DecideResponse(WebKitResponsePolicyDecision* decision)
{
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
    const bool shown =
        webkit_response_policy_decision_is_mime_type_supported(decision) && !IsAttachment(response);
    if (!webkit_response_policy_decision_is_main_frame_main_resource(decision)) {
        // A frame of the page never sends anything out of the pane.
        if (shown)
            return false;
        webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
        return true;
    }
    m_owner.NavigationAnswered();
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

void NavigationPolicy::OnDownloadStarted(WebKitDownload* download)
{
    WebKitWebView* view = webkit_download_get_web_view(download);
    WebKitWebView* reader = m_owner.ReaderNative();
    if (!view || (view != m_view && view != reader))
        return;
    WebKitURIRequest* request = webkit_download_get_request(download);
    std::string uri = request ? webkit_uri_request_get_uri(request) : "";
    // Nothing is saved from the pane: the web browser gets it instead,
    // for a click of the user's (the reader view runs no script, so only
    // its menu starts one there).
    webkit_download_cancel(download);
    if (!uri.empty() && (view == reader || TakeUnusedClick()))
        CallAfter([this, uri] { m_host.OnNewWindow(uri); });
}

gboolean NavigationPolicy::DecidePolicyThunk(WebKitWebView*, WebKitPolicyDecision* decision,
                                             WebKitPolicyDecisionType type, gpointer self)
{
    return static_cast<NavigationPolicy*>(self)->OnDecidePolicy(decision, type);
}

gboolean NavigationPolicy::ButtonPressThunk(GtkWidget*, GdkEventButton*, gpointer self)
{
    static_cast<NavigationPolicy*>(self)->OnUserInput();
    return FALSE;
}

gboolean NavigationPolicy::KeyPressThunk(GtkWidget*, GdkEventKey* key, gpointer self)
{
    switch (key->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
    case GDK_KEY_space:
        static_cast<NavigationPolicy*>(self)->OnUserInput();
        break;
    default:
        break;
    }
    return FALSE;
}

void NavigationPolicy::DownloadStartedThunk(WebKitWebContext*, WebKitDownload* download,
                                            gpointer self)
{
    static_cast<NavigationPolicy*>(self)->OnDownloadStarted(download);
}

} // namespace lumo
