#pragma once
// What a page in the pane may navigate to: the engine's policy decisions on
// the page's view. The program's own pages come only from the program, other
// schemes leave for the desktop on the user's click, local files open only
// from the program or from local pages, and what the pane does not show (a
// download) goes to the web browser once for each click of the user's.
#include <string>

#include <wx/event.h>

#include <webkit2/webkit2.h>

namespace lumo {

class WebEngineHost;

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

Navigation NavigationOf(WebKitPolicyDecision* decision);

class NavigationPolicy : public wxEvtHandler
{
public:
    // What the policy asks of the engine whose page it decides for.
    class Owner
    {
    public:
        virtual ~Owner() = default;
        // Whether `uri` is the navigation the program asked for itself,
        // until its page is shown.
        virtual bool IsProgramNavigation(const std::string& uri) const = 0;
        // Whether the page shown is the one that asks (no navigation of the
        // program's is under way).
        virtual bool PageShownAsks() const = 0;
        // The address of the page shown.
        virtual std::string CommittedUri() const = 0;
        // The page process took up a navigation: it asked about it.
        virtual void NavigationAnswered() = 0;
        // The page's view asks to go to `navigation`, before it is decided.
        virtual void NavigationAsked(const Navigation& navigation) = 0;
        // The program's own navigation to a paper, as from the tree.
        virtual void LoadURL(const std::string& url, const std::string& name) = 0;
        // The reader view's web view, none before it is made.
        virtual WebKitWebView* ReaderNative() const = 0;
    };

    // Decides every policy of `view` and answers its downloads.
    NavigationPolicy(WebKitWebView* view, WebEngineHost& host, Owner& owner);
    ~NavigationPolicy() override;
    NavigationPolicy(const NavigationPolicy&) = delete;
    NavigationPolicy& operator=(const NavigationPolicy&) = delete;

    // A new page is shown: a click on the last page counts no longer.
    void ForgetClick() { m_clickUnused = false; }

private:
    bool OnDecidePolicy(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type);
    bool DecideResponse(WebKitResponsePolicyDecision* decision);
    void OnDownloadStarted(WebKitDownload* download);
    // A click or key of the user's in the page: one answer the pane does
    // not show (a download) may go to the web browser for it.
    void OnUserInput() { m_clickUnused = true; }
    // Takes the user's last click for something handed outside, once.
    bool TakeUnusedClick();

    static gboolean DecidePolicyThunk(WebKitWebView*, WebKitPolicyDecision* decision,
                                      WebKitPolicyDecisionType type, gpointer self);
    static gboolean ButtonPressThunk(GtkWidget*, GdkEventButton*, gpointer self);
    static gboolean KeyPressThunk(GtkWidget*, GdkEventKey* key, gpointer self);
    static void DownloadStartedThunk(WebKitWebContext*, WebKitDownload* download, gpointer self);

    WebKitWebView* m_view;
    WebEngineHost& m_host;
    Owner& m_owner;
    // A click (or Enter) of the user's in the page not yet used for
    // something handed outside.
    bool m_clickUnused = false;
};

} // namespace lumo
