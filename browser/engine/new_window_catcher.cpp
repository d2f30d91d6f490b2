#include "browser/engine/new_window_catcher.h"

#include <cstring>

#include "browser/engine/gobject_ptr.h"
#include "browser/engine/web_view_hardening.h"

namespace lumo {
namespace {

// Requests for new windows closer together than this are one burst.
constexpr auto kBurstInterval = std::chrono::milliseconds(1000);
// An unshown view that is never asked for an address goes after this.
constexpr unsigned kUnusedLifetimeMs = 10000;

bool IsAddressToOpen(const char* uri)
{
    return uri && *uri && std::strcmp(uri, "about:blank") != 0;
}

} // namespace

void DisconnectAllHandlers(gpointer instance, const char* signal)
{
    // Matching on the signal alone disconnects nothing: find them one by one.
    guint id = g_signal_lookup(signal, G_OBJECT_TYPE(instance));
    while (gulong handler =
               g_signal_handler_find(instance, G_SIGNAL_MATCH_ID, id, 0, nullptr, nullptr, nullptr))
        g_signal_handler_disconnect(instance, handler);
}

struct NewWindowCatcher::Unshown
{
    NewWindowCatcher* owner = nullptr;
    GObjectPtr<WebKitWebView> view;
    bool handedOn = false;
    guint destroySource = 0;
};

NewWindowCatcher::NewWindowCatcher(WebKitWebView* view, OpenHandler open, Clock clock)
    : m_view(view), m_open(std::move(open)), m_clock(std::move(clock))
{
    // The toolkit answers with the page's own view, which the engine cannot
    // take (it ends the program): this answer replaces it.
    DisconnectAllHandlers(view, "create");
    g_signal_connect(view, "create", G_CALLBACK(OnCreate), this);
}

NewWindowCatcher::~NewWindowCatcher()
{
    g_signal_handlers_disconnect_by_data(m_view, this);
    if (m_openSource)
        g_source_remove(m_openSource);
    while (!m_views.empty())
        Destroy(m_views.front().get());
}

GtkWidget* NewWindowCatcher::OnCreate(WebKitWebView* view, WebKitNavigationAction* action,
                                      gpointer self)
{
    auto* catcher = static_cast<NewWindowCatcher*>(self);
    // Requests in quick succession (a page opening windows in a loop) are
    // one: the first goes out, the rest get no window.
    auto now = catcher->m_clock();
    bool burst = catcher->m_lastRequest != std::chrono::steady_clock::time_point{} &&
                 now - catcher->m_lastRequest < kBurstInterval;
    catcher->m_lastRequest = now;
    if (burst)
        return nullptr;

    // window.open(address), a link with a target and the context menu name
    // the address here: it goes out, and the page gets no window.
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    if (IsAddressToOpen(uri)) {
        catcher->Open(uri);
        return nullptr;
    }
    // window.open() followed by a change of location names it only in the
    // new window's first navigation: an unshown view waits for it.
    auto unshown = std::make_unique<Unshown>();
    unshown->owner = catcher;
    unshown->view.reset(
        WEBKIT_WEB_VIEW(g_object_ref_sink(webkit_web_view_new_with_related_view(view))));
    HardenWebView(unshown->view.get());
    g_signal_connect(unshown->view.get(), "decide-policy", G_CALLBACK(OnUnshownDecidePolicy),
                     unshown.get());
    g_signal_connect(unshown->view.get(), "close", G_CALLBACK(OnUnshownClose), unshown.get());
    Unshown& added = *catcher->m_views.emplace_back(std::move(unshown));
    catcher->ScheduleDestroy(added, kUnusedLifetimeMs);
    return GTK_WIDGET(added.view.get());
}

gboolean NewWindowCatcher::OnUnshownDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                                 WebKitPolicyDecisionType type, gpointer data)
{
    auto* unshown = static_cast<Unshown*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION ||
        type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
        WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        WebKitURIRequest* request = webkit_navigation_action_get_request(action);
        const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
        if (IsAddressToOpen(uri) && !unshown->handedOn) {
            unshown->handedOn = true;
            unshown->owner->Open(uri);
            unshown->owner->ScheduleDestroy(*unshown, 0);
        }
    }
    // Nothing ever loads in the unshown view.
    webkit_policy_decision_ignore(decision);
    return TRUE;
}

void NewWindowCatcher::OnUnshownClose(WebKitWebView*, gpointer data)
{
    auto* unshown = static_cast<Unshown*>(data);
    unshown->owner->ScheduleDestroy(*unshown, 0);
}

void NewWindowCatcher::Open(const std::string& uri)
{
    // The handler may do anything, even open a dialog: leave the engine's
    // signal first.
    m_pendingOpen = uri;
    if (!m_openSource)
        m_openSource = g_idle_add(
            [](gpointer self) -> gboolean {
                auto* catcher = static_cast<NewWindowCatcher*>(self);
                catcher->m_openSource = 0;
                std::string address = std::move(catcher->m_pendingOpen);
                catcher->m_open(address);
                return G_SOURCE_REMOVE;
            },
            this);
}

void NewWindowCatcher::ScheduleDestroy(Unshown& unshown, unsigned delayMs)
{
    if (unshown.destroySource)
        g_source_remove(unshown.destroySource);
    // Never inside the engine's own signal: the view is still in use there.
    unshown.destroySource = delayMs == 0 ? g_idle_add(DestroyLater, &unshown)
                                         : g_timeout_add(delayMs, DestroyLater, &unshown);
}

gboolean NewWindowCatcher::DestroyLater(gpointer data)
{
    auto* unshown = static_cast<Unshown*>(data);
    unshown->destroySource = 0;
    unshown->owner->Destroy(unshown);
    return G_SOURCE_REMOVE;
}

void NewWindowCatcher::Destroy(Unshown* unshown)
{
    if (unshown->destroySource)
        g_source_remove(unshown->destroySource);
    g_signal_handlers_disconnect_by_data(unshown->view.get(), unshown);
    gtk_widget_destroy(GTK_WIDGET(unshown->view.get()));
    m_views.remove_if([unshown](const std::unique_ptr<Unshown>& p) { return p.get() == unshown; });
}

} // namespace lumo
