#pragma once
// A page's request for a new window (a pop-up opened from a click, a link
// with target="_blank", "Open Link in New Window" of the page's context
// menu): its address goes to `open` and the pane keeps its page. A request
// that names no address yet (window.open() and then a new location) gets a
// view that is never shown; the address that view is asked to load goes
// out, and the view is destroyed. The toolkit's own answer, the page's view
// itself, ends the whole program with some engine versions.
#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include <webkit2/webkit2.h>

namespace lumo {

// Takes every handler connected so far off `instance`'s `signal`.
void DisconnectAllHandlers(gpointer instance, const char* signal);

class NewWindowCatcher
{
public:
    using OpenHandler = std::function<void(const std::string& url)>;
    // The time by which requests close together are told apart.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Takes over `view`'s "create" signal from every handler connected so far.
    NewWindowCatcher(WebKitWebView* view, OpenHandler open,
                     Clock clock = &std::chrono::steady_clock::now);
    ~NewWindowCatcher();
    NewWindowCatcher(const NewWindowCatcher&) = delete;
    NewWindowCatcher& operator=(const NewWindowCatcher&) = delete;

    // How many unshown views exist right now.
    std::size_t PendingViews() const { return m_views.size(); }

private:
    struct Unshown;

    static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
    static gboolean OnUnshownDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                          WebKitPolicyDecisionType type, gpointer unshown);
    static void OnUnshownClose(WebKitWebView*, gpointer unshown);
    static gboolean DestroyLater(gpointer unshown);

    // Hands an address on, once out of the engine's signal.
    void Open(const std::string& uri);
    void ScheduleDestroy(Unshown& unshown, unsigned delayMs);
    void Destroy(Unshown* unshown);

    WebKitWebView* m_view;
    OpenHandler m_open;
    Clock m_clock;
    std::list<std::unique_ptr<Unshown>> m_views;
    std::chrono::steady_clock::time_point m_lastRequest{};
    std::string m_pendingOpen;
    guint m_openSource = 0;
};

} // namespace lumo
