#pragma once
// A page's request for a new window (a pop-up opened from a click, a link
// with target="_blank", "Open Link in New Window" of the page's context
// menu): the engine is given a view of its own that is never shown, the
// address that view is asked to load goes to `open`, and the view is
// destroyed. The pane keeps its page, and the engine never sees a request
// go unanswered (which ends the whole program with some engine versions).
#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include <webkit2/webkit2.h>

namespace lumo {

class NewWindowCatcher
{
public:
    using OpenHandler = std::function<void(const std::string& url)>;
    // Takes over `view`'s "create" signal from every handler connected so far.
    NewWindowCatcher(WebKitWebView* view, OpenHandler open);
    ~NewWindowCatcher();
    NewWindowCatcher(const NewWindowCatcher&) = delete;
    NewWindowCatcher& operator=(const NewWindowCatcher&) = delete;

    // Hands an address of a new window on, at most one in a short while, so
    // that a page opening windows in a loop opens one. For requests that
    // reach the program another way (the toolkit's event for links with a
    // target).
    void Open(const std::string& url);

    // How many unshown views exist right now.
    std::size_t PendingViews() const { return m_views.size(); }

private:
    struct Unshown;

    static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
    static gboolean OnUnshownDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                          WebKitPolicyDecisionType type, gpointer unshown);
    static void OnUnshownClose(WebKitWebView*, gpointer unshown);
    static gboolean DestroyLater(gpointer unshown);

    void HandOn(Unshown& unshown, const char* uri);
    void ScheduleDestroy(Unshown& unshown, unsigned delayMs);
    void Destroy(Unshown* unshown);

    WebKitWebView* m_view;
    OpenHandler m_open;
    std::list<std::unique_ptr<Unshown>> m_views;
    std::chrono::steady_clock::time_point m_lastOpen{};
    std::string m_pendingOpen;
    guint m_openSource = 0;
};

} // namespace lumo
