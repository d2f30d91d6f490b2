#pragma once
// The navigations the program itself asks for in the pane's view, and the
// state of the load under way: an http:// paper is tried as https:// first
// and falls back to its plain address, a page that fails shows the pane's
// failure page headed with the paper's name, and the page process guard
// sees that a hung or dead page process never holds a navigation.
#include <functional>
#include <memory>
#include <string>

#include <wx/event.h>
#include <wx/timer.h>

#include <webkit2/webkit2.h>

#include "browser/core/web_address.h"
#include "browser/engine/page_process_guard.h"

namespace lumo {

class ProgramNavigation : public wxEvtHandler, private PageProcessGuard::Owner
{
public:
    // What the navigation tells the engine it belongs to.
    class Owner
    {
    public:
        virtual ~Owner() = default;
        // `uri` is about to be loaded for the program (its filters go first).
        virtual void BeforeProgramLoad(const std::string& uri) = 0;
        // A page is loading from `host`; `progress` runs from 0 to 1.
        virtual void LoadProgress(const std::string& host, double progress) = 0;
        // The load ended: finished, failed or stopped.
        virtual void LoadEnded() = 0;
        // A page from `uri` is now the one shown.
        virtual void PageCommitted(const std::string& uri) = 0;
        // The page shown has loaded in full.
        virtual void PageFinished() = 0;
        // The page process crashed; the navigation reloads the page next.
        virtual void PageProcessCrashed() {}
    };

    ProgramNavigation(WebKitWebView* view, Owner& owner);
    ~ProgramNavigation() override;
    ProgramNavigation(const ProgramNavigation&) = delete;
    ProgramNavigation& operator=(const ProgramNavigation&) = delete;

    // Opens `address` (already normalised) for the program, the secure
    // address first for http://; a failure page is headed with `name`.
    void Open(const std::string& address, const std::string& name);
    // Back, forward and reload: the page's own history.
    void InPage(std::function<void()> start);
    // Reloads the page, or tries the paper of a failure page again.
    void Reload();
    void Stop();

    // The pane's failure page for `address`, headed with `name` (the host
    // when it is empty).
    void ShowFailure(const std::string& address, const std::string& name, FailureReason reason);
    // The page's title as it came, which names a page whose process died.
    void NoteTitle(const std::string& title);

    bool IsLoading() const { return m_loading; }
    bool ShowsFailurePage() const;
    std::string ShownAddress() const override;
    // Whether a navigation to `uri` is the program's own, still on its way.
    bool IsProgramNavigation(const std::string& uri) const;
    // Whether what asks for a navigation now is the page shown (no
    // navigation of the program's under way, or its page already shown).
    bool PageShownAsks() const { return m_guard.Committed() || !m_guard.Pending(); }
    std::string CommittedUri() const { return m_committedUri; }
    void NavigationAnswered() { m_guard.NavigationAnswered(); }
    int CrashReloads() const { return m_guard.CrashReloads(); }
    int HungEnded() const { return m_guard.HungEnded(); }

private:
    // The navigation the program asked for last.
    struct Visit
    {
        std::string address;   // as the pane loads it (http:// kept)
        std::string name;      // heads the failure page
        std::string secureTry; // the https:// address tried first, while it is tried
    };

    // PageProcessGuard::Owner
    void EndLoad() override;
    std::string PageUri() const override;
    std::string AskedAddress() const override { return m_visit.address; }
    std::string ProgramUri() const override { return m_programUri; }
    void ShowProcessFailure(const std::string& address, FailureReason reason) override;
    void PageProcessCrashed() override { m_owner.PageProcessCrashed(); }

    // Starts a navigation, in a fresh page process when the page process
    // does not answer.
    void Navigate(std::function<void()> start);
    void FallBackToPlainAddress();
    void ShowFailureFor(const std::string& failing, FailureReason reason);
    // The site being loaded: the one the program asked for while its
    // navigation is under way (the view may still show the previous one).
    std::string LoadingHost() const;

    void OnLoadChanged(WebKitLoadEvent event);
    bool OnLoadFailed(const char* failingUri, const GError* error);
    bool OnTlsFailed(const char* failingUri);
    void OnProgress();

    static void LoadChangedThunk(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static gboolean LoadFailedThunk(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                    gpointer self);
    static gboolean TlsFailedThunk(WebKitWebView*, gchar* uri, GTlsCertificate*,
                                   GTlsCertificateFlags, gpointer self);
    static void ProgressThunk(WebKitWebView*, GParamSpec*, gpointer self);

    WebKitWebView* m_view;
    Owner& m_owner;
    PageProcessGuard m_guard;
    Visit m_visit;
    // The address the program itself asked the engine for last, and whether
    // that navigation is still on its way (until a page is shown).
    std::string m_programUri;
    // Whether the engine reported a load started and not yet its end.
    bool m_loadReported = false;
    // Such a load was under way as the program asked for another page (a
    // reload, a page that failed): what it still reports until its end
    // (its page shown, its failure) is not the new navigation's news.
    bool m_earlierLoadOpen = false;
    bool m_programLoadOpen = false;
    // The secure attempt gave way to the plain address: its own end is not
    // that of the navigation.
    bool m_fellBack = false;
    bool m_loading = false;
    std::string m_title;
    std::string m_committedUri;
    // The page of the program's navigation, while it is the one shown.
    std::string m_visitPage;
    // The address the load under way started with, and whether an empty
    // page was shown.
    std::string m_startedUri;
    bool m_blankFinished = false;
    wxTimer m_secureAttempt;
    // A navigation whose page has not begun to come in this time fails.
    wxTimer m_answerLimit;
};

} // namespace lumo
